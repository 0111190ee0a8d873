// Finding the cards of a file, naming them for a list, reading one and writing it back
// in its place.
#include "card/card_file.h"

#include "card/charset.h"
#include "card/content_lines.h"
#include "card/document.h"
#include "card/legacy_text.h"
#include "card/mbstring.h"
#include "card/physical_lines.h"
#include "card/format.h"
#include "card/io.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Bytes of an FN or N line a name is made from: more than a list shows.
const size_t NAME_LINE_SIZE = 1024;
// N's components in the order a name is spoken: prefix, given, additional, family, suffix.
const int N_COMPONENTS = 5;
const int SPOKEN_ORDER[N_COMPONENTS] = {3, 1, 2, 0, 4};

bool IsFold(char c) { return c == ' ' || c == '\t'; }

// The value of a name line of an older card decoded into decoded, as the reader decodes
// it (quotedPrintable: its head names quoted-printable and no base64 data); false when it
// needs no decoding or memory ran out (the text then stays as it is).
bool DecodeOldName(const char* line, size_t headLength, bool quotedPrintable, const char** value,
                   const char** valueEnd, TextBuffer& decoded)
{
    size_t length = (size_t)(*valueEnd - *value);
    TextBuffer unquoted;
    const char* text = *value;
    if (quotedPrintable) {
        if (!DecodeQuotedPrintable(text, length, unquoted)) return false;
        text = unquoted.Data();
        length = unquoted.Length();
    }
    if (!HasEightBitBytes(text, length) && text == *value) return false;
    // CHARSET=name among the parameters.
    char charset[64] = "";
    for (size_t k = 0; k + 9 <= headLength; ++k) {
        if (line[k] != ';' || !EqualNoCase(line + k + 1, 8, "CHARSET=")) continue;
        size_t n = 0;
        for (size_t j = k + 9; j < headLength && line[j] != ';' && n + 1 < sizeof charset; ++j) charset[n++] = line[j];
        charset[n] = '\0';
        break;
    }
    PropertyNode::TextBytes bytes;
    bool notRepresentable;
    return DecodeLegacyText(charset[0] != '\0' ? charset : nullptr, text, length, decoded, &bytes, &notRepresentable);
}

}  // namespace

// ---------------------------------------------------------------- the scan

CardScanner::~CardScanner() { free(cards); }

CardSpan* CardScanner::Detach()
{
    CardSpan* taken = cards;
    cards = nullptr;
    count = capacity = 0;
    return taken;
}

bool CardScanner::Push(const CardSpan& span)
{
    if (count == capacity) {
        size_t grown = capacity == 0 ? 16 : capacity * 2;
        if (grown > ((size_t)-1) / sizeof(CardSpan)) return false;
        CardSpan* moved = (CardSpan*)realloc(cards, grown * sizeof(CardSpan));
        if (moved == nullptr) return false;
        cards = moved;
        capacity = grown;
    }
    cards[count++] = span;
    return true;
}

bool CardScanner::Line(size_t begin, size_t next, size_t length, const char* text)
{
    ++lineNumber;
    // Empty lines neither start nor end a content line, as in the reader. Only a line
    // that starts with NUL or CR can be empty.
    if (length == 0 || text[0] == '\0') return true;
    size_t available = length < CARD_SCAN_HEAD ? length : CARD_SCAN_HEAD;
    if (text[0] == '\r' && ContentOf(text, available, available == length) == 0) return true;

    if (IsFold(text[0])) {
        if (!pending) return true;  // a fold before any line: the reader refuses the card
        lineNext = next;
        lineLast = lineNumber;
        if (looked && !headCut) {
            size_t content = ContentOf(text, available, available == length);
            size_t take = content - 1;
            size_t room = CARD_SCAN_HEAD - headLength;
            if (take > room || available < length) headCut = true;
            if (take > room) take = room;
            memcpy(head + headLength, text + 1, take);
            headLength += take;
        }
        return true;
    }

    if (!CloseContentLine()) return false;
    pending = true;
    lineBegin = begin;
    lineNext = next;
    lineFirst = lineLast = lineNumber;
    // Only a few lines need a closer look: those that may open or close a card, and the
    // lines of a card that may still name it.
    char c = AsciiUpper(text[0]);
    bool mayNameCard = depth == 1 && !(open.hasName && !open.nameIsN);
    looked = depth == 0 ? c == 'B' : (c == 'B' || c == 'E' || mayNameCard);
    headLength = 0;
    headCut = false;
    if (looked) {
        headLength = ContentOf(text, available, available == length);
        memcpy(head, text, headLength);
        headCut = available < length && headLength == available;
    }
    return true;
}

