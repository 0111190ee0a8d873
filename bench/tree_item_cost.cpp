// What the system's tree view control costs for each item it holds, apart from any card:
// inserts ITEMS items as the editor inserts a card's (a short text, images and children
// asked for by callback, drawing off; a group of five under every sixth) into a control
// in a hidden window, and prints the growth of the process's working set per item. The editor's memory for a large card is this cost times its groups and
// properties, plus the card's own nodes and the program at rest.
//
//   tree_item_cost ITEMS
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

SIZE_T WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

HTREEITEM InsertItem(HWND tree, HTREEITEM parent)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    insert.item.pszText = (LPSTR) "TEL";
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.cChildren = I_CHILDRENCALLBACK;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

} // namespace

int main(int argc, char** argv)
{
    long items = argc > 1 ? atol(argv[1]) : 0;
    if (items <= 0) {
        fprintf(stderr, "usage: tree_item_cost ITEMS\n");
        return 2;
    }
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW | TVS_HASBUTTONS | TVS_LINESATROOT, 0, 0,
                                300, 300, nullptr, nullptr, nullptr, nullptr);
    if (tree == nullptr) {
        fprintf(stderr, "tree_item_cost: no tree view control\n");
        return 1;
    }
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);

    SIZE_T before = WorkingSet();
    HTREEITEM group = TVI_ROOT;
    for (long i = 0; i < items; ++i) {
        bool isGroup = i % 6 == 0;
        HTREEITEM item = InsertItem(tree, isGroup ? TVI_ROOT : group);
        if (item == nullptr) {
            fprintf(stderr, "tree_item_cost: the control refused item %ld\n", i);
            return 1;
        }
        if (isGroup) group = item;
    }
    SIZE_T after = WorkingSet();
    printf("%ld items: %.0f bytes an item (%.1f MB in all)\n", items, (double)(after - before) / (double)items,
           (double)(after - before) / (1024.0 * 1024.0));
    DestroyWindow(tree);
    return 0;
}
