// The head of a content line, its text before the ':' that ends it: the scan that finds
// the group, the name and the parameter tokens, and the property and parameter nodes
// made from them, with 2.1's bare parameters and each version's quoting rules.
#pragma once

#include "card/arena.h"
#include "card/nodes.h"
#include "card/refusal.h"
#include "card/syntax.h"
#include "card/text.h"
#include "card/text_buffer.h"
#include "card/vocabulary.h"

#include <initializer_list>
#include <stdint.h>

// What the scan of a line's head found. The head is copied with every "\:" outside
// quotes turned into ':' and each ';' that separates two tokens turned into a NUL.
struct HeadLayout {
    char* head = nullptr;      // copy of the head (or of the whole line without separator),
                               // in the read's scratch buffer
    size_t headLength = 0;
    bool hasSeparator = false;
    size_t valueStart = 0;     // in the line: the byte after the separator
    bool hasGroup = false;
    size_t groupLength = 0;    // in the head copy: the group name's bytes before its '.'
};

// The bytes that end a run of plain characters, for the loops that look at every byte of
// a line: those the loop acts on, and the lead bytes of the code page.
struct RunStops {
    unsigned char head[256];
    unsigned char value[256];
    const unsigned char* leadBytes;

    void Prepare(const unsigned char* codePageLeadBytes)
    {
        leadBytes = codePageLeadBytes;
        for (int c = 0; c < 256; ++c) head[c] = value[c] = leadBytes[c];
        // The NUL that ends every line the reader hands on stops a run as well, so that
        // the run needs no second test for its end.
        for (unsigned char c : {'\0', ':', '"', ';', '.', '=', ',', '\\'}) head[c] = 1;
        for (unsigned char c : {'\0', ';', '\\'}) value[c] = 1;
    }
};

// Kinds of property and parameter names by their spelling, for one read: an address
// book repeats a handful of names on every line, and the vocabulary compares each name
// it is asked with its table. The answer for a spelling cannot change within a read. A
// name longer than a slot's two words, or one whose slot holds another spelling, is
// looked up in the vocabulary.
class KindCache {
public:
    explicit KindCache(int (*lookUp)(const char*)) : find(lookUp) {}

    int Find(const char* name, size_t length)
    {
        if (length > sizeof(Slot::words)) return find(name);
        uint64_t words[2];
        ShortTextWords(name, length, words);
        uint64_t hash = (words[0] * 0x9E3779B97F4A7C15ull) ^ (words[1] * 0xC2B2AE3D27D4EB4Full) ^ length;
        Slot& slot = slots[(hash >> 32) & (SLOTS - 1)];
        if (slot.lengthAndOne == length + 1 && slot.words[0] == words[0] && slot.words[1] == words[1]) {
            return slot.kind;
        }
        int kind = find(name);
        slot = Slot{{words[0], words[1]}, length + 1, kind};
        return kind;
    }

private:
    static const size_t SLOTS = 64;
    struct Slot {
        uint64_t words[2];    // the spelling's bytes padded with zeros
        size_t lengthAndOne;  // 0: an empty slot
        int kind;
    };
    Slot slots[SLOTS] = {};
    int (*find)(const char*);
};

struct NameKinds {
    KindCache properties{FindPropertyKind};
    KindCache parameters{FindParameterKind};
};

// Scans the head of a line terminated at length that holds no NUL before it; false when
// memory ran out.
bool ScanHead(const char* line, size_t length, TextBuffer& buffer, const RunStops& stops, HeadLayout* layout);

// A property with its parameter chain from the tokens of a head; null on failure, with
// a refusal for a parameter without '=' (a bare one, in a 4.0 card).
PropertyNode* ParsePropertyHead(CardArena& arena, NameKinds& kinds, const unsigned char* leadBytes,
                                CardVersion version, char* head, size_t length, int number, Refusal& refusal,
                                HRESULT* result);
