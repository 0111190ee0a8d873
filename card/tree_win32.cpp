// The tree messages of the card document, sent to a real SysTreeView32 control.
#ifdef _WIN32

#include "card/tree.h"

#include "card/nodes.h"

HTREEITEM TreeInsertItem(TreeWindow tree, HTREEITEM parent, HTREEITEM insertAfter, CardNode* node, UINT state)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = insertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    // The text itself, not a callback: a node's name never changes (a renamed property is
    // a new node), and the control would otherwise ask for every item's text in a message
    // of its own whenever it measures them all, and keep a buffer of its own for each.
    insert.item.pszText = (LPSTR)node->GetDisplayName();
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.cChildren = I_CHILDRENCALLBACK;
    insert.item.lParam = (LPARAM)node;
    if (state != 0) {
        insert.item.mask |= TVIF_STATE;
        insert.item.state = state;
        insert.item.stateMask = state;
    }
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

BOOL TreeDeleteItem(TreeWindow tree, HTREEITEM item)
{
    return (BOOL)SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)item);
}

HTREEITEM TreeGetNextItem(TreeWindow tree, HTREEITEM item, UINT code)
{
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, code, (LPARAM)item);
}

CardNode* TreeGetItemNode(TreeWindow tree, HTREEITEM item)
{
    if (item == nullptr || item == TVI_ROOT) return nullptr;
    TVITEMA data = {};
    data.mask = TVIF_HANDLE | TVIF_PARAM;
    data.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data)) return nullptr;
    return (CardNode*)data.lParam;
}

UINT TreeGetItemState(TreeWindow tree, HTREEITEM item, UINT stateMask)
{
    return (UINT)SendMessageA(tree, TVM_GETITEMSTATE, (WPARAM)item, stateMask);
}

void TreeEnsureVisible(TreeWindow tree, HTREEITEM item)
{
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
}

BOOL TreeSelectItem(TreeWindow tree, HTREEITEM item)
{
    return (BOOL)SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
}

void TreeRepaint(TreeWindow tree)
{
    InvalidateRect(tree, nullptr, FALSE);
}

void AnswerTreeDisplayInfo(NMTVDISPINFOA* info)
{
    TVITEMA& item = info->item;
    CardNode* node = (CardNode*)item.lParam;
    if (node == nullptr) return;
    if (item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        // The notice carries the item's state: no message back to the control, which checks
        // every handle it is given against all its items.
        UINT expanded = item.state & TVIS_EXPANDED;
        int image = node->GetImageIndex(expanded);
        if (item.mask & TVIF_IMAGE) item.iImage = image;
        if (item.mask & TVIF_SELECTEDIMAGE) item.iSelectedImage = image;
    }
    if (item.mask & TVIF_CHILDREN) item.cChildren = node->IsGroup() && ((GroupNode*)node)->FirstItem() != nullptr ? 1 : 0;
}

void ReleaseDeletedItemNode(const NMTREEVIEWA* notice)
{
    CardNode* node = (CardNode*)notice->itemOld.lParam;
    if (node != nullptr) node->Release();
}

#endif  // _WIN32
