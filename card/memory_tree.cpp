// The in-memory tree of the native build and the tree messages answered from it.
#ifndef _WIN32

#include "card/memory_tree.h"

#include "card/nodes.h"
#include "card/tree.h"

#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

thread_local DWORD lastError = 0;

void ReleaseNode(void*, LPARAM data)
{
    if (data != 0) ((CardNode*)data)->Release();
}

const uint32_t NO_ITEM = 0;
const uint32_t ROOT_ITEM = 1;
const uint32_t FIRST_ITEM = 2;           // the number of the first block's first item
const size_t FIRST_BLOCK_SIZE = 64;
// The pages of a newest block of 1 MB or more are made present ahead of the items handed
// out, 16 KB at first and twice as many each time up to 64 KB, much as the card's arena
// does: a card of a few hundred thousand items otherwise takes a page fault for every
// hundred items, which on a virtual machine costs more than the items themselves.
const size_t FIRST_PRESENT_STEP = 16 * 1024;
const size_t LAST_PRESENT_STEP = 64 * 1024;
// Smaller blocks come from pages of the heap, mostly present already, and a small card
// should hold no page it does not use.
const size_t PRESENT_AHEAD_FROM = 1024 * 1024;

// The count of items in the blocks before block b.
size_t ItemsBefore(int b)
{
    return FIRST_BLOCK_SIZE * (((size_t)1 << b) - 1);
}

}  // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD error)
{
    lastError = error;
}

MemoryTree::MemoryTree() : MemoryTree(ReleaseNode, nullptr) {}

MemoryTree::MemoryTree(DeleteNotice deleteNotice, void* context)
    : root{},
      blocks{},
      blockCount(0),
      usedInLastBlock(0),
      present(nullptr),
      presentStep(0),
      freeItems(NO_ITEM),
      itemCount(0),
      selected(nullptr),
      notice(deleteNotice),
      noticeContext(context),
      insertionsBeforeRefusal(0)
{
    root.expanded = 1;
}

MemoryTree::~MemoryTree()
{
    Delete(TVI_ROOT);
    for (int i = 0; i < blockCount; ++i) free(blocks[i].items);
}

uint32_t MemoryTree::NumberOf(HTREEITEM item) const
{
    if (item == &root) return ROOT_ITEM;
    uintptr_t address = (uintptr_t)item;
    // The newest block is the largest: most items live there. Of it only the items
    // handed out so far are looked at; the rest were never written.
    for (int b = blockCount - 1; b >= 0; --b) {
        size_t count = b == blockCount - 1 ? usedInLastBlock : blocks[b].count;
        uintptr_t begin = (uintptr_t)blocks[b].items;
        uintptr_t end = begin + count * sizeof(MemoryTreeItem);
        if (address >= begin && address < end) {
            if ((address - begin) % sizeof(MemoryTreeItem) != 0 || !item->inUse) return NO_ITEM;
            return FIRST_ITEM + (uint32_t)(ItemsBefore(b) + (address - begin) / sizeof(MemoryTreeItem));
        }
    }
    return NO_ITEM;
}

MemoryTreeItem* MemoryTree::At(uint32_t number) const
{
    if (number == NO_ITEM) return nullptr;
    if (number == ROOT_ITEM) return const_cast<MemoryTreeItem*>(&root);
    size_t index = number - FIRST_ITEM;
    // Block b starts at item 64 * (2^b - 1): b is the highest bit of index / 64 + 1.
    int b = 63 - __builtin_clzll((unsigned long long)(index / FIRST_BLOCK_SIZE + 1));
    return &blocks[b].items[index - ItemsBefore(b)];
}

