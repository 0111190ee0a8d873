// The card's arena: aligned blocks filled front to back, freed all at once.
#include "card/arena.h"

#include <atomic>
#include <new>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CARD_ARENA_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CARD_ARENA_SANITIZED 1
#endif
#ifdef CARD_ARENA_SANITIZED
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Large enough that a card of many lines needs few blocks, small enough that a small
// card wastes little: untouched pages of a block cost no memory.
const size_t BLOCK_SIZE = 1024 * 1024;
// A text longer than this gets a block of its own, so that a long PHOTO value does not
// leave most of a block empty behind it.
const size_t LARGE_TEXT = BLOCK_SIZE / 8;
// Natively the pages of a block are made present ahead of the cursor, first 16 KB at a
// time and twice as many each time up to a quarter of a block: one call instead of a
// fault per page, which on a virtual machine costs more than the page itself, while a
// small card makes few pages present that it does not use.
const size_t FIRST_PRESENT_STEP = 16 * 1024;
const size_t LAST_PRESENT_STEP = BLOCK_SIZE / 4;

// A block of BLOCK_SIZE bytes aligned to its size. Natively straight from the system:
// the C library's aligned allocation of a block this size is a mapping of twice the size,
// and freeing it raises the size from which malloc maps memory of its own, so a large
// line read after a card of many lines was copied from heap to heap as it grew.
void* AllocateBlock()
{
#ifdef _WIN32
    return _aligned_malloc(BLOCK_SIZE, BLOCK_SIZE);
#else
    char* reserved =
        (char*)mmap(nullptr, 2 * BLOCK_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) return nullptr;
    char* block = (char*)(((uintptr_t)reserved + BLOCK_SIZE - 1) & ~(uintptr_t)(BLOCK_SIZE - 1));
    if (block > reserved) munmap(reserved, (size_t)(block - reserved));
    if (block + BLOCK_SIZE < reserved + 2 * BLOCK_SIZE) {
        munmap(block + BLOCK_SIZE, (size_t)(reserved + 2 * BLOCK_SIZE - (block + BLOCK_SIZE)));
    }
    return block;
#endif
}

#ifndef _WIN32
// Two blocks side by side in one region of 2 MB aligned to its size, which the system may
// back with one large page: a large card's memory then costs one fault and one charge per
// 2 MB instead of per 4 KB page, and those per-page costs were a third of a large read.
// Null when memory runs out.
void* AllocateBlockPair()
{
    const size_t pair = 2 * BLOCK_SIZE;
    char* reserved = (char*)mmap(nullptr, 2 * pair, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) return nullptr;
    char* blocks = (char*)(((uintptr_t)reserved + pair - 1) & ~(uintptr_t)(pair - 1));
    if (blocks > reserved) munmap(reserved, (size_t)(blocks - reserved));
    if (blocks + pair < reserved + 2 * pair) munmap(blocks + pair, (size_t)(reserved + 2 * pair - (blocks + pair)));
#ifdef MADV_HUGEPAGE
    madvise(blocks, pair, MADV_HUGEPAGE);  // only a hint
#endif
    return blocks;
}
#endif

void FreeBlock(void* block)
{
#ifdef _WIN32
    _aligned_free(block);
#else
    munmap(block, BLOCK_SIZE);
#endif
}

// Under the sanitizers a kept block is out of bounds until a card takes it again, and
// then only as far as that card has come: a node or text still used from the card that
// had it before shows as a use after free, as it would have on an unmapped block.
void MarkUnused(void* memory, size_t size)
{
#ifdef CARD_ARENA_SANITIZED
    ASAN_POISON_MEMORY_REGION(memory, size);
#else
    (void)memory;
    (void)size;
#endif
}

void MarkInUse(void* memory, size_t size)
{
#ifdef CARD_ARENA_SANITIZED
    ASAN_UNPOISON_MEMORY_REGION(memory, size);
#else
    (void)memory;
    (void)size;
#endif
}

