// Where content lines end, for the reader and the card scan alike.
#include "card/content_lines.h"

#include "card/format.h"
#include "card/mbstring.h"

#include <string.h>

namespace {

// A line of base64 data and nothing else: its alphabet, padding and blanks.
bool IsDataLine(const char* line, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char c = line[i];
        bool data = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                    c == '/' || c == '=' || c == ' ' || c == '\t';
        if (!data) return false;
    }
    return true;
}

}  // namespace

size_t WithoutTrailingBlanks(const char* line, size_t length)
{
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t')) --length;
    return length;
}

// The ':' that ends a line's head: not one a backslash escapes (a name may hold "\:"),
// nor one in the quotes of a parameter value (a quote in the name is a character).
static const char* HeadEnd(const char* line, size_t length)
{
    // By characters: in a double-byte code page a trail byte may be a backslash.
    const unsigned char* leadBytes = LeadByteTable();
    bool inParameters = false;
    bool quoted = false;
    bool afterBackslash = false;
    for (size_t i = 0; i < length;) {
        char c = line[i];
        size_t width = leadBytes[(unsigned char)c] && i + 1 < length ? 2 : 1;
        if (width == 2) {
            afterBackslash = false;
            i += 2;
            continue;
        }
        if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = inParameters && i > 0 && (line[i - 1] == '=' || line[i - 1] == ',');
        } else if (c == ';') {
            inParameters = true;
        } else if (c == ':' && !afterBackslash) {
            return line + i;
        }
        afterBackslash = c == '\\';  // as the head's scan has it: "\\:" escapes the colon too
        ++i;
    }
    return line + length;
}

// Calls visit(value, length) for each encoding the head names, until it returns true.
template <class Visit>
static bool AnyEncodingOfHead(const char* line, size_t length, Visit visit)
{
    const char* end = HeadEnd(line, length);
    const char* token = (const char*)memchr(line, ';', (size_t)(end - line));
    while (token != nullptr) {
        const char* start = token + 1;
        const char* next = (const char*)memchr(start, ';', (size_t)(end - start));
        const char* stop = next != nullptr ? next : end;
        const char* equals = (const char*)memchr(start, '=', (size_t)(stop - start));
        if (equals == nullptr) {
            if (visit(start, (size_t)(stop - start))) return true;
        } else if (equals - start == 8 && EqualNoCase(start, 8, "ENCODING")) {
            if (visit(equals + 1, (size_t)(stop - equals - 1))) return true;
        }
        token = next;
    }
    return false;
}

bool HeadNamesEncoding(const char* line, size_t length, const char* encoding)
{
    return AnyEncodingOfHead(line, length, [&](const char* value, size_t valueLength) {
        return EqualNoCase(value, valueLength, encoding);
    });
}

HeadEncodings EncodingsOfHead(const char* line, size_t length)
{
    HeadEncodings found;
    AnyEncodingOfHead(line, length, [&](const char* value, size_t valueLength) {
        if (EqualNoCase(value, valueLength, "QUOTED-PRINTABLE")) found.quotedPrintable = true;
        if (EqualNoCase(value, valueLength, "BASE64") || EqualNoCase(value, valueLength, "B")) found.base64 = true;
        return false;
    });
    return found;
}

LineJoin ContentLineRules::Classify(const char* line, size_t length, bool gathered) const
{
    if (!gathered) return LineJoin::Starts;
    if (softBreak) return LineJoin::SoftBreak;
    if (line[0] == ' ' || line[0] == '\t') return LineJoin::Fold;
    if (data && IsDataLine(line, length)) return LineJoin::Data;
    return LineJoin::Starts;
}

void ContentLineRules::Gathered(const char* text, size_t length, LineJoin how)
{
    if (how == LineJoin::Starts) {
        HeadEncodings encodings;
        if (AllowsLegacyEncodings(version)) encodings = EncodingsOfHead(text, length);
        // Base64 data is raw whatever else the line says: its padding is no soft break.
        quotedPrintable = encodings.quotedPrintable && !encodings.base64;
        data = version == CardVersion::V21 && encodings.base64;
    }
    softBreak = quotedPrintable && length > 0 && text[length - 1] == '=';
}

bool IsOpeningLine(const char* line, size_t length)
{
    return EqualNoCase(line, WithoutTrailingBlanks(line, length), OPENING_LINE);
}

bool IsExactOpeningLine(const char* line, size_t length)
{
    return EqualNoCase(line, length, OPENING_LINE);
}

bool IsClosingLine(const char* line, size_t length)
{
    return EqualNoCase(line, WithoutTrailingBlanks(line, length), CLOSING_LINE);
}

const char* VersionValue(const char* line, size_t length, size_t* valueLength)
{
    const size_t NAME = sizeof "VERSION" - 1;
    // Semicolons before the name are empty tokens to the head's scan.
    size_t start = 0;
    while (start < length && line[start] == ';') ++start;
    line += start;
    length -= start;
    if (length <= NAME || !EqualNoCase(line, NAME, "VERSION")) return nullptr;
    size_t i = NAME;
    while (i < length && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == length || (line[i] != ':' && line[i] != ';')) return nullptr;
    // Parameters of VERSION mean nothing, but they do not hide its value.
    const char* end = HeadEnd(line, length);
    if (end == line + length) return nullptr;
    *valueLength = (size_t)(line + length - end - 1);
    return end + 1;
}
