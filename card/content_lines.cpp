// Where content lines end, for the reader and the card scan alike.
#include "card/content_lines.h"

#include "card/format.h"
#include "card/head_grammar.h"
#include "card/mbstring.h"

#include <initializer_list>
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

// The width of the character at p, before end.
static size_t WidthBefore(const unsigned char* leadBytes, const char* p, const char* end)
{
    return leadBytes[(unsigned char)*p] && p + 1 < end && p[1] != '\0' ? 2 : 1;
}

// Walks a line's head as the reader's head scan does (HeadGrammar): a ':' that a
// backslash escapes (a name may hold "\:") or that stands in the quotes of a parameter
// value does not end it. Calls token(start, stop) for each token the head is cut into at
// a ';' outside quotes (empty ones too; a group prefix is no token) until it returns
// true. Returns the head's ':', the line's end where there is none, or null when token
// stopped the walk.
template <class Token>
static const char* WalkHead(const char* line, size_t length, Token token)
{
    const unsigned char* leadBytes = LeadByteTable();
    const char* end = line + length;
    HeadGrammar grammar;
    const char* start = line;
    bool afterBackslash = false;
    for (const char* p = line;;) {
        bool headEnds = p >= end || (*p == ':' && !afterBackslash);
        if (headEnds || *p == ';') {
            if (token(start, p)) return nullptr;
            if (headEnds) return p;
            grammar.Punctuation(';');
            afterBackslash = false;
            start = ++p;
            continue;
        }
        if (WidthBefore(leadBytes, p, end) == 2) {
            grammar.Character();
            afterBackslash = false;
            p += 2;
            continue;
        }
        if (*p == ':') {  // "\:" is a colon of the head
            afterBackslash = false;
            ++p;
            continue;
        }
        if (*p == '"' && grammar.QuoteMayOpen()) {
            const char* closing = ClosingQuoteBefore(p, end, leadBytes);
            if (closing != nullptr) {
                grammar.Quoted();
                afterBackslash = false;
                p = closing + 1;
                continue;
            }
        }
        if (grammar.Punctuation(*p)) start = p + 1;  // after the group's name
        afterBackslash = *p == '\\';
        ++p;
    }
}

// The ':' that ends a line's head, found as the reader's head scan finds it (WalkHead).
// The VERSION read ahead is found by it, so that where it ends a head agrees with the
// reader, whatever the line holds.
static const char* HeadEnd(const char* line, size_t length)
{
    return WalkHead(line, length, [](const char*, const char*) { return false; });
}

bool IsBareEncodingName(const char* token, size_t length)
{
    for (const char* name : {"QUOTED-PRINTABLE", "BASE64", "8BIT", "7BIT"}) {
        if (EqualNoCase(token, length, name)) return true;
    }
    return false;
}

// Calls visit(value, length) for each encoding a parameter [token, end) names, read as the
// parameter scan reads it, until visit returns true: a bare parameter names the encoding
// it is (any other, 3.0's "b" or a name in quotes among them, is a type); ENCODING's
// values are split at ',' outside quotes, and a quote at a value's start that closes in
// the parameter opens.
// equals: the parameter's first '=' (by characters), or end.
template <class Visit>
static bool EncodingsOfParameter(const char* token, const char* end, const char* equals, const unsigned char* leadBytes,
                                 Visit& visit)
{
    // Most parameters are a type or another name: told apart by their first letter.
    char first = AsciiUpper(*token);
    if (equals == end) {
        size_t length = (size_t)(end - token);
        bool mayBeEncoding = first == 'Q' || first == 'B' || first == '8' || first == '7';
        return mayBeEncoding && IsBareEncodingName(token, length) && visit(token, length);
    }
    if (first != 'E' || !EqualNoCase(token, (size_t)(equals - token), "ENCODING")) return false;
    for (const char* value = equals + 1;;) {
        const char* p = value;
        const char* quoted = nullptr;
        size_t quotedLength = 0;
        if (p < end && *p == '"') {
            const char* closing = ClosingQuoteBefore(p, end, leadBytes);
            if (closing != nullptr) {
                quoted = p + 1;
                quotedLength = (size_t)(closing - quoted);
                p = closing + 1;
            }
        }
        const char* stop = p;
        while (stop < end && *stop != ',') stop += WidthBefore(leadBytes, stop, end);
        // The value is the quoted text followed by what follows the quotes, up to the ','.
        char joined[32];
        size_t restLength = (size_t)(stop - p);
        if (quoted == nullptr) {
            if (visit(p, restLength)) return true;
        } else if (quotedLength + restLength <= sizeof joined) {
            memcpy(joined, quoted, quotedLength);
            memcpy(joined + quotedLength, p, restLength);
            if (visit(joined, quotedLength + restLength)) return true;
        }
        if (stop >= end) return false;
        value = stop + 1;
    }
}

