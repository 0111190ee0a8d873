// The storage of a card as read: its nodes and their texts placed side by side in large
// blocks, instead of one heap block each. A card of many short lines otherwise spends
// more on allocations and their headers than on its own bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// The bytes of a text of at most 16 bytes as two words, padded with zeros: a short text
// compared or hashed as two numbers. Read with loads of fixed size that may overlap, since
// a copy of a length known only at run time costs a call, and reading its words back
// right after waits for the bytes to arrive one by one.
inline void ShortTextWords(const char* text, size_t length, uint64_t words[2])
{
    if (length >= 8) {
        memcpy(&words[0], text, 8);
        uint64_t tail = 0;
        if (length > 8) {
            memcpy(&tail, text + length - 8, 8);
            tail >>= 8 * (16 - length);
        }
        words[1] = tail;
    } else if (length >= 4) {
        uint32_t low, high;
        memcpy(&low, text, 4);
        memcpy(&high, text + length - 4, 4);
        words[0] = (uint64_t)low | ((uint64_t)high << (8 * (length - 4)));
        words[1] = 0;
    } else {
        uint64_t word = 0;
        if (length > 0) {
            word = (uint64_t)(unsigned char)text[0];
            word |= (uint64_t)(unsigned char)text[length / 2] << (8 * (length / 2));
            word |= (uint64_t)(unsigned char)text[length - 1] << (8 * (length - 1));
        }
        words[0] = word;
        words[1] = 0;
    }
}

// Blocks are aligned to their size, so that a node placed in the arena finds its arena
// from its own address; the arena lives until its owner has let go of it and the last
// node placed in it has been destroyed, however long someone holds a node.
class CardArena {
public:
    // Null when memory runs out. The caller owns the arena until it calls Abandon.
    static CardArena* Create();

    // Room for a node, or null; each node placed here is counted until NodeDestroyed
    // is called with its address.
    void* PlaceNode(size_t size, size_t alignment);
    // A terminated copy of length bytes of text, or null.
    char* CopyText(const char* text, size_t length);
    // The same for a text that no one will change: a short one may be a copy made
    // before. Address books repeat their short texts (TYPE values, labels, countries)
    // on every card.
    char* ShareText(const char* text, size_t length);
    // Room for count pointers, or null.
    char** PlacePointers(size_t count);
    // Takes over a block from malloc that holds texts of the card, to free it with the
    // blocks; false when no memory was left, and the caller keeps it.
    bool AdoptHeapText(char* memory);

    // The owner lets go: the blocks go now or with the last node.
    void Abandon();
    // A node placed here has been destroyed; only its address is used.
    static void NodeDestroyed(void* node);

    CardArena(const CardArena&) = delete;
    CardArena& operator=(const CardArena&) = delete;

private:
    struct Block;
    CardArena() = default;
    ~CardArena() = default;

    void* Take(size_t size, size_t alignment);
    bool AddBlock();
    Block* NewBlock();
    Block* TakeKeptBlock();
    static void KeepBlock(Block* block, size_t presentBytes);
    bool AddLargeBlock(size_t size);
    void FreeIfUnused();
    void MakePresent();

    static const size_t SHORT_TEXT = 16;
    static const size_t SHARED_SLOTS = 1024;   // a power of two

    static const size_t SINGLE_BLOCKS = 4;

    Block* blocks = nullptr;        // the blocks nodes live in, newest first
    size_t blockCount = 0;
    void* spareBlock = nullptr;     // the second block of a pair, not yet in use
    Block* largeBlocks = nullptr;   // one text each, too long for a block
    struct HeapText {
        HeapText* next;
        char* memory;
    };
    HeapText* heapTexts = nullptr;  // taken over, listed in the blocks
    char* cursor = nullptr;
    char* limit = nullptr;
    char* present = nullptr;        // the pages of the block below this are present
    char* warmEnd = nullptr;        // and below this, in a kept block, from the card before
    size_t presentStep = 0;
    size_t nodes = 0;
    bool abandoned = false;
    // A short text is compared as two words of its bytes padded with zeros, and its
    // length: no byte loop and no call for each text read.
    struct SharedText {
        uint64_t words[2];
        size_t length;
        char* text;
    };
    SharedText shared[SHARED_SLOTS] = {};  // the latest short text of each hash
};