// The blocks of the last cards that needed no more than one, kept for the next cards'
// first: a run of small cards (a folder listed, a file of many cards, the fuzzer's
// inputs) otherwise maps and unmaps a block for each, and those calls with the faults
// of its first pages cost more than reading a small card. Two, for a card read while
// another is open (a card and the one read back from its writing); what stays is at
// most their present pages.
const size_t KEPT_BLOCKS = 2;
std::atomic<void*> keptBlocks[KEPT_BLOCKS] = {};

}  // namespace

struct CardArena::Block {
    CardArena* arena;
    Block* next;
    size_t presentBytes;  // while kept: how many of its first bytes have present pages
};

void CardArena::KeepBlock(Block* block, size_t presentBytes)
{
    block->arena = nullptr;
    block->next = nullptr;
    block->presentBytes = presentBytes;
    // Nothing was handed out past the present pages, and no one can hold any of it.
    if (presentBytes > sizeof(Block)) MarkUnused(block + 1, presentBytes - sizeof(Block));
    void* kept = block;
    for (std::atomic<void*>& slot : keptBlocks) {
        kept = slot.exchange(kept, std::memory_order_acq_rel);
        if (kept == nullptr) return;
    }
    // The oldest goes, its bounds as they were for whatever is mapped there next.
    MarkInUse(kept, BLOCK_SIZE);
    FreeBlock(kept);
}

CardArena::Block* CardArena::TakeKeptBlock()
{
    for (std::atomic<void*>& slot : keptBlocks) {
        Block* block = (Block*)slot.exchange(nullptr, std::memory_order_acq_rel);
        if (block == nullptr) continue;
        warmEnd = (char*)block + block->presentBytes;
        return block;
    }
    return nullptr;
}

CardArena* CardArena::Create()
{
    void* memory = malloc(sizeof(CardArena));
    return memory != nullptr ? new (memory) CardArena() : nullptr;
}

bool CardArena::AddBlock()
{
    Block* block = blockCount == 0 ? TakeKeptBlock() : nullptr;
    if (block == nullptr) block = NewBlock();
    if (block == nullptr) return false;
    ++blockCount;
    block->arena = this;
    block->next = blocks;
    blocks = block;
    cursor = (char*)(block + 1);
    limit = (char*)block + BLOCK_SIZE;
    present = (char*)block;
    return true;
}

CardArena::Block* CardArena::NewBlock()
{
    warmEnd = nullptr;
#ifdef _WIN32
    return (Block*)AllocateBlock();
#else
    // The first blocks come one by one, so that a small card holds no more than it
    // uses; after them, two at a time in memory that may be one large page.
    if (spareBlock != nullptr) {
        Block* block = (Block*)spareBlock;
        spareBlock = nullptr;
        return block;
    }
    if (blockCount >= SINGLE_BLOCKS) {
        Block* block = (Block*)AllocateBlockPair();
        if (block != nullptr) spareBlock = (char*)block + BLOCK_SIZE;
        return block;
    }
    return (Block*)AllocateBlock();
#endif
}

bool CardArena::AddLargeBlock(size_t size)
{
    if (size > (size_t)-1 - sizeof(Block)) return false;
    Block* block = (Block*)malloc(sizeof(Block) + size);
    if (block == nullptr) return false;
    block->arena = this;
    block->next = largeBlocks;
    largeBlocks = block;
    return true;
}

void* CardArena::Take(size_t size, size_t alignment)
{
    uintptr_t at = ((uintptr_t)cursor + alignment - 1) & ~(uintptr_t)(alignment - 1);
    if (cursor == nullptr || at > (uintptr_t)limit || size > (size_t)((uintptr_t)limit - at)) {
        if (!AddBlock()) return nullptr;
        at = ((uintptr_t)cursor + alignment - 1) & ~(uintptr_t)(alignment - 1);
    }
    cursor = (char*)at + size;
    while (cursor > present) MakePresent();
    return (void*)at;
}

