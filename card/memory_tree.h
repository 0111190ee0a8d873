// The native build's stand-in for the tree view control: items in sibling order with
// their data and state, and one notice per removed item, as TVN_DELETEITEM gives.
#pragma once

#ifndef _WIN32

#include "card/platform.h"

#include <stddef.h>
#include <unordered_set>

struct MemoryTreeItem {
    MemoryTreeItem* parent;
    MemoryTreeItem* firstChild;
    MemoryTreeItem* lastChild;
    MemoryTreeItem* nextSibling;
    MemoryTreeItem* previousSibling;
    LPARAM data;
    UINT state;
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
    size_t ItemCount() const { return items.size(); }

    // Makes the next insertion fail, as a tree that is out of memory does.
    void RefuseNextInsertion() { refuseInsertion = true; }

private:
    bool IsItem(HTREEITEM item) const { return items.count(item) != 0; }
    void Unlink(MemoryTreeItem* item);
    void DeleteSubtree(MemoryTreeItem* item);

    MemoryTreeItem root;
    std::unordered_set<MemoryTreeItem*> items;
    MemoryTreeItem* selected;
    DeleteNotice notice;
    void* noticeContext;
    bool refuseInsertion;
};

#endif  // !_WIN32
