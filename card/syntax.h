// What differs between the versions of the format a card may be written in: vCard 2.1
// (the old syntax phones and Outlook still write), 3.0 and 4.0. The reader decides the
// version from the card's VERSION line before it reads any other line, and every rule
// below is asked of that one value, so that a card is read and written by one set of
// rules throughout.
#pragma once

#include <stddef.h>

enum class CardVersion { V21, V30, V40 };

// "2.1", "3.0" or anything else (4.0, or no VERSION at all), from the value's first
// component, blanks around it ignored.
CardVersion VersionFromText(const char* text, size_t length);
const char* VersionText(CardVersion version);

// Parameters may stand without a name ("TEL;WORK;VOICE:"): 2.1 allows it, and Apple and
// others still write it in 3.0. A 4.0 card refuses such a parameter as it always has.
inline bool AllowsBareParameters(CardVersion version) { return version != CardVersion::V40; }
// Values may be quoted-printable (and end a physical line in a soft break) and carry a
// CHARSET: 2.1 defines both, and 3.0 files from older programs still use them.
inline bool AllowsLegacyEncodings(CardVersion version) { return version != CardVersion::V40; }
// In 2.1 only "\;" is an escape; a backslash before anything else is itself.
inline bool HasBackslashEscapes(CardVersion version) { return version != CardVersion::V21; }
// RFC 6868's caret escapes in parameter values belong to 3.0 and 4.0.
inline bool HasCaretEscapes(CardVersion version) { return version != CardVersion::V21; }
// 2.1 lines are written unfolded, except base64 data, which 2.1 folds and ends with an
// empty line, and quoted-printable text, which has soft line breaks of its own.
inline bool FoldsTextLines(CardVersion version) { return version != CardVersion::V21; }
// FN is required from 3.0 on.
inline bool RequiresFn(CardVersion version) { return version != CardVersion::V21; }
