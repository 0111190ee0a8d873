// The round-trip law as one check, shared by the fuzzer and the tests: a card that loads
// is written, read back and written again; the two cards must hold the same groups,
// properties, parameter nodes and value slots (absent slots included) and the same
// escape-colon setting, and the second write must give the same bytes as the first.
// Slots compare byte for byte, except the components of N, ADR, CATEGORIES and
// NICKNAME, which the card holds in the file's spelling: those compare as the values
// they list, so that a comma inside a value and one between values stay apart while
// two spellings of one text ("\N" and "\n") compare equal.
#pragma once

#include "card/document.h"
#include "tools/hidden_tree.h"

#include <stddef.h>
#include <string>

// The first difference between two cards in card order (a group's properties where the
// group stands, empty groups left out), or "" when they are equal.
std::string DifferenceBetweenCards(const CardDocument& first, const CardDocument& second);

// The first place where the order of items the document keeps in its nodes differs from
// its tree's, walked item by item through the tree, or "" when they agree.
std::string OrderDifference(const CardDocument& document);

struct RoundTripOutcome {
    bool loaded = false;          // the bytes loaded as a card
    std::string written;          // the first write
    std::string violation;        // "" when the law holds; else what broke it
};

// A card in a container of its own, as the law reads it.
struct LoadedCard {
    HiddenTree tree;
    int escapeColon = 0;
    CardDocument document{tree.Window(), &escapeColon};
    ~LoadedCard() { document.DeleteAll(); }
};

// Loads bytes in the current code page and checks the law on whatever loaded.
RoundTripOutcome CheckRoundTrip(const char* bytes, size_t length);
// The same, with the card as first read (and written) left in card, which must be empty:
// a further check of the same bytes then need not read them again.
RoundTripOutcome CheckRoundTrip(const char* bytes, size_t length, LoadedCard& card);
