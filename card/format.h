// Rules of the file format that the reader and the writer share.
#pragma once

#include "card/mbstring.h"
#include "card/nodes.h"

// The lines that open and close a card, and the UTF-8 byte-order mark that may stand
// before the first of them.
inline constexpr char OPENING_LINE[] = "BEGIN:VCARD";
inline constexpr char CLOSING_LINE[] = "END:VCARD";
inline constexpr char UTF8_MARK[] = "\xEF\xBB\xBF";

// Bytes of the logical line on a root property's first physical line, and on every
// continuation line after its leading space.
const int FOLD_WIDTH = 75;

// A property whose value is one raw URI text: one with a VALUE=uri parameter, or,
// without any VALUE parameter, one of RFC 6350's URI-valued properties.
bool IsUriValued(const PropertyNode* property);

// Components where ',' separates the items of a list (N, ADR, CATEGORIES, NICKNAME):
// the writer leaves commas there unescaped.
bool IsListValued(PropertyKind kind);

// The length of the character at text: 2 for a lead byte followed by a trail byte.
inline size_t CharWidth(const char* text)
{
    return (MbsIsLeadByte((unsigned char)text[0]) && text[1] != '\0') ? 2 : 1;
}

// The lead bytes of the current code page as a table of 256 flags, for loops that look
// at every byte of a long text: CharWidth asks the code page once per character. The
// table is made again when the code page has changed since the last call.
const unsigned char* LeadByteTable();

// CharWidth with the table.
inline size_t CharWidthIn(const unsigned char* leadBytes, const char* text)
{
    return (leadBytes[(unsigned char)text[0]] && text[1] != '\0') ? 2 : 1;
}
