// The native build's multibyte string operations, following the C run-time's rules
// for single-byte code pages and for the double-byte code pages of East Asia, and the
// program's own for UTF-8.
#ifndef _WIN32

#include "card/mbstring.h"

#include <string.h>

namespace {

int currentCodePage = 1252;
// The lead bytes of the current code page, one flag per byte value: asked for every
// character of every line, so it is a table rather than a test of ranges.
bool leadBytes[256] = {};

bool IsLeadIn(int codePage, unsigned char c)
{
    switch (codePage) {
    case 932:  // Shift JIS
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
        return c >= 0x81 && c <= 0xFE;
    case CODE_PAGE_UTF8:  // a sequence's bytes are 0x80 and above, and none is a lead byte
    default:
        return false;
    }
}

// Length of the character at p: 2 for a lead byte followed by a trail byte, else 1.
// A lead byte right before the terminator stands alone, as the run-time treats it.
size_t CharLength(const unsigned char* p)
{
    return (MbsIsLeadByte(p[0]) && p[1] != '\0') ? 2 : 1;
}

unsigned int CharAt(const unsigned char* p, size_t length)
{
    return length == 2 ? ((unsigned int)p[0] << 8) | p[1] : p[0];
}

}  // namespace

bool MbsIsLeadByte(unsigned char c)
{
    return leadBytes[c];
}

int MbsSetCodePage(int codePage)
{
    currentCodePage = codePage;
    for (int c = 0; c < 256; ++c) leadBytes[c] = IsLeadIn(codePage, (unsigned char)c);
    return 0;
}

int MbsGetCodePage()
{
    return currentCodePage;
}

int MbsCompareNoCase(const char* a, const char* b)
{
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (;;) {
        size_t lengthP = CharLength(p);
        size_t lengthQ = CharLength(q);
        unsigned int cp = AsciiLower(CharAt(p, lengthP));
        unsigned int cq = AsciiLower(CharAt(q, lengthQ));
        if (cp != cq) return cp < cq ? -1 : 1;
        if (cp == 0) return 0;
        p += lengthP;
        q += lengthQ;
    }
}

char* MbsFindChar(const char* text, unsigned int c)
{
    const unsigned char* p = (const unsigned char*)text;
    for (;;) {
        size_t length = CharLength(p);
        if (CharAt(p, length) == c) return (char*)p;
        if (*p == '\0') return nullptr;
        p += length;
    }
}

#endif  // !_WIN32
