// Cards to and from text in tests: load a text into a document over a test tree, write
// a document to text, and the dump form for comparing two cards.
#pragma once

#include "card/document.h"
#include "tests/support/test_tree.h"

#include <string>

// A document over its own test tree, emptied when the test ends.
class TestCard {
public:
    TestCard() : document(tree.Window(), &escapeColon) {}
    ~TestCard() { document.DeleteAll(); }

    // Reads text into the (empty) document; the pending detail is taken into detail.
    HRESULT Load(const std::string& text);
    // Writes the document; result receives WriteCard's result when given.
    std::string Save(HRESULT* result = nullptr);
    std::string Dump() const;
    // The property at a position in card order (groups' properties in place).
    PropertyNode* Property(int index) const;
    int PropertyCount() const;

    TestTree tree;
    int escapeColon = 0;
    CardDocument document;
    std::string detail;
};

// Lines joined with CR LF, each ended by CR LF: Lines({"A", "B"}) == "A\r\nB\r\n".
std::string Lines(std::initializer_list<const char*> lines);

// The pending detail's text, emptied.
std::string TakePendingDetail();
