// Multibyte-aware string operations in the system code page. On Windows they are
// the C run-time's _mbs functions; the native build has its own with the same rules:
// in a double-byte code page a trail byte is never taken for a character of its own.
// Code page 65001 (UTF-8, the program's own when Windows grants its manifest's wish)
// follows the program's rules on both builds rather than the run-time's, which differ
// between versions: no byte is a lead byte in the double-byte sense, since every byte of
// a sequence is 0x80 or above and so never reads as a separator; names compare without
// regard to case in ASCII only, as in the other code pages.
#pragma once

#include <stddef.h>

#ifdef _WIN32
#include <mbctype.h>
#include <mbstring.h>
#include <string.h>
#endif

const int CODE_PAGE_UTF8 = 65001;

// The names of a card compare without regard to the case of their ASCII letters, and
// only of those: these are the one place that folds them.

// An ASCII capital as its small letter; every other character code stays as it is.
inline unsigned int AsciiLower(unsigned int c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// An ASCII small letter as its capital; every other byte stays as it is.
inline char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - ('a' - 'A')) : c;
}

// strcmp with ASCII letters folded to lower case; every other byte compares as itself.
inline int CompareAsciiNoCase(const char* a, const char* b)
{
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (;; ++p, ++q) {
        unsigned int cp = AsciiLower(*p);
        unsigned int cq = AsciiLower(*q);
        if (cp != cq) return cp < cq ? -1 : 1;
        if (cp == 0) return 0;
    }
}

// Whether the length bytes at text spell upperAscii (a name in capitals), their ASCII
// letters without regard to case: text need not end after them.
inline bool EqualNoCase(const char* text, size_t length, const char* upperAscii)
{
    size_t i = 0;
    for (; i < length && upperAscii[i] != '\0'; ++i) {
        if (AsciiUpper(text[i]) != upperAscii[i]) return false;
    }
    return i == length && upperAscii[i] == '\0';
}

// Whether text begins with prefix, ASCII letters without regard to case.
inline bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (AsciiLower((unsigned char)*text) != AsciiLower((unsigned char)*prefix)) return false;
    }
    return true;
}

#ifdef _WIN32

inline int MbsGetCodePage()
{
    return _getmbcp();
}
inline int MbsCompareNoCase(const char* a, const char* b)
{
    if (MbsGetCodePage() == CODE_PAGE_UTF8) return CompareAsciiNoCase(a, b);
    return _mbsicmp((const unsigned char*)a, (const unsigned char*)b);
}
inline char* MbsFindChar(const char* text, unsigned int c)
{
    if (MbsGetCodePage() == CODE_PAGE_UTF8) return c <= 0xFF ? (char*)strchr(text, (int)c) : nullptr;
    return (char*)_mbschr((const unsigned char*)text, c);
}
inline bool MbsIsLeadByte(unsigned char c)
{
    return _ismbblead(c) != 0 && MbsGetCodePage() != CODE_PAGE_UTF8;
}
// Sets the code page of these operations; returns 0 on success.
inline int MbsSetCodePage(int codePage)
{
    return _setmbcp(codePage);
}

#else

int MbsCompareNoCase(const char* a, const char* b);
char* MbsFindChar(const char* text, unsigned int c);
bool MbsIsLeadByte(unsigned char c);
int MbsSetCodePage(int codePage);
int MbsGetCodePage();

#endif

// The bytes of text that fit into a buffer of size bytes with its terminator, ending
// after a whole character: a list or tree that is given less room than a name needs
// shows it cut, but never half a double-byte character or half a UTF-8 sequence.
size_t MbsFitLength(const char* text, size_t size);