bool CardScanner::CloseContentLine()
{
    if (!pending) return true;
    pending = false;
    if (!looked) return true;
    bool whole = !headCut;
    // A card's opening line may have blanks after it; one inside a card is the exact line.
    if (whole && (depth == 0 ? IsOpeningLine(head, headLength) : EqualNoCase(head, headLength, OPENING_LINE))) {
        if (depth == 0) {
            open = CardSpan();
            open.begin = lineBegin;
            open.firstLine = lineFirst;
        }
        ++depth;
        return true;
    }
    if (depth == 0) return true;  // between cards
    if (whole && IsClosingLine(head, headLength)) {
        if (--depth > 0) return true;
        open.end = lineNext;
        open.lastLine = lineLast;
        return Push(open);
    }
    if (depth != 1) return true;  // a card inside a property names nothing
    size_t versionLength = 0;
    const char* version = VersionValue(head, headLength, &versionLength);
    if (version != nullptr) {
        open.version = VersionFromText(version, versionLength);
        return true;
    }
    // The property name: after a group prefix, up to its parameters or its value.
    size_t nameStart = 0;
    size_t i = 0;
    bool grouped = false;
    for (; i < headLength && head[i] != ';' && head[i] != ':'; ++i) {
        if (head[i] == '.' && !grouped) {
            grouped = true;
            nameStart = i + 1;
        }
    }
    if (i == headLength) return true;
    if (EqualNoCase(head + nameStart, i - nameStart, "FN")) {
        open.hasName = true;
        open.nameIsN = false;
        open.nameLine = lineBegin;
    } else if (!open.hasName && EqualNoCase(head + nameStart, i - nameStart, "N")) {
        open.hasName = true;
        open.nameIsN = true;
        open.nameLine = lineBegin;
    }
    return true;
}

bool CardScanner::Finish(size_t end)
{
    if (!CloseContentLine()) return false;
    if (depth == 0) return true;
    // A card that is never closed runs to the end of the file, as the reader reads it.
    depth = 0;
    open.end = end;
    open.lastLine = lineNumber;
    return Push(open);
}

// A file of UTF-16 text is counted as the text it holds, read whole.
static long CountUtf16Cards(CardInput& input, const char* first, size_t firstLength, size_t limit)
{
    TextBuffer all;
    if (!all.Append(first, firstLength)) return -1;
    for (;;) {
        size_t before = all.Length();
        if (!all.Reserve(before + READ_CHUNK)) return -1;
        size_t got = input.Read(all.Data() + before, READ_CHUNK);
        all.SetLength(before + got);
        if (got == 0) break;
    }
    CardFile file;
    if (!file.Assign(all.Data(), all.Length())) return -1;
    return (long)(file.CardCount() < limit ? file.CardCount() : limit);
}

long CountCards(CardInput& input, size_t limit)
{
    char* chunk = (char*)malloc(READ_CHUNK);
    if (chunk == nullptr) return -1;
    CardScanner scanner;
    bool ok = true;
    // A line that goes on past a chunk: where it began, its length so far, and its head.
    bool carrying = false;
    size_t carriedBegin = 0;
    size_t carriedLength = 0;
    char carried[CARD_SCAN_HEAD];
    size_t offset = 0;
    for (bool first = true; ok && scanner.Count() < limit; first = false) {
        size_t got = input.Read(chunk, READ_CHUNK);
        if (got == 0) break;
        if (first && StartsAsUtf16(chunk, got)) {
            long count = CountUtf16Cards(input, chunk, got, limit);
            free(chunk);
            return count;
        }
        size_t position = 0;
        if (first && got >= 3 && memcmp(chunk, UTF8_MARK, 3) == 0) position = 3;
        while (ok && position < got) {
            const char* start = chunk + position;
            const char* feed = (const char*)memchr(start, '\n', got - position);
            size_t piece = feed != nullptr ? (size_t)(feed - start) : got - position;
            size_t next = offset + position + piece + 1;
            if (!carrying && feed != nullptr) {
                ok = scanner.Line(offset + position, next, piece, start);
            } else {
                if (!carrying) {
                    carrying = true;
                    carriedBegin = offset + position;
                    carriedLength = 0;
                }
                if (carriedLength < CARD_SCAN_HEAD) {
                    size_t take = CARD_SCAN_HEAD - carriedLength < piece ? CARD_SCAN_HEAD - carriedLength : piece;
                    memcpy(carried + carriedLength, start, take);
                }
                carriedLength += piece;
                if (feed != nullptr) {
                    carrying = false;
                    ok = scanner.Line(carriedBegin, next, carriedLength, carried);
                }
            }
            position += piece + (feed != nullptr ? 1 : 0);
        }
        offset += got;
    }
    free(chunk);
    if (ok && carrying) ok = scanner.Line(carriedBegin, offset, carriedLength, carried);
    if (ok) ok = scanner.Finish(offset);
    if (!ok) return -1;
    return (long)(scanner.Count() < limit ? scanner.Count() : limit);
}

