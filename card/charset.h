// Text in the character sets older cards name with CHARSET (and the UTF-8 or Windows-1252
// that 8-bit text without one is in), converted to and from the text the program works
// in: the code page of the card code (UTF-8 where Windows grants the manifest's wish).
// On Windows the system converts; natively iconv does.
#pragma once

#include "card/text_buffer.h"

#include <stddef.h>

enum class ConvertResult {
    Done,
    UnknownCharset,   // the platform has no converter for the name
    InvalidBytes,     // the bytes are not text in that character set
    NotRepresentable, // a character has no place in the target character set
};

// Converts bytes in the named character set into the program's text, appended to out.
ConvertResult ConvertToProgramText(const char* charset, const char* bytes, size_t length, TextBuffer& out);
// Converts the program's text into the named character set, appended to out.
ConvertResult ConvertFromProgramText(const char* charset, const char* text, size_t length, TextBuffer& out);

// Whether the program's text is UTF-8, so that UTF-8 needs no conversion.
bool ProgramTextIsUtf8();
// Whether two names mean one character set ("utf-8" and "UTF8" do).
bool SameCharset(const char* a, const char* b);

// True when the bytes are UTF-8 throughout: well-formed sequences, none longer than
// needed, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const unsigned char* text, size_t length);
// True when some byte is 0x80 or above.
bool HasEightBitBytes(const char* text, size_t length);

// Whether the bytes start with the byte-order mark of UTF-16 (either order): Windows
// programs write such files.
bool StartsAsUtf16(const char* bytes, size_t length);
// A whole UTF-16 file, its mark first, as the program's text appended to out. False when
// it is not UTF-16 throughout (a lone surrogate, an odd byte at the end), when one of its
// characters has no place in the program's text, or when memory ran out.
bool Utf16FileToProgramText(const char* bytes, size_t length, TextBuffer& out);
