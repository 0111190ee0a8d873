// The in-memory tree of the native build and the tree messages answered from it.
#ifndef _WIN32

#include "card/memory_tree.h"

#include "card/nodes.h"
#include "card/tree.h"

#include <stdint.h>
#include <stdlib.h>

namespace {

thread_local DWORD lastError = 0;

void ReleaseNode(void*, LPARAM data)
{
    if (data != 0) ((CardNode*)data)->Release();
}

MemoryTreeItem* LastChild(MemoryTreeItem* parent)
{
    return parent->lastChild;
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
      freeItems(nullptr),
      itemCount(0),
      selected(nullptr),
      notice(deleteNotice),
      noticeContext(context),
      refuseInsertion(false)
{
    root.state = TVIS_EXPANDED;
    root.owner = this;
}

MemoryTree::~MemoryTree()
{
    Delete(TVI_ROOT);
    for (int i = 0; i < blockCount; ++i) free(blocks[i].items);
}

bool MemoryTree::IsItem(HTREEITEM item) const
{
    uintptr_t address = (uintptr_t)item;
    // The newest block is the largest: most items live there.
    for (int i = blockCount - 1; i >= 0; --i) {
        uintptr_t begin = (uintptr_t)blocks[i].items;
        uintptr_t end = begin + blocks[i].count * sizeof(MemoryTreeItem);
        if (address >= begin && address < end) {
            return (address - begin) % sizeof(MemoryTreeItem) == 0 && item->owner == this;
        }
    }
    return false;
}

MemoryTreeItem* MemoryTree::Allocate()
{
    MemoryTreeItem* item = freeItems;
    if (item != nullptr) {
        freeItems = item->nextSibling;
    } else {
        if (blockCount == 0 || usedInLastBlock == blocks[blockCount - 1].count) {
            if (blockCount == MAX_BLOCKS) return nullptr;
            size_t count = (size_t)64 << blockCount;
            MemoryTreeItem* items = (MemoryTreeItem*)malloc(count * sizeof(MemoryTreeItem));
            if (items == nullptr) return nullptr;
            blocks[blockCount++] = Block{items, count};
            usedInLastBlock = 0;
        }
        item = &blocks[blockCount - 1].items[usedInLastBlock++];
    }
    *item = MemoryTreeItem{};
    item->owner = this;
    ++itemCount;
    return item;
}

HTREEITEM MemoryTree::Insert(HTREEITEM parentHandle, HTREEITEM insertAfter, LPARAM data)
{
    MemoryTreeItem* parent = parentHandle == TVI_ROOT || parentHandle == nullptr ? &root : parentHandle;
    if (parent != &root && !IsItem(parent)) return nullptr;
    MemoryTreeItem* after = nullptr;  // null: first position
    if (insertAfter == TVI_LAST) {
        after = LastChild(parent);
    } else if (insertAfter != TVI_FIRST) {
        // An item that is not a child of the parent counts as "last", as the control does.
        after = (IsItem(insertAfter) && insertAfter->parent == parent) ? insertAfter : LastChild(parent);
    }
    if (refuseInsertion) {
        refuseInsertion = false;
        SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    MemoryTreeItem* item = Allocate();
    if (item == nullptr) {
        SetLastError(ERROR_OUTOFMEMORY);
        return nullptr;
    }
    item->parent = parent;
    item->data = data;
    item->previousSibling = after;
    item->nextSibling = after != nullptr ? after->nextSibling : parent->firstChild;
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item;
    } else {
        parent->lastChild = item;
    }
    if (after != nullptr) {
        after->nextSibling = item;
    } else {
        parent->firstChild = item;
    }
    return item;
}

void MemoryTree::Unlink(MemoryTreeItem* item)
{
    if (item->previousSibling != nullptr) {
        item->previousSibling->nextSibling = item->nextSibling;
    } else {
        item->parent->firstChild = item->nextSibling;
    }
    if (item->nextSibling != nullptr) {
        item->nextSibling->previousSibling = item->previousSibling;
    } else {
        item->parent->lastChild = item->previousSibling;
    }
}

void MemoryTree::DeleteSubtree(MemoryTreeItem* item)
{
    while (item->firstChild != nullptr) {
        MemoryTreeItem* child = item->firstChild;
        Unlink(child);
        DeleteSubtree(child);
    }
    if (item == &root) return;
    if (item == selected) selected = nullptr;
    LPARAM data = item->data;
    item->owner = nullptr;
    item->nextSibling = freeItems;
    freeItems = item;
    --itemCount;
    if (notice != nullptr) notice(noticeContext, data);
}

bool MemoryTree::Delete(HTREEITEM item)
{
    if (item == TVI_ROOT) {
        DeleteSubtree(&root);
        return true;
    }
    if (!IsItem(item)) return false;
    Unlink(item);
    DeleteSubtree(item);
    return true;
}

HTREEITEM MemoryTree::GetNext(HTREEITEM item, UINT code) const
{
    const MemoryTreeItem* from = item == TVI_ROOT || item == nullptr ? &root : item;
    if (from != &root && !IsItem(item)) return nullptr;
    switch (code) {
    case TVGN_CHILD:
        return from->firstChild;
    case TVGN_NEXT:
        return from == &root ? nullptr : from->nextSibling;
    case TVGN_PARENT:
        return (from == &root || from->parent == &root) ? nullptr : from->parent;
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
    return IsItem(item) ? (item->state & mask) : 0;
}

void MemoryTree::EnsureVisible(HTREEITEM item)
{
    if (!IsItem(item)) return;
    for (MemoryTreeItem* parent = item->parent; parent != &root; parent = parent->parent) {
        parent->state |= TVIS_EXPANDED;
    }
}

bool MemoryTree::Select(HTREEITEM item)
{
    if (item != nullptr && !IsItem(item)) return false;
    if (selected != nullptr) selected->state &= ~(UINT)TVIS_SELECTED;
    selected = item;
    if (selected != nullptr) {
        selected->state |= TVIS_SELECTED;
        EnsureVisible(selected);
    }
    return true;
}

// ---------------------------------------------------------------- tree messages

HTREEITEM TreeInsertItem(TreeWindow tree, HTREEITEM parent, HTREEITEM insertAfter, CardNode* node)
{
    return tree->Insert(parent, insertAfter, (LPARAM)node);
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
