// A tree for document tests: the hidden card container (a real tree view under Wine,
// the in-memory tree natively) with the few state changes a user makes by hand.
#pragma once

#include "tools/hidden_tree.h"

class TestTree {
public:
    TreeWindow Window() const { return tree.Window(); }
    // Collapses a group item, as a click on its button does.
    void Collapse(HTREEITEM item);
    // Sets the selected state bit alone, without moving the caret or expanding parents,
    // so that a selected item can sit inside a collapsed group.
    void MarkSelected(HTREEITEM item);
    // Makes the next insertion fail as a tree out of memory does; false where the
    // real control offers no way to do that.
    bool RefuseNextInsertion();

private:
    HiddenTree tree;
};
