// The hidden card container: a real tree view on Windows, the in-memory tree natively.
#include "tools/hidden_tree.h"

#include "card/tree.h"

#ifdef _WIN32

namespace {

const char HOST_CLASS[] = "OskanHiddenCardTree";
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

bool RegisterHostClass()
{
    static bool registered = false;
    if (registered) return true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HOST_CLASS;
    registered = RegisterClassA(&windowClass) != 0;
    return registered;
}

}  // namespace

HiddenTree::HiddenTree() : window(nullptr), host(nullptr)
{
    if (!RegisterHostClass()) return;
    host = CreateWindowExA(0, HOST_CLASS, "card", WS_OVERLAPPEDWINDOW, 0, 0, 300, 400, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    if (host == nullptr) return;
    window = CreateWindowExA(0, WC_TREEVIEWA, "",
                             WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                 TVS_SHOWSELALWAYS,
                             0, 0, 280, 380, host, (HMENU)(INT_PTR)TREE_ID, GetModuleHandleA(nullptr),
                             nullptr);
    // Nothing is drawn: the control would otherwise lay out its items after each insertion.
    if (window != nullptr) SendMessageA(window, WM_SETREDRAW, FALSE, 0);
}

HiddenTree::~HiddenTree()
{
    // Destroying the control deletes its items, and each deletion releases a node.
    if (host != nullptr) DestroyWindow(host);
}

#else

#include "card/memory_tree.h"

#include <new>

HiddenTree::HiddenTree() : window(new (std::nothrow) MemoryTree()) {}

HiddenTree::~HiddenTree()
{
    delete window;
}

#endif
