// Physical lines of a card file as the reader takes them: read in chunks, any length,
// with the first lines read ahead as far as the card's VERSION line, whose version
// decides how every line is read, and UTF-16 text handed on as the program's text.
#pragma once

#include "card/charset.h"
#include "card/content_lines.h"
#include "card/io.h"
#include "card/syntax.h"
#include "card/text_buffer.h"

#include <stdlib.h>
#include <string.h>

inline constexpr size_t READ_CHUNK = 64 * 1024;

// Physical lines of any length, without their line feed. A line that does not fit one
// read is gathered across reads, so memory follows the longest line.
class LineReader {
public:
    explicit LineReader(CardInput& cardInput) : input(cardInput) {}
    ~LineReader() { free(chunk); }

    bool Start()
    {
        chunk = (char*)malloc(READ_CHUNK);
        return chunk != nullptr;
    }

    // False at the end of the input, or when memory ran out (OutOfMemory then says so).
    bool Next(const char** line, size_t* length)
    {
        carry.Clear();
        for (;;) {
            if (begin == end) {
                if (!atEnd) {
                    end = input.Read(chunk, READ_CHUNK);
                    begin = 0;
                    if (end == 0) atEnd = true;
                }
                if (atEnd) {
                    if (carry.IsEmpty()) return false;
                    return Give(carry.Data(), carry.Length(), line, length);
                }
            }
            const char* start = chunk + begin;
            const char* feed = (const char*)memchr(start, '\n', end - begin);
            if (feed == nullptr) {
                if (!carry.Append(start, end - begin)) return Fail();
                begin = end;
                continue;
            }
            size_t count = (size_t)(feed - start);
            begin += count + 1;
            if (carry.IsEmpty()) return Give(start, count, line, length);
            if (!carry.Append(start, count)) return Fail();
            return Give(carry.Data(), carry.Length(), line, length);
        }
    }

    bool OutOfMemory() const { return outOfMemory; }

private:
    static bool Give(const char* text, size_t count, const char** line, size_t* length)
    {
        *line = text;
        *length = count;
        return true;
    }

    bool Fail()
    {
        outOfMemory = true;
        return false;
    }

    CardInput& input;
    char* chunk = nullptr;
    size_t begin = 0;
    size_t end = 0;
    bool atEnd = false;
    bool outOfMemory = false;
    TextBuffer carry;
};

// ContentOf's whole for a line read to its end.
const bool WHOLE_LINE = true;

// The text of a physical line as the card sees it: up to a NUL byte, without the CR
// bytes at its end. whole: the line is all at hand (else only its first bytes are, and
// a CR among them may be followed by more text).
inline size_t ContentOf(const char* line, size_t available, bool whole)
{
    const char* nul = (const char*)memchr(line, '\0', available);
    size_t length = available;
    if (nul != nullptr) {
        length = (size_t)(nul - line);
        whole = true;
    }
    if (whole) {
        while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) --length;
    }
    return length;
}

inline bool StartsWith(const char* line, size_t length, const char* prefix, size_t prefixLength)
{
    return length >= prefixLength && memcmp(line, prefix, prefixLength) == 0;
}

// UTF-16 in either byte order: every other byte is NUL, so its lines mean nothing here.
inline bool StartsWithUtf16Mark(const char* line, size_t length)
{
    return StartsWith(line, length, "\xFF\xFE", 2) || StartsWith(line, length, "\xFE\xFF", 2);
}

// The input with its first lines read ahead, as far as the card's VERSION line: the
// version decides how every line is read, and KDE writes VERSION after other lines.
// What was read ahead is handed on first; for most cards that is their first chunk.
class VersionProbe : public CardInput {
public:
    explicit VersionProbe(CardInput& cardInput) : input(cardInput) {}

