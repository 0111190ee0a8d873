// A tree for document tests: the in-memory tree natively, and on Windows a real
// SysTreeView32 in a hidden window whose parent releases nodes on TVN_DELETEITEM and
// answers the display callbacks, as the main window does.
#pragma once

#include "card/platform.h"

class TestTree {
public:
    TestTree();
    ~TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    TreeWindow Window() const { return window; }
    // Collapses a group item, as a click on its button does.
    void Collapse(HTREEITEM item);
    // Sets the selected state bit alone, without moving the caret or expanding parents,
    // so that a selected item can sit inside a collapsed group.
    void MarkSelected(HTREEITEM item);
    // Makes the next insertion fail as a tree out of memory does; false where the
    // real control offers no way to do that.
    bool RefuseNextInsertion();

private:
    TreeWindow window;
#ifdef _WIN32
    HWND host;
#endif
};
