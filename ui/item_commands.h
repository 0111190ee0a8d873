// The main window's adding and deleting: the item context menu over the tree and over
// the parameter list, from the mouse or the keyboard, the Delete key, and the Add
// dialogs it opens.
#pragma once

#include "card/nodes.h"
#include "framework/message_map.h"

#include <commctrl.h>

class MainDialog;

class ItemCommands : public MessageMapPart {
    DECLARE_MESSAGE_MAP(ItemCommands)

public:
    explicit ItemCommands(MainDialog& dialog);
    ItemCommands(const ItemCommands&) = delete;
    ItemCommands& operator=(const ItemCommands&) = delete;
    ~ItemCommands() override;

    // The window is going: the menu goes with it.
    void ReleaseMenu();

private:
    LRESULT OnTreeRightClick(int id, NMHDR* header, bool& handled);
    LRESULT OnParameterRightClick(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeKeyDown(int id, NMHDR* header, bool& handled);
    LRESULT OnParameterKeyDown(int id, NMHDR* header, bool& handled);
    LRESULT OnContextMenu(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnItemMenuKey(WORD code, WORD id, HWND control, bool& handled);
    void ShowTreeMenu(HTREEITEM hit, POINT screen);
    void ShowParameterMenu(int row, POINT screen);
    void ShowMenuAtSelection(HWND control);
    HMENU ItemMenu(bool deletable);
    void DeleteTreeItem(HTREEITEM item);
    void DeleteParameter(int row);
    void AddToTree(HTREEITEM parent);
    void AddParameters(PropertyNode* property);
    HWND Item(int id) const;

    MainDialog& dialog;
    // IDR_ITEM_CONTEXT, loaded at its first use and kept while the window lives.
    HMENU itemMenu;
};