// The first '=' of a parameter [token, end) by characters, or end.
static const char* EqualsSign(const char* token, const char* end, const unsigned char* leadBytes)
{
    const char* equals = token;
    while (equals < end && *equals != '=') equals += WidthBefore(leadBytes, equals, end);
    return equals;
}

// Where a head ends that holds no quote, backslash or double-byte character before its
// ':' (most heads): null for any other. Such a head the grammar cuts at every ';'.
static const char* PlainHeadEnd(const char* line, const char* end, const unsigned char* leadBytes)
{
    for (const char* p = line; p < end; ++p) {
        unsigned char c = (unsigned char)*p;
        if (c == ':') return p;
        if (c == '"' || c == '\\' || leadBytes[c]) return nullptr;
    }
    return end;
}

// AnyEncodingOfHead for a plain head [line, end): its tokens lie between the ';'s, and a
// '.' in the first one ends the group's name.
template <class Visit>
static bool AnyEncodingOfPlainHead(const char* line, const char* end, const unsigned char* leadBytes, Visit& visit)
{
    const char* semicolon = (const char*)memchr(line, ';', (size_t)(end - line));
    if (semicolon == nullptr) return false;  // a name alone
    const char* dot = (const char*)memchr(line, '.', (size_t)(semicolon - line));
    bool namePassed = semicolon > (dot != nullptr ? dot + 1 : line);
    for (const char* token = semicolon + 1;;) {
        const char* next = (const char*)memchr(token, ';', (size_t)(end - token));
        const char* tokenEnd = next != nullptr ? next : end;
        if (tokenEnd > token) {
            const char* equals = (const char*)memchr(token, '=', (size_t)(tokenEnd - token));
            if (namePassed && EncodingsOfParameter(token, tokenEnd, equals != nullptr ? equals : tokenEnd, leadBytes, visit)) {
                return true;
            }
            namePassed = true;
        }
        if (next == nullptr) return false;
        token = next + 1;
    }
}

// Calls visit(value, length) for each encoding the head names, until it returns true. The
// head is cut into its name and parameters, and ends, where the reader's head scan cuts
// and ends it (WalkHead; empty tokens are none), in one pass; each parameter is read as
// the parameter scan reads it, so that where a line ends agrees with how its value is
// then decoded.
// *ended: whether the head's ':' was found (else the line so far is all head), when visit
// never returned true.
template <class Visit>
static bool AnyEncodingOfHead(const char* line, size_t length, Visit visit, bool* ended)
{
    const unsigned char* leadBytes = LeadByteTable();
    const char* end = line + length;
    const char* plainEnd = PlainHeadEnd(line, end, leadBytes);
    if (plainEnd != nullptr) {
        *ended = plainEnd < end;
        return AnyEncodingOfPlainHead(line, plainEnd, leadBytes, visit);
    }
    bool namePassed = false;
    const char* headEnd = WalkHead(line, length, [&](const char* start, const char* stop) {
        if (stop == start) return false;
        if (namePassed && EncodingsOfParameter(start, stop, EqualsSign(start, stop, leadBytes), leadBytes, visit)) {
            return true;
        }
        namePassed = true;
        return false;
    });
    *ended = headEnd != nullptr && headEnd < end;
    return headEnd == nullptr;
}

HeadEncodings EncodingsOfHead(const char* line, size_t length)
{
    HeadEncodings found;
    AnyEncodingOfHead(
        line, length,
        [&](const char* value, size_t valueLength) {
            if (EqualNoCase(value, valueLength, "QUOTED-PRINTABLE")) found.quotedPrintable = true;
            if (EqualNoCase(value, valueLength, "BASE64") || EqualNoCase(value, valueLength, "B")) found.base64 = true;
            return false;
        },
        &found.headEnded);
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
    headOpen = !encodings.headEnded;
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
