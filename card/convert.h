// Converting a card in memory from the version it was read in to another (2.1, 3.0,
// 4.0), so that written in the new version it says what it said. Every change made is
// recorded as data; the program words it (vcardtool, the editor's Save As).
#pragma once

#include "card/document.h"
#include "card/platform.h"
#include "card/syntax.h"

#include <string>
#include <vector>

enum class ConversionChange {
    Version,               // detail: the version the card had
    EncodingRemoved,       // parameter: ENCODING or CHARSET; detail: its value
    TextBytesToUtf8,       // detail: the bytes' character set, "windows-1252"
    TextKeptAsRead,        // text of an unknown character set, kept as the bytes read
    EncodingAdded,         // 2.1: parameter: ENCODING or CHARSET; detail: its value
    EncodingRenamed,       // base64 data: detail: the new value (b or BASE64)
    BinaryToDataUri,       // inline base64 data as a data: URI; detail: its media type
    DataUriToBinary,       // a data: URI as inline base64 data; detail: its media type
    TypeListSplit,         // TYPE="work,voice" as a value each; detail: the list
    TypePrefToPref,        // TYPE=PREF became PREF=1
    PrefToTypePref,        // PREF=1 became TYPE=PREF
    PrefRankLost,          // PREF=n, n > 1, became TYPE=PREF; detail: n
    ParameterNamed,        // a bare parameter written with its name; parameter, detail: value
    ParameterMadeBare,     // a TYPE value written alone (2.1); detail: the value
    LabelToAddress,        // LABEL became the LABEL parameter of an ADR; detail: the label
    LabelKept,             // no ADR with the LABEL's TYPE values: the property stays
    LabelParameterLost,    // a parameter of a moved LABEL the ADR cannot carry; parameter, detail
    AddressLabelToLabel,   // an ADR's LABEL parameter became a LABEL property
    SortStringToSortAs,    // detail: the text
    SortAsToSortString,    // detail: the text
    SortStringKept,        // no N to carry SORT-AS: the property stays
    AgentToRelated,        // detail: "text" (a card) or "uri"
    RelatedToAgent,        // detail: "text" or "uri"
    NestedCardToText,      // a card written inside the card (2.1) became AGENT's text
    FnMade,                // detail: the name made
    PropertyRenamed,       // property: the old name; detail: the new one
    ParameterRenamed,      // parameter: the old name; detail: the new one
    ValueTypeRenamed,      // VALUE=URL (2.1) and VALUE=uri; detail: the new value
    UriValueNamed,         // VALUE=uri added to a PHOTO, LOGO, SOUND or KEY URI, whose value
                           // the older versions otherwise take for inline data
    ListCommaMerged,       // 2.1 has no comma inside a list value: it now separates values
    ValueRespelled,        // GEO as the target writes it (2.1 "lat,lon", 3.0 "lat;lon", 4.0 geo:),
                           // a date or time in 4.0's basic form; detail: the value it had
    LineBreaks,            // text's line breaks as the target writes them: a line feed (3.0,
                           // 4.0) or CR LF (2.1's quoted-printable, as phones write it)
    ParameterValueRespelled,  // 2.1 has no way to write '"' or a line break in a parameter
                              // value: ' and a blank stand for them; parameter, detail: the value
    TelUriToText,          // TEL;VALUE=uri:tel:... as the telephone number's text; detail: the URI
};

struct ConversionEntry {
    ConversionChange change;
    std::string property;   // the property's name (before a rename), "" for the card
    std::string parameter;  // the parameter concerned, if any
    std::string detail;
};

struct ConversionReport {
    CardVersion from = CardVersion::V40;
    CardVersion to = CardVersion::V40;
    std::vector<ConversionEntry> entries;
};

// Converts the document's card to target and sets its version. A card already in target
// is left alone (an empty report). S_OK, E_OUTOFMEMORY (the card is then part-way), or
// the Win32 error of "no mapping for the Unicode character" in a double-byte code page,
// where no conversion is made.
HRESULT ConvertCard(CardDocument& document, CardVersion target, ConversionReport& report);
