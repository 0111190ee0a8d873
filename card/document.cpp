// Card document: insertion rules, lookups, deletion and modified state over the tree.
#include "card/document.h"

#include "card/mbstring.h"
#include "card/tree.h"

#include <new>

CardDocument::CardDocument(TreeWindow treeWindow, int* escapeColonCell)
    : structureChanged(0), changesWhenKnown(CardObject::ChangeCount()), tree(treeWindow), escapeColon(escapeColonCell)
{
}

CardDocument::~CardDocument()
{
    AbandonArena();
}

void CardDocument::AbandonArena()
{
    if (arena != nullptr) arena->Abandon();
    arena = nullptr;
}

ItemPlace CardDocument::PlaceFor(HTREEITEM target, const CardNode* node) const
{
    ItemPlace place;
    if (target == TVI_ROOT || target == TVI_FIRST) {
        place.first = target == TVI_FIRST;
        return place;
    }
    CardNode* targetNode = GetNode(target);
    if (targetNode == nullptr) return place;
    if (targetNode->IsGroup() && !node->IsGroup()) {
        place.parent = (GroupNode*)targetNode;
        return place;
    }
    HTREEITEM targetParent = TreeGetNextItem(tree, target, TVGN_PARENT);
    if (targetParent != nullptr && node->IsGroup()) return place;  // a group stays at the root, at its end
    if (targetParent != nullptr) place.parent = (GroupNode*)GetNode(targetParent);
    place.after = targetNode;
    return place;
}

HTREEITEM CardDocument::InsertNode(HTREEITEM target, CardNode* node)
{
    ItemPlace place = PlaceFor(target, node);
    HTREEITEM item = InsertLinked(place, node, 0);
    if (item == nullptr) return nullptr;
    TreeEnsureVisible(tree, item);
    TreeRepaint(tree);
    structureChanged = 1;
    return item;
}

HTREEITEM CardDocument::PlaceReadNode(const ItemPlace& place, CardNode* node)
{
    return InsertLinked(place, node, node->IsGroup() ? TVIS_EXPANDED : 0);
}

HTREEITEM CardDocument::InsertLinked(const ItemPlace& place, CardNode* node, UINT state)
{
    // Linked before the tree has the item, which may ask the nodes whether its parent
    // has children while it inserts.
    Link(place, node);
    HTREEITEM parent = place.parent != nullptr ? place.parent->Item() : TVI_ROOT;
    HTREEITEM insertAfter = place.after != nullptr ? place.after->Item() : place.first ? TVI_FIRST : TVI_LAST;
    HTREEITEM item = TreeInsertItem(tree, parent, insertAfter, node, state);
    if (item == nullptr) {
        Unlink(place.parent, node);
        node->Release();
        return nullptr;
    }
    node->item = item;
    return item;
}

void CardDocument::Link(const ItemPlace& place, CardNode* node)
{
    CardNode*& first = FirstUnder(place.parent);
    CardNode*& last = LastUnder(place.parent);
    CardNode* after = place.after != nullptr ? place.after : place.first ? nullptr : last;
    node->nextItem = after != nullptr ? after->nextItem : first;
    (after != nullptr ? after->nextItem : first) = node;
    if (after == last) last = node;
}

void CardDocument::Unlink(GroupNode* parent, CardNode* node)
{
    CardNode*& first = FirstUnder(parent);
    CardNode* before = nullptr;
    for (CardNode* item = first; item != node; item = item->nextItem) {
        if (item == nullptr) return;
        before = item;
    }
    (before != nullptr ? before->nextItem : first) = node->nextItem;
    if (LastUnder(parent) == node) LastUnder(parent) = before;
    node->nextItem = nullptr;
    node->item = nullptr;
}

HTREEITEM CardDocument::AddGroup(const char* name)
{
    GroupNode* node = new (std::nothrow) GroupNode(name);
    if (node == nullptr) {
        SetLastError((DWORD)E_OUTOFMEMORY);
        return nullptr;
    }
    return InsertNode(TVI_ROOT, node);
}

