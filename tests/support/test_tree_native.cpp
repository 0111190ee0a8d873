// The native test tree: the card core's in-memory tree, whose state bits are its own.
#ifndef _WIN32

#include "tests/support/test_tree.h"

#include "card/memory_tree.h"

void TestTree::Collapse(HTREEITEM item)
{
    if (item != nullptr) item->state &= ~(UINT)TVIS_EXPANDED;
}

void TestTree::MarkSelected(HTREEITEM item)
{
    item->state |= TVIS_SELECTED;
}

bool TestTree::RefuseNextInsertion()
{
    Window()->RefuseNextInsertion();
    return true;
}

#endif
