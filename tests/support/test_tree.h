// A tree for document tests: the hidden card container (a real tree view under Wine,
// the in-memory tree natively) with the few state changes a user makes by hand.
#pragma once

#include "tools/hidden_tree.h"

#ifndef _WIN32
#include "card/memory_tree.h"
#endif

class TestTree {
public:
    TreeWindow Window() const { return tree.Window(); }
#ifdef _WIN32
    // Collapses a group item, as a click on its button does.
    void Collapse(HTREEITEM item) { SendMessageA(Window(), TVM_EXPAND, TVE_COLLAPSE, (LPARAM)item); }
    // Sets the selected state bit alone, without moving the caret or expanding parents,
    // so that a selected item can sit inside a collapsed group.
    void MarkSelected(HTREEITEM item)
    {
        TVITEMA data = {};
        data.mask = TVIF_HANDLE | TVIF_STATE;
        data.hItem = item;
        data.state = data.stateMask = TVIS_SELECTED;
        SendMessageA(Window(), TVM_SETITEMA, 0, (LPARAM)&data);
    }
    // Makes the next insertion fail as a tree out of memory does; false where the real
    // control offers no way to do that.
    bool RefuseNextInsertion() { return false; }
#else
    void Collapse(HTREEITEM item) { item->state &= ~(UINT)TVIS_EXPANDED; }
    void MarkSelected(HTREEITEM item) { item->state |= TVIS_SELECTED; }
    bool RefuseNextInsertion()
    {
        Window()->RefuseNextInsertion();
        return true;
    }
#endif

private:
    HiddenTree tree;
};
