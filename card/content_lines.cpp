// Where content lines end, for the reader and the card scan alike.
#include "card/content_lines.h"

#include "card/format.h"
#include "card/mbstring.h"

#include <string.h>

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

// Calls visit(value, length) for each encoding the head names, until it returns true:
// each bare parameter, and each value of ENCODING, split and unquoted as the parameter
// scan does it (a list "QUOTED-PRINTABLE,X" and a quoted "QUOTED-PRINTABLE" name it too),
// so that where a line ends agrees with how its value is then decoded.
template <class Visit>
static bool AnyEncodingOfHead(const char* line, size_t length, Visit visit)
{
    const char* end = HeadEnd(line, length);
    const char* p = (const char*)memchr(line, ';', (size_t)(end - line));
    if (p == nullptr) return false;
    const unsigned char* leadBytes = LeadByteTable();
    const char* start = ++p;        // the parameter
    const char* item = nullptr;     // the ENCODING value being read, after '=' or ','
    const char* valueAt = nullptr;  // where a value of any parameter starts: a quote there opens
    bool quoted = false;
    for (;; ++p) {
        bool atEnd = p >= end;
        if (!atEnd && leadBytes[(unsigned char)*p] && p + 1 < end) {
            ++p;
            continue;
        }
        char c = atEnd ? ';' : *p;
        if (quoted) {
            quoted = c != '"';
            if (!atEnd) continue;
        }
        if (c == '"' && valueAt == p) {
            quoted = true;
        } else if (c == '=' && valueAt == nullptr) {
            valueAt = p + 1;
            if (p - start == 8 && EqualNoCase(start, 8, "ENCODING")) item = p + 1;
        } else if (c == ',' && valueAt != nullptr && item == nullptr) {
            valueAt = p + 1;
        } else if ((c == ',' && item != nullptr) || c == ';') {
            const char* from = item != nullptr ? item : start;
            size_t itemLength = (size_t)(p - from);
            if (itemLength >= 2 && from[0] == '"' && from[itemLength - 1] == '"') {
                ++from;
                itemLength -= 2;
            }
            bool bare = item != nullptr || memchr(start, '=', (size_t)(p - start)) == nullptr;
            if (bare && visit(from, itemLength)) return true;
            if (c == ';') {
                if (atEnd) return false;
                start = p + 1;
                item = valueAt = nullptr;
            } else {
                item = valueAt = p + 1;
            }
        }
    }
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

// A line of base64 data and nothing else: its alphabet, padding and blanks.
bool ContentLineRules::IsDataLine(const char* line, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char c = line[i];
        bool data = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                    c == '/' || c == '=' || c == ' ' || c == '\t';
        if (!data) return false;
    }
    return true;
}

// A content line of an older card started: what its head says of the lines that may
// continue it. (A 4.0 card has neither encoding, so its lines never change the rules.)
void ContentLineRules::HeadGathered(const char* text, size_t length)
{
    HeadEncodings encodings = EncodingsOfHead(text, length);
    // Base64 data is raw whatever else the line says: its padding is no soft break.
    quotedPrintable = encodings.quotedPrintable && !encodings.base64;
    data = version == CardVersion::V21 && encodings.base64;
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