// ---------------------------------------------------------------- a file's cards

CardFile::~CardFile()
{
    free(bytes);
    free(cards);
}

bool CardFile::List()
{
    free(cards);
    cards = nullptr;
    count = 0;
    CardScanner scanner;
    size_t position = 0;
    // Notepad's mark of UTF-8 stands before the first line, not in it.
    if (length >= 3 && memcmp(bytes, UTF8_MARK, 3) == 0) position = 3;
    while (position < length) {
        const char* line = bytes + position;
        const char* feed = (const char*)memchr(line, '\n', length - position);
        size_t lineLength = feed != nullptr ? (size_t)(feed - line) : length - position;
        size_t next = feed != nullptr ? position + lineLength + 1 : length;
        if (!scanner.Line(position, next, lineLength, line)) return false;
        position = next;
    }
    if (!scanner.Finish(length)) return false;
    count = scanner.Count();
    cards = scanner.Detach();
    return true;
}

bool CardFile::Assign(const char* source, size_t size)
{
    char* copy = (char*)malloc(size != 0 ? size : 1);
    if (copy == nullptr) return false;
    if (size != 0) memcpy(copy, source, size);
    return Take(copy, size);
}

bool CardFile::Take(char* read, size_t size)
{
    free(bytes);
    bytes = read;
    length = size;
    fromUtf16 = false;
    // UTF-16 text is held as the program's text: every later save writes that, the
    // editor having asked first. Text that is not UTF-16 throughout stays as it was.
    TextBuffer text;
    if (StartsAsUtf16(bytes, length) && Utf16FileToProgramText(bytes, length, text)) {
        free(bytes);
        length = text.Length();
        bytes = text.Detach();
        fromUtf16 = true;
    }
    return List();
}

HRESULT CardFile::Read(FILE* file)
{
    size_t capacity = READ_CHUNK;
    // A regular file says its size: one block then does, unless it grows meanwhile.
    if (fseek(file, 0, SEEK_END) == 0) {
        long size = ftell(file);
        if (size > 0 && (unsigned long)size < ((size_t)-1) / 2) capacity = (size_t)size + 1;
    }
    rewind(file);
    char* read = (char*)malloc(capacity);
    if (read == nullptr) return E_OUTOFMEMORY;
    size_t used = 0;
    for (;;) {
        if (used == capacity) {
            if (capacity > ((size_t)-1) / 2) {
                free(read);
                return E_OUTOFMEMORY;
            }
            char* moved = (char*)realloc(read, capacity * 2);
            if (moved == nullptr) {
                free(read);
                return E_OUTOFMEMORY;
            }
            read = moved;
            capacity *= 2;
        }
        size_t got = fread(read + used, 1, capacity - used, file);
        if (got == 0) break;
        used += got;
    }
    if (ferror(file)) {
        free(read);
        return ResultFromWin32(READ_FAULT);
    }
    return Take(read, used) ? S_OK : E_OUTOFMEMORY;
}

