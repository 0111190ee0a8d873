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

// The quote that closes one opening at text[0], by characters (a trail byte may be a
// quote), or null when none follows before end: such a quote is an ordinary character.
static const char* ClosingQuoteBefore(const char* text, const char* end, const unsigned char* leadBytes)
{
    for (const char* p = text + 1; p < end; p += leadBytes[(unsigned char)*p] && p + 1 < end && p[1] != '\0' ? 2 : 1) {
        if (*p == '"') return p;
    }
    return nullptr;
}

// The ':' that ends a line's head, found as the reader's head scan finds it: not one a
// backslash escapes (a name may hold "\:"), nor one in the quotes of a parameter value. A
// quote opens only where a value starts (after '=' or a value's ',', once the property's
// name has passed) and only when it is closed in the line; otherwise it is a character.
// The VERSION read ahead and the end of an encoded line are found by it, so that where
// it ends a head agrees with the reader, whatever the line holds.
static const char* HeadEnd(const char* line, size_t length)
{
    enum class State { Name, ParameterName, ValueStart, Value };
    const unsigned char* leadBytes = LeadByteTable();
    const char* end = line + length;
    State state = State::Name;
    bool namePassed = false;
    bool grouped = false;
    size_t tokenLength = 0;  // bytes of the token since its ';' (or the group's '.')
    bool afterBackslash = false;
    for (size_t i = 0; i < length;) {
        char c = line[i];
        if (leadBytes[(unsigned char)c] && i + 1 < length && line[i + 1] != '\0') {
            i += 2;
            tokenLength += 2;
            afterBackslash = false;
            if (state == State::ValueStart) state = State::Value;
            continue;
        }
        if (c == ':') {
            if (!afterBackslash) return line + i;
            afterBackslash = false;  // "\:" is a colon of the head
            ++i;
            continue;
        }
        if (c == '"' && state == State::ValueStart && namePassed) {
            const char* closing = ClosingQuoteBefore(line + i, end, leadBytes);
            if (closing != nullptr) {
                size_t quoted = (size_t)(closing - (line + i)) + 1;
                i += quoted;
                tokenLength += quoted;
                state = State::Value;
                afterBackslash = false;
                continue;
            }
        }
        switch (c) {
        case ';':
            state = State::ParameterName;
            if (tokenLength > 0) namePassed = true;
            tokenLength = 0;
            break;
        case '.':
            if (state == State::Name && !grouped) {
                grouped = true;
                tokenLength = 0;  // the group prefix is no token of its own
            } else {
                ++tokenLength;
            }
            break;
        case '=':
            if (state == State::ParameterName) state = State::ValueStart;
            else if (state == State::ValueStart) state = State::Value;
            ++tokenLength;
            break;
        case ',':
            if (state == State::Value) state = State::ValueStart;
            ++tokenLength;
            break;
        default:
            if (state == State::ValueStart) state = State::Value;
            ++tokenLength;
            break;
        }
        afterBackslash = c == '\\';
        ++i;
    }
    return end;
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
        if (c == '"' && valueAt == p && ClosingQuoteBefore(p, end, leadBytes) != nullptr) {
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