MemoryTreeItem* MemoryTree::Allocate(uint32_t* number)
{
    MemoryTreeItem* item;
    if (freeItems != NO_ITEM) {
        *number = freeItems;
        item = At(freeItems);
        freeItems = item->nextSibling;
    } else {
        if (blockCount == 0 || usedInLastBlock == blocks[blockCount - 1].count) {
            if (blockCount == MAX_BLOCKS) return nullptr;
            size_t count = FIRST_BLOCK_SIZE << blockCount;
            MemoryTreeItem* items = (MemoryTreeItem*)malloc(count * sizeof(MemoryTreeItem));
            if (items == nullptr) return nullptr;
            blocks[blockCount++] = Block{items, count};
            usedInLastBlock = 0;
            present = count * sizeof(MemoryTreeItem) >= PRESENT_AHEAD_FROM ? (char*)items : nullptr;
            presentStep = FIRST_PRESENT_STEP;
        }
        item = &blocks[blockCount - 1].items[usedInLastBlock];
        if (present != nullptr && (char*)(item + 1) > present) MakePresent();
        *number = FIRST_ITEM + (uint32_t)(ItemsBefore(blockCount - 1) + usedInLastBlock);
        ++usedInLastBlock;
    }
    *item = MemoryTreeItem{};
    item->inUse = 1;
    ++itemCount;
    return item;
}

void MemoryTree::MakePresent()
{
    const Block& block = blocks[blockCount - 1];
    char* end = (char*)(block.items + block.count);
    size_t step = presentStep;
    if ((size_t)(end - present) < step) step = (size_t)(end - present);
#ifdef MADV_POPULATE_WRITE
    // Only whole pages inside the block, and only a hint: where the system lacks it, the
    // pages come one fault at a time.
    uintptr_t page = (uintptr_t)sysconf(_SC_PAGESIZE);
    uintptr_t from = ((uintptr_t)present + page - 1) & ~(page - 1);
    uintptr_t to = ((uintptr_t)(present + step)) & ~(page - 1);
    if (to > from) madvise((void*)from, to - from, MADV_POPULATE_WRITE);
#endif
    present += step;
    if (presentStep < LAST_PRESENT_STEP) presentStep *= 2;
}

