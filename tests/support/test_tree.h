// A tree for document tests: the hidden card container (a real tree view under Wine,
// the in-memory tree natively) with the two state changes a user makes by hand.
#pragma once

#include "tools/hidden_tree.h"

#ifndef _WIN32
#include "card/memory_tree.h"
#endif

class TestTree : public HiddenTree {
public:
#ifdef _WIN32
    // Collapses a group item, as a click on its button does.
    void Collapse(HTREEITEM item) { TreeView_Expand(Window(), item, TVE_COLLAPSE); }
    // Sets the selected state bit alone, without moving the caret or expanding parents,
    // so that a selected item can sit inside a collapsed group.
    void MarkSelected(HTREEITEM item) { TreeView_SetItemState(Window(), item, TVIS_SELECTED, TVIS_SELECTED); }
#else
    void Collapse(HTREEITEM item) { item->state &= ~(UINT)TVIS_EXPANDED; }
    void MarkSelected(HTREEITEM item) { item->state |= TVIS_SELECTED; }
#endif
};