void CardArena::MakePresent()
{
    if (presentStep == 0) presentStep = FIRST_PRESENT_STEP;
    size_t step = presentStep;
    if ((size_t)(limit - present) < step) step = (size_t)(limit - present);
    MarkInUse(present, step);
#if !defined(_WIN32) && defined(MADV_POPULATE_WRITE)
    // Only a hint: where the system lacks it, the pages come one fault at a time. A kept
    // block's first pages are present from the card before.
    if (present + step > warmEnd) madvise(present, step, MADV_POPULATE_WRITE);
#endif
    present += step;
    if (presentStep < LAST_PRESENT_STEP) presentStep *= 2;
}

void* CardArena::PlaceNode(size_t size, size_t alignment)
{
    if (size > BLOCK_SIZE / 2 || alignment > 64) return nullptr;  // no node is anywhere near this
    void* place = Take(size, alignment);
    if (place != nullptr) ++nodes;
    return place;
}

char* CardArena::CopyText(const char* text, size_t length)
{
    char* copy;
    if (length >= LARGE_TEXT) {
        if (!AddLargeBlock(length + 1)) return nullptr;
        copy = (char*)(largeBlocks + 1);
    } else {
        copy = (char*)Take(length + 1, 1);
        if (copy == nullptr) return nullptr;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

char* CardArena::ShareText(const char* text, size_t length)
{
    if (length > SHORT_TEXT) return CopyText(text, length);
    uint64_t words[2];
    ShortTextWords(text, length, words);
    uint64_t hash = (words[0] * 0x9E3779B97F4A7C15ull) ^ (words[1] * 0xC2B2AE3D27D4EB4Full) ^ length;
    SharedText& slot = shared[(hash >> 32) & (SHARED_SLOTS - 1)];
    if (slot.text != nullptr && slot.length == length && slot.words[0] == words[0] && slot.words[1] == words[1]) {
        return slot.text;
    }
    char* copy = CopyText(text, length);
    if (copy != nullptr) slot = SharedText{{words[0], words[1]}, length, copy};
    return copy;
}

char** CardArena::PlacePointers(size_t count)
{
    if (count > LARGE_TEXT / sizeof(char*)) {
        if (count > ((size_t)-1 - sizeof(Block)) / sizeof(char*) || !AddLargeBlock(count * sizeof(char*))) {
            return nullptr;
        }
        return (char**)(largeBlocks + 1);
    }
    return (char**)Take(count * sizeof(char*), alignof(char*));
}

bool CardArena::AdoptHeapText(char* memory)
{
    HeapText* entry = (HeapText*)Take(sizeof(HeapText), alignof(HeapText));
    if (entry == nullptr) return false;
    entry->next = heapTexts;
    entry->memory = memory;
    heapTexts = entry;
    return true;
}

void CardArena::Abandon()
{
    abandoned = true;
    FreeIfUnused();
}

void CardArena::NodeDestroyed(void* node)
{
    Block* block = (Block*)((uintptr_t)node & ~(uintptr_t)(BLOCK_SIZE - 1));
    CardArena* arena = block->arena;
    --arena->nodes;
    arena->FreeIfUnused();
}

void CardArena::FreeIfUnused()
{
    if (!abandoned || nodes != 0) return;
    for (HeapText* text = heapTexts; text != nullptr; text = text->next) free(text->memory);
    if (blockCount == 1) {
        KeepBlock(blocks, (size_t)(present - (char*)blocks));
    } else {
        for (Block* block = blocks; block != nullptr;) {
            Block* next = block->next;
            FreeBlock(block);
            block = next;
        }
    }
    for (Block* block = largeBlocks; block != nullptr;) {
        Block* next = block->next;
        free(block);
        block = next;
    }
    if (spareBlock != nullptr) FreeBlock(spareBlock);
    this->~CardArena();
    free(this);
}
