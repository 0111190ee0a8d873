// The native test tree: the card core's in-memory tree.
#ifndef _WIN32

#include "tests/support/test_tree.h"

#include "card/memory_tree.h"

TestTree::TestTree() : window(new MemoryTree()) {}

TestTree::~TestTree()
{
    delete window;
}

void TestTree::Collapse(HTREEITEM item)
{
    // The in-memory tree has no command to collapse: the state bits are its own.
    if (item != nullptr) item->state &= ~(UINT)TVIS_EXPANDED;
}

void TestTree::MarkSelected(HTREEITEM item)
{
    item->state |= TVIS_SELECTED;
}

bool TestTree::RefuseNextInsertion()
{
    window->RefuseNextInsertion();
    return true;
}

#endif