HTREEITEM MemoryTree::Insert(HTREEITEM parentHandle, HTREEITEM insertAfter, LPARAM data)
{
    MemoryTreeItem* parent = parentHandle == TVI_ROOT || parentHandle == nullptr ? &root : parentHandle;
    uint32_t parentNumber = NumberOf(parent);
    if (parentNumber == NO_ITEM) return nullptr;
    uint32_t after = NO_ITEM;  // first position
    if (insertAfter == TVI_LAST) {
        after = parent->lastChild;
    } else if (insertAfter != TVI_FIRST) {
        // An item that is not a child of the parent counts as "last", as the control does.
        uint32_t number = insertAfter != &root ? NumberOf(insertAfter) : NO_ITEM;
        after = (number != NO_ITEM && insertAfter->parent == parentNumber) ? number : parent->lastChild;
    }
    if (insertionsBeforeRefusal > 0 && --insertionsBeforeRefusal == 0) {
        SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    uint32_t number;
    MemoryTreeItem* item = Allocate(&number);
    if (item == nullptr) {
        SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    item->parent = parentNumber;
    item->data = data;
    item->nextSibling = after != NO_ITEM ? At(after)->nextSibling : parent->firstChild;
    if (item->nextSibling == NO_ITEM) parent->lastChild = number;
    if (after != NO_ITEM) {
        At(after)->nextSibling = number;
    } else {
        parent->firstChild = number;
    }
    return item;
}

void MemoryTree::Unlink(MemoryTreeItem* item, uint32_t number)
{
    MemoryTreeItem* parent = At(item->parent);
    uint32_t before = NO_ITEM;
    for (uint32_t at = parent->firstChild; at != number; at = At(at)->nextSibling) before = at;
    if (before != NO_ITEM) {
        At(before)->nextSibling = item->nextSibling;
    } else {
        parent->firstChild = item->nextSibling;
    }
    if (item->nextSibling == NO_ITEM) parent->lastChild = before;
}

void MemoryTree::DeleteSubtree(MemoryTreeItem* item, uint32_t number)
{
    while (item->firstChild != NO_ITEM) {
        uint32_t childNumber = item->firstChild;
        MemoryTreeItem* child = At(childNumber);
        Unlink(child, childNumber);
        DeleteSubtree(child, childNumber);
    }
    if (item == &root) return;
    if (item == selected) selected = nullptr;
    LPARAM data = item->data;
    *item = MemoryTreeItem{};
    item->nextSibling = freeItems;
    freeItems = number;
    --itemCount;
    if (notice != nullptr) notice(noticeContext, data);
}

bool MemoryTree::Delete(HTREEITEM item)
{
    if (item == TVI_ROOT) {
        DeleteSubtree(&root, ROOT_ITEM);
        return true;
    }
    if (!IsItem(item)) return false;
    uint32_t number = NumberOf(item);
    Unlink(item, number);
    DeleteSubtree(item, number);
    return true;
}

HTREEITEM MemoryTree::GetNext(HTREEITEM item, UINT code) const
{
    const MemoryTreeItem* from = item == TVI_ROOT || item == nullptr ? &root : item;
    if (from != &root && !IsItem(item)) return nullptr;
    switch (code) {
    case TVGN_CHILD:
        return At(from->firstChild);
    case TVGN_NEXT:
        return from == &root ? nullptr : At(from->nextSibling);
    case TVGN_PARENT:
        return (from == &root || from->parent == ROOT_ITEM) ? nullptr : At(from->parent);
    case TVGN_CARET:
        return selected;
    default:
        return nullptr;
    }
}

bool MemoryTree::GetData(HTREEITEM item, LPARAM* data) const
{
    if (!IsItem(item)) return false;
    *data = item->data;
    return true;
}

UINT MemoryTree::GetState(HTREEITEM item, UINT mask) const
{
    if (!IsItem(item)) return 0;
    return ((item->expanded ? TVIS_EXPANDED : 0) | (item->selected ? TVIS_SELECTED : 0)) & mask;
}

void MemoryTree::EnsureVisible(HTREEITEM item)
{
    if (!IsItem(item)) return;
    for (MemoryTreeItem* parent = At(item->parent); parent != &root; parent = At(parent->parent)) {
        parent->expanded = 1;
    }
}

bool MemoryTree::Select(HTREEITEM item)
{
    if (item != nullptr && !IsItem(item)) return false;
    if (selected != nullptr) selected->selected = 0;
    selected = item;
    if (selected != nullptr) {
        selected->selected = 1;
        EnsureVisible(selected);
    }
    return true;
}

// ---------------------------------------------------------------- tree messages

HTREEITEM TreeInsertItem(TreeWindow tree, HTREEITEM parent, HTREEITEM insertAfter, CardNode* node, UINT state)
{
    HTREEITEM item = tree->Insert(parent, insertAfter, (LPARAM)node);
    if (item != nullptr && (state & TVIS_EXPANDED) != 0) item->expanded = 1;
    return item;
}

BOOL TreeDeleteItem(TreeWindow tree, HTREEITEM item)
{
    return tree->Delete(item) ? 1 : 0;
}

HTREEITEM TreeGetNextItem(TreeWindow tree, HTREEITEM item, UINT code)
{
    return tree->GetNext(item, code);
}

CardNode* TreeGetItemNode(TreeWindow tree, HTREEITEM item)
{
    LPARAM data = 0;
    if (item == nullptr || item == TVI_ROOT || !tree->GetData(item, &data)) return nullptr;
    return (CardNode*)data;
}

UINT TreeGetItemState(TreeWindow tree, HTREEITEM item, UINT stateMask)
{
    return tree->GetState(item, stateMask);
}

void TreeEnsureVisible(TreeWindow tree, HTREEITEM item)
{
    tree->EnsureVisible(item);
}

BOOL TreeSelectItem(TreeWindow tree, HTREEITEM item)
{
    return tree->Select(item) ? 1 : 0;
}

void TreeRepaint(TreeWindow)
{
}

#endif  // !_WIN32
