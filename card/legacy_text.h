// The encodings of older cards' values: quoted-printable, base64 kept as data, and the
// character set of 8-bit text. The reader decodes a value into the program's text before
// it splits and unescapes it, the writer encodes it again after escaping, and the card
// scan decodes a card's name with the same rules.
#pragma once

#include "card/charset.h"
#include "card/nodes.h"
#include "card/text_buffer.h"

#include <stddef.h>

// What a property's parameters say about how its value is written.
struct ValueEncoding {
    bool quotedPrintable = false;
    bool base64 = false;          // ENCODING=BASE64 or ENCODING=b: one raw text of data
    const char* charset = nullptr;
    // A URI of an older card is text to decode when its line says how it is carried: a
    // phone writes SOUND;X-IRMC-N;CHARSET=SHIFT_JIS with a name in it.
    bool CarriesUriAsText() const { return !base64 && (quotedPrintable || charset != nullptr); }
};
ValueEncoding EncodingOf(const PropertyNode* property);

// Whether the parameter is ENCODING, or CHARSET (bare ENCODING values included).
bool IsEncodingParameter(const ParameterNode* parameter);
bool IsCharsetParameter(const ParameterNode* parameter);

// "=XX" (hex digits of either case) is the byte XX; any other '=' stands as it is.
// Appends to out; false when memory ran out.
bool DecodeQuotedPrintable(const char* text, size_t length, TextBuffer& out);
// Every byte but printable ASCII as "=XX", and a blank at the end too, appended to out.
bool EncodeQuotedPrintable(const char* bytes, size_t length, TextBuffer& out);

// 8-bit text of an older card into the program's text, appended to out: in its CHARSET
// when it names one, else UTF-8 when the bytes are UTF-8, else Windows-1252. *bytes
// says how a save writes it back; when no conversion is possible the bytes are kept as
// read, and notRepresentable says whether the reason was a character the program's text
// cannot hold.
bool DecodeLegacyText(const char* charset, const char* text, size_t length, TextBuffer& out,
                      PropertyNode::TextBytes* bytes, bool* notRepresentable);
// The reverse for a save: the program's text as the bytes the property is written in,
// appended to out. *charsetUsed is the CHARSET the bytes are in when it had to change
// (to UTF-8, when the text no longer fits the one named), else null.
bool EncodeLegacyText(const char* charset, PropertyNode::TextBytes bytes, const char* text, size_t length,
                      TextBuffer& out, const char** charsetUsed);

// The bytes base64 text stands for: its letters and padding counted, blanks left out.
size_t Base64DecodedLength(const char* text);
