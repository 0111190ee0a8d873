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

HTREEITEM CardDocument::InsertNode(HTREEITEM target, CardNode* node)
{
    HTREEITEM parent;
    HTREEITEM insertAfter;
    if (node->IsGroup() || target == TVI_ROOT || target == TVI_FIRST) {
        parent = TVI_ROOT;
        insertAfter = target == TVI_ROOT ? TVI_LAST : target;
    } else {
        CardNode* targetNode = GetNode(target);
        if (targetNode != nullptr && targetNode->IsGroup()) {
            parent = target;
            insertAfter = TVI_LAST;
        } else {
            HTREEITEM targetParent = TreeGetNextItem(tree, target, TVGN_PARENT);
            parent = targetParent != nullptr ? targetParent : TVI_ROOT;
            insertAfter = target;
        }
    }

    HTREEITEM item = TreeInsertItem(tree, parent, insertAfter, node);
    if (item == nullptr) {
        node->Release();
        return nullptr;
    }
    TreeEnsureVisible(tree, item);
    TreeRepaint(tree);
    structureChanged = 1;
    return item;
}

HTREEITEM CardDocument::PlaceReadNode(HTREEITEM parent, HTREEITEM insertAfter, CardNode* node)
{
    HTREEITEM item = TreeInsertItem(tree, parent, insertAfter, node, node->IsGroup() ? TVIS_EXPANDED : 0);
    if (item == nullptr) node->Release();
    return item;
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
    for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;
         item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
        CardNode* node = GetNode(item);
        if (node != nullptr && node->IsGroup() && MbsCompareNoCase(node->GetDisplayName(), name) == 0) {
            return item;
        }
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
    if (!TreeDeleteItem(tree, item)) return E_FAIL;
    structureChanged = 1;
    return S_OK;
}

void CardDocument::DeleteAll()
{
    if (tree != nullptr) TreeDeleteItem(tree, TVI_ROOT);
    AbandonArena();
}

bool CardDocument::IsModified() const
{
    if (structureChanged != 0) return true;
    // The walk asks the tree for every item, and Wine's control searches all its items
    // for each: half a minute on a card of 200,000 items, and the view asks after every
    // selection. Its answer holds until a node's mark changes.
    if (CardObject::ChangeCount() != changesWhenKnown) {
        nodeChangeKnown = IsAnyNodeModified(TVI_ROOT);
        changesWhenKnown = CardObject::ChangeCount();
    }
    return nodeChangeKnown;
}

bool CardDocument::IsAnyNodeModified(HTREEITEM parent) const
{
    for (HTREEITEM item = TreeGetNextItem(tree, parent, TVGN_CHILD); item != nullptr;
         item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
        CardNode* node = GetNode(item);
        if (node != nullptr && node->IsModified()) return true;
        if (IsAnyNodeModified(item)) return true;
    }
    return false;
}
