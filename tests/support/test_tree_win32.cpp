// The Windows test tree: state changes sent to the real tree view control.
#ifdef _WIN32

#include "tests/support/test_tree.h"

void TestTree::Collapse(HTREEITEM item)
{
    SendMessageA(Window(), TVM_EXPAND, TVE_COLLAPSE, (LPARAM)item);
}

void TestTree::MarkSelected(HTREEITEM item)
{
    TVITEMA data = {};
    data.mask = TVIF_HANDLE | TVIF_STATE;
    data.hItem = item;
    data.state = TVIS_SELECTED;
    data.stateMask = TVIS_SELECTED;
    SendMessageA(Window(), TVM_SETITEMA, 0, (LPARAM)&data);
}

bool TestTree::RefuseNextInsertion()
{
    return false;
}

#endif
