// The native build's stand-in for the tree view control: items in sibling order with
// their data and state, and one notice per removed item, as TVN_DELETEITEM gives.
#pragma once

#ifndef _WIN32

#include "card/platform.h"

#include <stddef.h>

// Links are numbers of items in the tree's blocks rather than pointers: half the size,
// which matters in a card of a few hundred thousand items. 0 is no item, 1 the root.
// A number takes 31 bits, and the bit beside it holds a state; with no link back to the
// sibling before (which a removal finds from the parent's first child), an item is three
// words on a 64-bit system.
struct MemoryTreeItem {
    uint32_t parent : 31;
    uint32_t inUse : 1;        // the item is in the tree
    uint32_t firstChild : 31;
    uint32_t expanded : 1;     // TVIS_EXPANDED
    uint32_t lastChild : 31;
    uint32_t selected : 1;     // TVIS_SELECTED
    uint32_t nextSibling;      // on the free list: the next free item
    LPARAM data;
};

class MemoryTree {
public:
    // Called once for every removed item with its data.
    typedef void (*DeleteNotice)(void* context, LPARAM data);

    // The default notice releases the item's card node, as the main window does.
    MemoryTree();
    MemoryTree(DeleteNotice notice, void* context);
    ~MemoryTree();
    MemoryTree(const MemoryTree&) = delete;
    MemoryTree& operator=(const MemoryTree&) = delete;

    HTREEITEM Insert(HTREEITEM parent, HTREEITEM insertAfter, LPARAM data);
    bool Delete(HTREEITEM item);
    HTREEITEM GetNext(HTREEITEM item, UINT code) const;
    bool GetData(HTREEITEM item, LPARAM* data) const;
    UINT GetState(HTREEITEM item, UINT mask) const;
    void EnsureVisible(HTREEITEM item);
    bool Select(HTREEITEM item);
    size_t ItemCount() const { return itemCount; }

    // Makes the insertion after the next `allowed` ones fail, as a tree that is out of
    // memory does.
    void RefuseNextInsertion(size_t allowed = 0) { insertionsBeforeRefusal = allowed + 1; }

private:
    // Items live in blocks that the tree owns until it is destroyed, each twice the size
    // of the one before; a removed item goes to a free list. So any handle can be checked
    // without a set of every live item (which cost a third of the memory of a card):
    // it must point at an item of one of the blocks, and that item must be in use.
    // Block b holds 64 << b items, numbered on from those of the blocks before it.
    struct Block {
        MemoryTreeItem* items;
        size_t count;
    };
    static const int MAX_BLOCKS = 25;  // item numbers stay below 2^31

    // The number of a handle that names an item in use (or the root), 0 for any other.
    uint32_t NumberOf(HTREEITEM item) const;
    MemoryTreeItem* At(uint32_t number) const;
    bool IsItem(HTREEITEM item) const { return item != &root && NumberOf(item) != 0; }
    MemoryTreeItem* Allocate(uint32_t* number);
    void MakePresent();
    void Unlink(MemoryTreeItem* item, uint32_t number);
    void DeleteSubtree(MemoryTreeItem* item, uint32_t number);

    MemoryTreeItem root;
    Block blocks[MAX_BLOCKS];
    int blockCount;
    size_t usedInLastBlock;
    char* present;        // the pages of the newest block below this are present
    size_t presentStep;
    uint32_t freeItems;
    size_t itemCount;
    MemoryTreeItem* selected;
    DeleteNotice notice;
    void* noticeContext;
    size_t insertionsBeforeRefusal;  // 0: none refused
};

#endif  // !_WIN32