size_t CardFile::CardName(size_t index, char* name, size_t size) const
{
    if (size == 0) return 0;
    name[0] = '\0';
    const CardSpan& card = cards[index];
    if (!card.hasName) return 0;

    // The content line, its folds and soft breaks joined as the reader joins them, as far
    // as a name needs it.
    char line[NAME_LINE_SIZE];
    size_t lineLength = 0;
    size_t position = card.nameLine;
    ContentLineRules rules(card.version);
    for (bool first = true; position < card.end && lineLength < sizeof line; first = false) {
        const char* start = bytes + position;
        const char* feed = (const char*)memchr(start, '\n', card.end - position);
        size_t physical = feed != nullptr ? (size_t)(feed - start) : card.end - position;
        size_t content = ContentOf(start, physical, WHOLE_LINE);
        position += physical + (feed != nullptr ? 1 : 0);
        LineJoin join = LineJoin::Starts;
        if (!first) {
            if (content == 0) {
                if (rules.EmptyLine() && lineLength > 0) --lineLength;
                continue;
            }
            join = rules.Classify(start, content, AFTER_GATHERED_LINE);
            if (join == LineJoin::Starts) break;
            if (join == LineJoin::Fold) {
                ++start;
                --content;
            } else if (join == LineJoin::SoftBreak) {
                --lineLength;
                content = WithoutTrailingBlanks(start, content);
            }
        }
        size_t take = sizeof line - lineLength < content ? sizeof line - lineLength : content;
        memcpy(line + lineLength, start, take);
        lineLength += take;
        rules.Gathered(line, lineLength, join);
    }

    // The value: after the first ':' outside the quotes of a parameter value.
    size_t i = 0;
    for (bool quoted = false; i < lineLength && (quoted || line[i] != ':'); ++i) {
        if (line[i] == '"') quoted = !quoted;
    }
    const char* value = i < lineLength ? line + i + 1 : line + lineLength;
    const char* valueEnd = line + lineLength;
    // An older card's name may be quoted-printable, and in a character set of its own.
    TextBuffer decoded;
    // The line's rules have read its head, folds and all.
    if (AllowsLegacyEncodings(card.version) && DecodeOldName(line, i, rules.QuotedPrintable(), &value, &valueEnd, decoded)) {
        value = decoded.Data();
        valueEnd = value + decoded.Length();
    }

    // N's components where they stand; FN is one component.
    const char* components[N_COMPONENTS] = {value};
    const char* componentEnds[N_COMPONENTS] = {valueEnd};
    int found = 1;
    const unsigned char* leadBytes = LeadByteTable();
    if (card.nameIsN) {
        for (const char* p = value; p < valueEnd;) {
            if (*p == '\\' && p + 1 < valueEnd) {
                p += 2;
                continue;
            }
            if (*p == ';') {
                componentEnds[found - 1] = p;
                if (found == N_COMPONENTS) break;
                components[found] = p + 1;
                componentEnds[found] = valueEnd;
                ++found;
            }
            p += leadBytes[(unsigned char)*p] && p + 1 < valueEnd ? 2 : 1;
        }
    }

    size_t out = 0;
    for (int k = 0; k < N_COMPONENTS; ++k) {
        int which = card.nameIsN ? SPOKEN_ORDER[k] : k;
        if (which >= found) continue;
        if (out > 0 && out < size - 1 && components[which] < componentEnds[which]) name[out++] = ' ';
        for (const char* p = components[which]; p < componentEnds[which] && out < size - 1;) {
            if (leadBytes[(unsigned char)*p] && p + 1 < componentEnds[which]) {
                if (out + 2 > size - 1) break;
                name[out++] = p[0];
                name[out++] = p[1];
                p += 2;
                continue;
            }
            char c = *p++;
            if (c == '\\' && p < componentEnds[which]) {
                c = *p++;
                if (c == 'n' || c == 'N') c = ' ';
            } else if (c == ',' && card.nameIsN) {
                c = ' ';  // between the values of a list
            }
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
            name[out++] = c;
        }
        if (!card.nameIsN) break;
    }
    while (out > 0 && name[out - 1] == ' ') --out;
    name[out] = '\0';
    return out;
}

HRESULT CardFile::ReadCard(size_t index, CardDocument& document) const
{
    const CardSpan& card = cards[index];
    MemoryInput input(bytes + card.begin, card.end - card.begin);
    return document.ReadCard(input);
}

HRESULT CardFile::WriteWithCard(size_t index, CardDocument& document, CardOutput& output) const
{
    const CardSpan& card = cards[index];
    HRESULT result = output.Write(bytes, card.begin);
    if (SUCCEEDED(result)) result = document.WriteCard(output);
    if (SUCCEEDED(result)) result = output.Write(bytes + card.end, length - card.end);
    return result;
}
