// What the conversions of both platforms share: telling UTF-8 and 8-bit text apart and
// comparing character set names.
#include "card/charset.h"

#include <stdint.h>
#include <string.h>

bool IsUtf8(const unsigned char* text, size_t length)
{
    for (size_t i = 0; i < length;) {
        // ASCII, most of any card (and all of a base64 photo), eight bytes at a time.
        uint64_t eight;
        if (i + 8 <= length && (memcpy(&eight, text + i, 8), (eight & 0x8080808080808080ull) == 0)) {
            i += 8;
            continue;
        }
        unsigned char c = text[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t count = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (count == 0 || i + count > length) return false;
        unsigned char second = text[i + 1];
        unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high) return false;
        for (size_t k = 2; k < count; ++k) {
            if ((text[i + k] & 0xC0) != 0x80) return false;
        }
        i += count;
    }
    return true;
}

bool HasEightBitBytes(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if ((unsigned char)text[i] >= 0x80) return true;
    }
    return false;
}

// Letters and digits of a name, upper case: "utf-8", "UTF8" and "Utf_8" are one name.
static size_t CharsetKey(const char* name, char* key, size_t size)
{
    size_t out = 0;
    for (const char* p = name; *p != '\0' && out + 1 < size; ++p) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = (char)(c - ('a' - 'A'));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) key[out++] = c;
    }
    key[out] = '\0';
    return out;
}

bool SameCharset(const char* a, const char* b)
{
    char first[32], second[32];
    CharsetKey(a, first, sizeof first);
    CharsetKey(b, second, sizeof second);
    return strcmp(first, second) == 0;
}
