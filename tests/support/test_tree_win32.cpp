// The Windows test tree: a real tree view control in a hidden top-level window.
#ifdef _WIN32

#include "tests/support/test_tree.h"

#include "card/tree.h"

namespace {

const char HOST_CLASS[] = "CardTestTreeHost";
const int TREE_ID = 1035;

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        NMHDR* header = (NMHDR*)lParam;
        if (header->idFrom == TREE_ID && header->code == TVN_DELETEITEMA) {
            ReleaseDeletedItemNode((NMTREEVIEWA*)lParam);
            return 0;
        }
        if (header->idFrom == TREE_ID && header->code == TVN_GETDISPINFOA) {
            AnswerTreeDisplayInfo((NMTVDISPINFOA*)lParam);
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterHostClass()
{
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HOST_CLASS;
    RegisterClassA(&windowClass);
    registered = true;
}

}  // namespace

TestTree::TestTree()
{
    RegisterHostClass();
    host = CreateWindowExA(0, HOST_CLASS, "card test", WS_OVERLAPPEDWINDOW, 0, 0, 300, 400,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    window = CreateWindowExA(0, WC_TREEVIEWA, "",
                             WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                                 TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                             0, 0, 280, 380, host, (HMENU)(INT_PTR)TREE_ID,
                             GetModuleHandleA(nullptr), nullptr);
}

TestTree::~TestTree()
{
    // Destroying the control deletes its items, and each deletion releases a node.
    DestroyWindow(host);
}

void TestTree::Collapse(HTREEITEM item)
{
    SendMessageA(window, TVM_EXPAND, TVE_COLLAPSE, (LPARAM)item);
}

void TestTree::MarkSelected(HTREEITEM item)
{
    TVITEMA data = {};
    data.mask = TVIF_HANDLE | TVIF_STATE;
    data.hItem = item;
    data.state = TVIS_SELECTED;
    data.stateMask = TVIS_SELECTED;
    SendMessageA(window, TVM_SETITEMA, 0, (LPARAM)&data);
}

bool TestTree::RefuseNextInsertion()
{
    return false;
}

#endif
