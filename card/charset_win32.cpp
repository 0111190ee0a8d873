// Character set conversion on Windows, through UTF-16 with the system's converters. A
// character set is known by its name or by the code page number Windows gives it.
#ifdef _WIN32

#include "card/charset.h"
#include "card/mbstring.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

// Windows Vista and later; the headers name it only for builds that ask for them.
#ifndef WC_ERR_INVALID_CHARS
#define WC_ERR_INVALID_CHARS 0x80
#endif

namespace {

struct NamedCodePage {
    const char* name;
    UINT codePage;
};

// The names cards use, in the spelling SameCharset compares.
const NamedCodePage NAMED_CODE_PAGES[] = {
    {"UTF-8", CP_UTF8},         {"US-ASCII", 20127},      {"ASCII", 20127},        {"ISO-8859-1", 28591},
    {"ISO-8859-2", 28592},      {"ISO-8859-3", 28593},    {"ISO-8859-4", 28594},   {"ISO-8859-5", 28595},
    {"ISO-8859-6", 28596},      {"ISO-8859-7", 28597},    {"ISO-8859-8", 28598},   {"ISO-8859-9", 28599},
    {"ISO-8859-13", 28603},     {"ISO-8859-15", 28605},   {"LATIN1", 28591},       {"SHIFT_JIS", 932},
    {"SJIS", 932},              {"WINDOWS-31J", 932},     {"GBK", 936},            {"GB2312", 936},
    {"GB18030", 54936},         {"BIG5", 950},            {"EUC-JP", 20932},       {"EUC-KR", 949},
    {"KS_C_5601-1987", 949},    {"KOI8-R", 20866},        {"KOI8-U", 21866},       {"ISO-2022-JP", 50220},
};

// 0 for a name Windows has no converter for.
UINT CodePageOf(const char* charset)
{
    for (const NamedCodePage& named : NAMED_CODE_PAGES) {
        if (SameCharset(charset, named.name)) return named.codePage;
    }
    // "windows-1253", "cp1253" and "cp932" name their code page by number.
    const char* digits = nullptr;
    if (StartsWithNoCase(charset, "windows-")) digits = charset + 8;
    else if (StartsWithNoCase(charset, "cp")) digits = charset + 2;
    if (digits == nullptr || *digits < '0' || *digits > '9') return 0;
    UINT number = (UINT)strtoul(digits, nullptr, 10);
    CPINFO info;
    return GetCPInfo(number, &info) ? number : 0;
}

UINT ProgramCodePage()
{
    int codePage = MbsGetCodePage();
    return codePage > 0 ? (UINT)codePage : GetACP();
}

// Some code pages take no flags at all (the ISO-2022 family among them).
bool TakesFlags(UINT codePage) { return codePage < 50000 || codePage == CP_UTF8 || codePage == 54936; }

ConvertResult Convert(UINT to, UINT from, const char* bytes, size_t length, TextBuffer& out)
{
    if (length == 0) return ConvertResult::Done;
    if (length > 0x7FFFFFFF / 4) return ConvertResult::InvalidBytes;
    DWORD readFlags = TakesFlags(from) ? MB_ERR_INVALID_CHARS : 0;
    int wide = MultiByteToWideChar(from, readFlags, bytes, (int)length, nullptr, 0);
    if (wide <= 0) return ConvertResult::InvalidBytes;
    WCHAR* text = (WCHAR*)malloc((size_t)wide * sizeof(WCHAR));
    if (text == nullptr) return ConvertResult::InvalidBytes;
    MultiByteToWideChar(from, readFlags, bytes, (int)length, text, wide);
    ConvertResult result = ConvertResult::NotRepresentable;
    BOOL usedDefault = FALSE;
    // UTF-8 holds every character; other targets report one they had to replace.
    bool exact = to == CP_UTF8 || !TakesFlags(to);
    DWORD writeFlags = to == CP_UTF8 ? WC_ERR_INVALID_CHARS : TakesFlags(to) ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL* replaced = exact ? nullptr : &usedDefault;
    int narrow = WideCharToMultiByte(to, writeFlags, text, wide, nullptr, 0, nullptr, replaced);
    if (narrow > 0 && !usedDefault && out.Reserve(out.Length() + (size_t)narrow)) {
        char* put = out.Data() + out.Length();
        WideCharToMultiByte(to, writeFlags, text, wide, put, narrow, nullptr, replaced);
        if (!usedDefault) {
            out.SetLength(out.Length() + (size_t)narrow);
            result = ConvertResult::Done;
        }
    }
    free(text);
    return result;
}

}  // namespace

bool ProgramTextIsUtf8() { return ProgramCodePage() == CP_UTF8; }

ConvertResult ConvertToProgramText(const char* charset, const char* bytes, size_t length, TextBuffer& out)
{
    UINT from = CodePageOf(charset);
    if (from == 0) return ConvertResult::UnknownCharset;
    if (from == CP_UTF8 && !IsUtf8((const unsigned char*)bytes, length)) return ConvertResult::InvalidBytes;
    UINT to = ProgramCodePage();
    if (from == to) return out.Append(bytes, length) ? ConvertResult::Done : ConvertResult::InvalidBytes;
    return Convert(to, from, bytes, length, out);
}

ConvertResult ConvertFromProgramText(const char* charset, const char* text, size_t length, TextBuffer& out)
{
    UINT to = CodePageOf(charset);
    if (to == 0) return ConvertResult::UnknownCharset;
    UINT from = ProgramCodePage();
    if (from == to) return out.Append(text, length) ? ConvertResult::Done : ConvertResult::InvalidBytes;
    return Convert(to, from, text, length, out);
}

#endif
