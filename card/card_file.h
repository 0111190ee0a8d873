// The cards of one file. An address book export holds many BEGIN:VCARD ... END:VCARD
// blocks; the editor edits one of them and writes it back in its place, every other byte
// of the file as it was. Finding the blocks is one pass over the bytes that looks
// closely only at the few lines that can open, close or name a card, and keeps one small
// record per card: an export of tens of thousands of cards lists in a few memchr passes.
#pragma once

#include "card/platform.h"
#include "card/syntax.h"

#include <stddef.h>
#include <stdio.h>

class CardDocument;
class CardInput;
class CardOutput;

// One top-level card. A card inside a property (vCard 2.1's AGENT holds a whole card on
// the lines after it) belongs to the card around it.
struct CardSpan {
    size_t begin = 0;      // the first byte of its opening line
    size_t end = 0;        // the byte after its closing line and that line's folds, or the
                           // end of the file for a card that is never closed
    int firstLine = 0;     // physical lines, the file's first being 1: the opening line
    int lastLine = 0;      // the closing line's last physical line (or the file's last)
    size_t nameLine = 0;   // where its FN line (else its N line) begins; see hasName
    bool hasName = false;
    bool nameIsN = false;
    CardVersion version = CardVersion::V40;  // as its VERSION line says, when one comes
                                             // before the line that names it
};

// Bytes of a content line the scan looks at, folds taken out: enough for an opening or
// closing line and a property name with a group of ordinary length before it.
const size_t CARD_SCAN_HEAD = 128;

// Finds the cards of a file from its physical lines, given in order. Memory stays one
// record per card whatever the file holds.
class CardScanner {
public:
    CardScanner() = default;
    ~CardScanner();
    CardScanner(const CardScanner&) = delete;
    CardScanner& operator=(const CardScanner&) = delete;

    // One physical line: where it begins, where the next begins (after its line feed),
    // its length without the line feed, and at least its first min(length,
    // CARD_SCAN_HEAD) bytes. False when memory ran out.
    bool Line(size_t begin, size_t next, size_t length, const char* head);
    // After the last line; end is the file's length. False when memory ran out.
    bool Finish(size_t end);

    size_t Count() const { return count; }
    const CardSpan* Cards() const { return cards; }
    // Hands the records over to the caller, who frees them; the scanner is then empty.
    CardSpan* Detach();

private:
    bool CloseContentLine();
    bool Push(const CardSpan& span);

    CardSpan* cards = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    int depth = 0;
    int lineNumber = 0;
    CardSpan open;  // the card being scanned while depth > 0

    // The content line being gathered: where it began, where its last physical line
    // ended, and its first bytes unfolded when the scan needs to look at them.
    bool pending = false;
    bool looked = false;     // whether head holds its bytes
    size_t lineBegin = 0;
    size_t lineNext = 0;
    int lineFirst = 0;
    int lineLast = 0;
    char head[CARD_SCAN_HEAD];
    size_t headLength = 0;
    bool headCut = false;    // the line holds more than head
};

// A file's bytes with the cards found in them.
class CardFile {
public:
    CardFile() = default;
    ~CardFile();
    CardFile(const CardFile&) = delete;
    CardFile& operator=(const CardFile&) = delete;

    // Takes a copy of bytes and finds their cards. False when memory ran out.
    bool Assign(const char* bytes, size_t length);
    // Reads the whole stream (opened in binary mode) and finds its cards. S_OK, or the
    // failure of memory or of the stream.
    HRESULT Read(FILE* file);

    // Finds the cards of the bytes held again (Assign and Read do it). False when memory
    // ran out.
    bool List();

    size_t CardCount() const { return count; }
    // Whether the file was UTF-16 text, now held (and written) as the program's text.
    bool CameFromUtf16() const { return fromUtf16; }
    const CardSpan& Card(size_t index) const { return cards[index]; }
    const char* Bytes() const { return bytes; }
    size_t Length() const { return length; }

    // The card's name for a list: its FN text, else its N components (prefix, given,
    // additional, family, suffix) joined by blanks, escapes decoded and folds joined; an
    // empty text when it has neither. Returns the length written, at most size - 1.
    size_t CardName(size_t index, char* name, size_t size) const;

    // Reads card index into the empty document, as a file holding only that card reads.
    HRESULT ReadCard(size_t index, CardDocument& document) const;
    // Writes the file with card index replaced by the document's card: every byte before
    // and after it exactly as it was. The bytes held stay those read, which is what every
    // later save of the same card needs: only that card's bytes change on disk.
    HRESULT WriteWithCard(size_t index, CardDocument& document, CardOutput& output) const;

private:
    // Takes over bytes read (malloc'ed), converting UTF-16 text, and finds the cards.
    bool Take(char* read, size_t size);

    char* bytes = nullptr;
    size_t length = 0;
    bool fromUtf16 = false;
    CardSpan* cards = nullptr;
    size_t count = 0;
};

// How many top-level cards the input holds, counting no further than limit: enough to
// know whether a file is one card, without holding its bytes. Reads the input to its
// end (or to the limit's card). -1 when memory ran out.
long CountCards(CardInput& input, size_t limit);
