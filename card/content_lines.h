// Physical lines into content lines, by the rules of the card's version: a line that
// starts with a blank continues the one before it (a fold, in every version); in cards
// of 2.1 and 3.0 a quoted-printable value whose physical line ends in '=' goes on at the
// start of the next (a soft line break); and in 2.1 base64 data may go on over lines
// without a leading blank until an empty line. The reader and the scan of a file's cards
// both ask these rules, so that they agree on where every content line ends.
#pragma once

#include "card/syntax.h"

#include <stddef.h>

// How a physical line stands to the content line gathered before it.
enum class LineJoin {
    Starts,     // it starts a content line of its own
    Fold,       // it continues the line after its leading blank
    SoftBreak,  // it continues the line, the '=' at the gathered line's end removed and
                // its own trailing blanks too (quoted-printable ignores them)
    Data,       // it continues base64 data whole, its leading blanks left out
};

// Classify's gathered for a line that follows the start of a content line.
const bool AFTER_GATHERED_LINE = true;

class ContentLineRules {
public:
    explicit ContentLineRules(CardVersion cardVersion = CardVersion::V40) : version(cardVersion) {}

    void SetVersion(CardVersion cardVersion) { version = cardVersion; }
    CardVersion Version() const { return version; }
    // The head of the content line names quoted-printable and no base64 data: its value
    // is decoded so.
    bool QuotedPrintable() const { return quotedPrintable; }

    // The physical line (its text without line end, not empty) against the content line
    // gathered so far; gathered: whether there is one (AFTER_GATHERED_LINE). Asked of every line read,
    // and of a 4.0 card's mostly at the first test: defined here to be inlined.
    LineJoin Classify(const char* line, size_t length, bool gathered) const
    {
        if (!gathered) return LineJoin::Starts;
        if (softBreak) return LineJoin::SoftBreak;
        if (line[0] == ' ' || line[0] == '\t') return LineJoin::Fold;
        if (data && IsDataLine(line, length)) return LineJoin::Data;
        return LineJoin::Starts;
    }
    // The content line as it now stands, after a line started or continued it.
    void Gathered(const char* text, size_t length, LineJoin how);
    // An empty physical line: it ends base64 data in 2.1, and a quoted-printable value
    // whose last line ended in a soft break. True when the gathered line ends in that soft
    // break's '=', which the caller takes off: it is no part of the value.
    bool EmptyLine()
    {
        bool endsSoftBreak = softBreak;
        softBreak = data = false;
        return endsSoftBreak;
    }

private:
    static bool IsDataLine(const char* line, size_t length);
    void HeadGathered(const char* text, size_t length);

    CardVersion version;
    bool quotedPrintable = false;  // the content line's head names that encoding
    bool softBreak = false;        // and its text ends in '='
    bool data = false;             // a 2.1 line of base64 data
    bool headOpen = false;         // the head goes on past what has been gathered
};

inline void ContentLineRules::Gathered(const char* text, size_t length, LineJoin how)
{
    // A head folded before its ':' is read again with what the fold brought: a parameter
    // there names an encoding as much as one before it.
    if ((how == LineJoin::Starts || headOpen) && AllowsLegacyEncodings(version)) HeadGathered(text, length);
    softBreak = quotedPrintable && length > 0 && text[length - 1] == '=';
}

// Whether a parameter written alone names an encoding (2.1's QUOTED-PRINTABLE, BASE64,
// 8BIT and 7BIT) rather than a type. Letter case is ignored.
bool IsBareEncodingName(const char* token, size_t length);

// The encodings the head of a content line names, found in one pass.
struct HeadEncodings {
    bool quotedPrintable = false;
    bool base64 = false;     // BASE64, or b
    bool headEnded = false;  // the head's ':' is in the text (else the text is all head)
};
HeadEncodings EncodingsOfHead(const char* line, size_t length);

// The length of a line without the blanks at its end.
size_t WithoutTrailingBlanks(const char* line, size_t length);

// The line that opens or closes a card, letter case and trailing blanks ignored (a
// BEGIN:VCARD with a blank after it is a card all the same).
bool IsOpeningLine(const char* line, size_t length);
bool IsClosingLine(const char* line, size_t length);
// The opening line exactly (letter case aside), as a card inside the card opens.
bool IsExactOpeningLine(const char* line, size_t length);
// The text of VERSION when the content line is that property without a group
// ("VERSION:2.1", parameters allowed), else null.
const char* VersionValue(const char* line, size_t length, size_t* valueLength);
