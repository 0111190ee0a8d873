// What the conversions of both platforms share: telling UTF-8 and 8-bit text apart and
// comparing character set names.
#include "card/charset.h"

#include "card/mbstring.h"

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

// The next letter or digit of a name from *p on, upper case, and *p past it; '\0' at the
// name's end. Names are compared by these alone: "utf-8", "UTF8" and "Utf_8" are one name.
static char NextKeyChar(const char** p)
{
    for (; **p != '\0'; ++*p) {
        char c = AsciiUpper(**p);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            ++*p;
            return c;
        }
    }
    return '\0';
}

// Compared where they stand: a text is converted after several such comparisons.
bool SameCharset(const char* a, const char* b)
{
    for (;;) {
        char x = NextKeyChar(&a);
        if (x != NextKeyChar(&b)) return false;
        if (x == '\0') return true;
    }
}

bool StartsAsUtf16(const char* bytes, size_t length)
{
    return length >= 2 && (((unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) ||
                           ((unsigned char)bytes[0] == 0xFE && (unsigned char)bytes[1] == 0xFF));
}

static bool AppendUtf8(uint32_t c, TextBuffer& out)
{
    char sequence[4];
    size_t count;
    if (c < 0x80) {
        sequence[0] = (char)c;
        count = 1;
    } else if (c < 0x800) {
        sequence[0] = (char)(0xC0 | (c >> 6));
        sequence[1] = (char)(0x80 | (c & 0x3F));
        count = 2;
    } else if (c < 0x10000) {
        sequence[0] = (char)(0xE0 | (c >> 12));
        sequence[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        sequence[2] = (char)(0x80 | (c & 0x3F));
        count = 3;
    } else {
        sequence[0] = (char)(0xF0 | (c >> 18));
        sequence[1] = (char)(0x80 | ((c >> 12) & 0x3F));
        sequence[2] = (char)(0x80 | ((c >> 6) & 0x3F));
        sequence[3] = (char)(0x80 | (c & 0x3F));
        count = 4;
    }
    return out.Append(sequence, count);
}

bool Utf16FileToProgramText(const char* bytes, size_t length, TextBuffer& out)
{
    if (!StartsAsUtf16(bytes, length) || length % 2 != 0) return false;
    bool bigEndian = (unsigned char)bytes[0] == 0xFE;
    const unsigned char* units = (const unsigned char*)bytes;
    TextBuffer utf8;
    if (!utf8.Reserve(length + length / 2)) return false;
    for (size_t i = 2; i < length; i += 2) {
        uint32_t unit = bigEndian ? (uint32_t)(units[i] << 8 | units[i + 1]) : (uint32_t)(units[i + 1] << 8 | units[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= length) return false;
            uint32_t low = bigEndian ? (uint32_t)(units[i + 2] << 8 | units[i + 3]) : (uint32_t)(units[i + 3] << 8 | units[i + 2]);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        if (!AppendUtf8(unit, utf8)) return false;
    }
    if (ProgramTextIsUtf8()) return out.Append(utf8.Data(), utf8.Length());
    return ConvertToProgramText("UTF-8", utf8.Data(), utf8.Length(), out) == ConvertResult::Done;
}