HTREEITEM CardDocument::AddProperty(HTREEITEM target, PropertyKind kind)
{
    PropertyNode* node = new (std::nothrow) PropertyNode(kind);
    if (node == nullptr) {
        SetLastError((DWORD)E_OUTOFMEMORY);
        return nullptr;
    }
    HRESULT result = node->InitValues();
    if (FAILED(result)) {
        node->Release();
        SetLastError((DWORD)result);
        return nullptr;
    }
    return InsertNode(target, node);
}

HTREEITEM CardDocument::AddOtherProperty(HTREEITEM target, const char* name)
{
    PropertyNode* node = new (std::nothrow) PropertyNode(PropertyKindOther, name);
    if (node == nullptr) {
        SetLastError((DWORD)E_OUTOFMEMORY);
        return nullptr;
    }
    return InsertNode(target, node);
}

HTREEITEM CardDocument::FindGroup(const char* name) const
{
    for (CardNode* node = firstItem; node != nullptr; node = node->NextItem()) {
        if (node->IsGroup() && MbsCompareNoCase(node->GetDisplayName(), name) == 0) return node->Item();
    }
    return nullptr;
}

HTREEITEM CardDocument::GetSelectedItem(HTREEITEM start) const
{
    // The tree knows its selection: a walk over every item would ask the control about
    // each, and it checks each handle against all its items.
    HTREEITEM selected = TreeGetNextItem(tree, nullptr, TVGN_CARET);
    if (start == TVI_ROOT || selected == nullptr) return selected;
    for (HTREEITEM above = TreeGetNextItem(tree, selected, TVGN_PARENT); above != nullptr;
         above = TreeGetNextItem(tree, above, TVGN_PARENT)) {
        if (above == start) return selected;
    }
    return nullptr;
}

CardNode* CardDocument::GetNode(HTREEITEM item) const
{
    return TreeGetItemNode(tree, item);
}

CardNode* CardDocument::GetItemNode(TreeWindow treeWindow, HTREEITEM item)
{
    return TreeGetItemNode(treeWindow, item);
}

HRESULT CardDocument::DeleteItem(HTREEITEM item)
{
    CardNode* node = GetNode(item);
    HTREEITEM parent = node != nullptr ? TreeGetNextItem(tree, item, TVGN_PARENT) : nullptr;
    GroupNode* group = parent != nullptr ? (GroupNode*)GetNode(parent) : nullptr;
    // The tree releases the node with its item: held until it is unlinked.
    if (node != nullptr) node->AddRef();
    BOOL deleted = TreeDeleteItem(tree, item);
    if (node != nullptr) {
        if (deleted) Unlink(group, node);
        node->Release();
    }
    if (!deleted) return E_FAIL;
    structureChanged = 1;
    return S_OK;
}

void CardDocument::DeleteAll()
{
    if (tree != nullptr && TreeDeleteItem(tree, TVI_ROOT)) firstItem = lastItem = nullptr;
    AbandonArena();
}

bool CardDocument::IsModified() const
{
    if (structureChanged != 0) return true;
    // The view asks after every selection, and a walk over a large card's nodes with
    // their parameters is not free: its answer holds until a node's mark changes.
    if (CardObject::ChangeCount() != changesWhenKnown) {
        nodeChangeKnown = IsAnyNodeModified();
        changesWhenKnown = CardObject::ChangeCount();
    }
    return nodeChangeKnown;
}

bool CardDocument::IsAnyNodeModified() const
{
    for (CardNode* node = firstItem; node != nullptr; node = node->NextItem()) {
        if (node->IsModified()) return true;
        if (!node->IsGroup()) continue;
        for (CardNode* child = ((GroupNode*)node)->FirstItem(); child != nullptr; child = child->NextItem()) {
            if (child->IsModified()) return true;
        }
    }
    return false;
}
