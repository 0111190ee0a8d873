// Character set conversion natively, through iconv, in two steps through UTF-8 so that
// bytes that are not text and characters that have no place are told apart.
#ifndef _WIN32

#include "card/charset.h"
#include "card/mbstring.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>

namespace {

// The iconv name of the program's code page.
const char* ProgramCharset(char* buffer, size_t size)
{
    int codePage = MbsGetCodePage();
    if (codePage == CODE_PAGE_UTF8) return "UTF-8";
    snprintf(buffer, size, "CP%d", codePage);
    return buffer;
}

// Converters stay open for the next text: an export names every card in the same
// character set, and opening one costs more than converting a name. The card code runs
// on one thread.
iconv_t OpenConverter(const char* to, const char* from)
{
    struct Open {
        char to[32];
        char from[32];
        iconv_t converter;
    };
    static Open open[8];
    static size_t next = 0;
    for (Open& entry : open) {
        if (entry.converter != nullptr && strcmp(entry.to, to) == 0 && strcmp(entry.from, from) == 0) {
            iconv(entry.converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
            return entry.converter;
        }
    }
    if (strlen(to) >= sizeof open[0].to || strlen(from) >= sizeof open[0].from) return (iconv_t)-1;
    iconv_t converter = iconv_open(to, from);
    if (converter == (iconv_t)-1) return converter;
    Open& slot = open[next];
    next = (next + 1) % (sizeof open / sizeof open[0]);
    if (slot.converter != nullptr) iconv_close(slot.converter);
    strcpy(slot.to, to);
    strcpy(slot.from, from);
    slot.converter = converter;
    return converter;
}

// One iconv step; failure says which of its two sides was at fault.
ConvertResult Step(const char* to, const char* from, const char* bytes, size_t length, TextBuffer& out,
                   ConvertResult onBadCharacter)
{
    iconv_t converter = OpenConverter(to, from);
    if (converter == (iconv_t)-1) return ConvertResult::UnknownCharset;
    ConvertResult result = ConvertResult::Done;
    char* in = (char*)bytes;
    size_t left = length;
    char chunk[4096];
    while (left > 0) {
        char* put = chunk;
        size_t room = sizeof chunk;
        size_t done = iconv(converter, &in, &left, &put, &room);
        if (!out.Append(chunk, (size_t)(put - chunk))) {
            result = ConvertResult::InvalidBytes;
            break;
        }
        if (done == (size_t)-1 && errno != E2BIG) {
            result = errno == EILSEQ ? onBadCharacter : ConvertResult::InvalidBytes;
            break;
        }
    }
    return result;
}

bool IsUtf8Name(const char* charset) { return SameCharset(charset, "UTF-8"); }

// Shift_JIS as Windows reads it (code page 932), where 0x5C is a backslash: iconv's
// SHIFT_JIS reads it as a yen sign, so an escape in a Japanese phone's export would
// become text, and the editor would read the file otherwise on Linux than on Windows.
const char* IconvName(const char* charset)
{
    return SameCharset(charset, "SHIFT_JIS") || SameCharset(charset, "SJIS") ? "CP932" : charset;
}

ConvertResult Convert(const char* to, const char* from, const char* bytes, size_t length, TextBuffer& out)
{
    if (IsUtf8Name(from) && !IsUtf8((const unsigned char*)bytes, length)) return ConvertResult::InvalidBytes;
    if (IsUtf8Name(from) && IsUtf8Name(to)) return out.Append(bytes, length) ? ConvertResult::Done : ConvertResult::InvalidBytes;
    if (IsUtf8Name(from)) return Step(to, "UTF-8", bytes, length, out, ConvertResult::NotRepresentable);
    if (!IsUtf8Name(to)) {
        // Straight across, when it works; else through UTF-8 to tell which side failed.
        size_t before = out.Length();
        if (Step(to, from, bytes, length, out, ConvertResult::InvalidBytes) == ConvertResult::Done) {
            return ConvertResult::Done;
        }
        out.SetLength(before);
    }
    TextBuffer middle;
    ConvertResult result = Step("UTF-8", from, bytes, length, middle, ConvertResult::InvalidBytes);
    if (result != ConvertResult::Done) return result;
    if (IsUtf8Name(to)) return out.Append(middle.Data(), middle.Length()) ? ConvertResult::Done : ConvertResult::InvalidBytes;
    return Step(to, "UTF-8", middle.Data(), middle.Length(), out, ConvertResult::NotRepresentable);
}

}  // namespace

bool ProgramTextIsUtf8() { return MbsGetCodePage() == CODE_PAGE_UTF8; }

ConvertResult ConvertToProgramText(const char* charset, const char* bytes, size_t length, TextBuffer& out)
{
    char name[16];
    return Convert(ProgramCharset(name, sizeof name), IconvName(charset), bytes, length, out);
}

ConvertResult ConvertFromProgramText(const char* charset, const char* text, size_t length, TextBuffer& out)
{
    char name[16];
    return Convert(IconvName(charset), ProgramCharset(name, sizeof name), text, length, out);
}

#endif