    // Reads ahead to the card's own VERSION line (its folds joined, as the reader joins
    // them) or the end; false when memory ran out. The VERSION is the one the reader
    // places first: the first at the card's own level, after the opening line, whatever
    // comes between. A card inside this one (2.1's AGENT) has its own VERSION, as the
    // reader and the card scan count such cards: taken for this card's, it made a card
    // read as 4.0 write as one read back as 3.0. A file of UTF-16 text is read whole and
    // handed on as the program's text (utf16 says so); one that is not UTF-16
    // throughout hands on its bytes, which the reader refuses.
    bool Probe(CardVersion* version, bool* utf16)
    {
        *version = CardVersion::V40;
        *utf16 = false;
        size_t scanned = 0;
        bool opened = false;  // the first line, the card's own opening line, has passed
        int inner = 0;        // cards opened inside this one and not yet closed
        bool found = false;   // the VERSION line was found, its value in value
        bool outOfMemory = false;
        // The content line gathered so far, its folds joined: whether it is the VERSION
        // line, and where its head ends, is decided on the whole of it, as the reader does.
        TextBuffer logical;
        bool gathered = false;
        TextBuffer value;
        auto consider = [&]() -> bool {  // true once the VERSION line is found
            const char* line = logical.Data();
            size_t length = logical.Length();
            if (!opened) {
                opened = true;
                return false;
            }
            size_t valueLength = 0;
            const char* text = inner == 0 ? VersionValue(line, length, &valueLength) : nullptr;
            if (text != nullptr) {
                found = true;
                outOfMemory = !value.Assign(text, valueLength);
                return true;
            }
            if (IsExactOpeningLine(line, length)) {
                ++inner;
            } else if (inner > 0 && IsClosingLine(line, length)) {
                --inner;
            }
            return false;
        };
        bool finished = false;
        for (bool first = true;; first = false) {
            // Into the room left while it is a good part of a chunk, else a chunk more (a
            // byte short, so that with the terminator the room is a chunk, not two): a card
            // read whole in its first chunk learns that the input has ended without a buffer
            // twice the size, which some allocators (the sanitizers') map and unmap each time.
            size_t before = ahead.Length();
            size_t want = ahead.Room() >= READ_CHUNK / 4 ? ahead.Room() : READ_CHUNK - 1;
            if (!ahead.Reserve(before + want)) return false;
            size_t got = input.Read(ahead.Data() + before, want);
            ahead.SetLength(before + got);
            if (first && StartsAsUtf16(ahead.Data(), ahead.Length())) {
                if (!ReadAll()) return false;
                TextBuffer text;
                *utf16 = Utf16FileToProgramText(ahead.Data(), ahead.Length(), text);
                if (!*utf16) return true;
                if (!ahead.Assign(text.Data(), text.Length())) return false;
                got = 0;  // all is read
            }
            const char* text = ahead.Data();
            for (;;) {
                const char* feed = (const char*)memchr(text + scanned, '\n', ahead.Length() - scanned);
                if (feed == nullptr && got != 0) break;  // the line goes on in the next chunk
                size_t end = feed != nullptr ? (size_t)(feed - text) : ahead.Length();
                const char* line = text + scanned;
                size_t length = ContentOf(line, end - scanned, WHOLE_LINE);  // as the reader will see it
                if (scanned == 0 && length >= 3 && memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
                    line += 3;
                    length -= 3;
                }
                if (length == 0) {
                    // Empty lines neither end nor continue a content line.
                } else if (line[0] == ' ' || line[0] == '\t') {
                    if (gathered && !logical.Append(line + 1, length - 1)) return false;
                } else {
                    if (gathered && consider()) {
                        finished = true;
                        break;
                    }
                    if (!logical.Assign(line, length)) return false;
                    gathered = true;
                }
                if (feed == nullptr) break;
                scanned = end + 1;
            }
            if (finished || got == 0) break;
        }
        if (!finished && gathered) consider();
        if (outOfMemory) return false;
        if (found) *version = VersionFromText(value.Data(), value.Length());
        return true;
    }

    size_t Read(char* buffer, size_t size) override
    {
        if (served < ahead.Length()) {
            size_t count = ahead.Length() - served < size ? ahead.Length() - served : size;
            memcpy(buffer, ahead.Data() + served, count);
            served += count;
            return count;
        }
        return input.Read(buffer, size);
    }

private:
    bool ReadAll()
    {
        for (;;) {
            size_t before = ahead.Length();
            if (!ahead.Reserve(before + READ_CHUNK)) return false;
            size_t got = input.Read(ahead.Data() + before, READ_CHUNK);
            ahead.SetLength(before + got);
            if (got == 0) return true;
        }
    }

    CardInput& input;
    TextBuffer ahead;
    size_t served = 0;
};
