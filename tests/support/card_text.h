// Cards to and from text in tests: load a text into a document over a test tree, write
// a document to text, and the dump form for comparing two cards.
#pragma once

#include "card/document.h"
#include "card/io.h"
#include "tests/support/test_tree.h"

#include <algorithm>
#include <string>
#include <string.h>

// A document over its own test tree, emptied when the test ends.
class TestCard {
public:
    TestCard() : document(tree.Window(), &escapeColon) {}
    ~TestCard() { document.DeleteAll(); }

    // Reads text into the (empty) document.
    HRESULT Load(const std::string& text);
    // Writes the document; result receives WriteCard's result when given.
    std::string Save(HRESULT* result = nullptr);
    std::string Dump() const;
    // The property at a position in card order (groups' properties in place).
    PropertyNode* Property(int index) const;
    int PropertyCount() const;
    // The document's last refusal in one line, for the output of a failing test.
    std::string Why() const;

    TestTree tree;
    int escapeColon = 0;
    CardDocument document;
};

// Lines joined with CR LF, each ended by CR LF: Lines({"A", "B"}) == "A\r\nB\r\n".
std::string Lines(std::initializer_list<const char*> lines);

// Hands the text over step bytes at a time, as a pipe may, so that lines cross reads.
class TrickleInput : public CardInput {
public:
    TrickleInput(const std::string& text, size_t step) : bytes(text), piece(step) {}
    size_t Read(char* buffer, size_t size) override
    {
        size_t count = std::min({size, piece, bytes.size() - at});
        memcpy(buffer, bytes.data() + at, count);
        at += count;
        return count;
    }

private:
    std::string bytes;
    size_t piece;
    size_t at = 0;
};
