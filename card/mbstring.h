// Multibyte-aware string operations in the system code page. On Windows they are
// the C run-time's _mbs functions; the native build has its own with the same rules:
// in a double-byte code page a trail byte is never taken for a character of its own.
#pragma once

#ifdef _WIN32
#include <mbctype.h>
#include <mbstring.h>
#endif

#ifdef _WIN32

inline int MbsCompareNoCase(const char* a, const char* b)
{
    return _mbsicmp((const unsigned char*)a, (const unsigned char*)b);
}
inline char* MbsFindChar(const char* text, unsigned int c)
{
    return (char*)_mbschr((const unsigned char*)text, c);
}
inline bool MbsIsLeadByte(unsigned char c)
{
    return _ismbblead(c) != 0;
}
// Sets the code page of these operations; returns 0 on success.
inline int MbsSetCodePage(int codePage)
{
    return _setmbcp(codePage);
}
inline int MbsGetCodePage()
{
    return _getmbcp();
}

#else

int MbsCompareNoCase(const char* a, const char* b);
char* MbsFindChar(const char* text, unsigned int c);
bool MbsIsLeadByte(unsigned char c);
int MbsSetCodePage(int codePage);
int MbsGetCodePage();

#endif
