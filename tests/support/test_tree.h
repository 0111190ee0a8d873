// A tree for document tests: the hidden card container (a real tree view under Wine,
// the in-memory tree natively) with the state change a user makes by hand.
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
#else
    void Collapse(HTREEITEM item) { item->expanded = 0; }
#endif
};
