// The main window's side of adding and deleting: the item context menu over the tree and
// over the parameter list, from the mouse or the keyboard, the Delete key, and the Add
// dialogs it opens.
#include "ui/item_commands.h"

#include "card/tree.h"
#include "res/resource.h"
#include "services/messages.h"
#include "ui/add_dialog.h"
#include "ui/add_parameters_dialog.h"
#include "ui/main_dialog.h"
#include "ui/view_messages.h"

#include <new>
#include <windowsx.h>

namespace {

const UINT MENU_FLAGS = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON;

// A context menu asked for from the keyboard (the menu key, Shift+F10) comes with no place.
bool FromKeyboard(LPARAM lParam)
{
    return GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1;
}

}  // namespace

const ItemCommands::MapEntry ItemCommands::messageMap[] = {
    MapEntry::Notify(IDC_PROPERTY_TREE, NM_RCLICK, &ItemCommands::OnTreeRightClick),
    MapEntry::Notify(IDC_PARAMETER_LIST, NM_RCLICK, &ItemCommands::OnParameterRightClick),
    MapEntry::Notify(IDC_PROPERTY_TREE, TVN_KEYDOWN, &ItemCommands::OnTreeKeyDown),
    MapEntry::Notify(IDC_PARAMETER_LIST, LVN_KEYDOWN, &ItemCommands::OnParameterKeyDown),
    MapEntry::Message(WM_CONTEXTMENU, &ItemCommands::OnContextMenu),
    MapEntry::Command(ID_ITEM_MENU, &ItemCommands::OnItemMenuKey),
};
MESSAGE_MAP_HANDLER(ItemCommands)

ItemCommands::ItemCommands(MainDialog& mainWindow) : dialog(mainWindow), itemMenu(nullptr) {}

ItemCommands::~ItemCommands()
{
    ReleaseMenu();
}

void ItemCommands::ReleaseMenu()
{
    if (itemMenu != nullptr) {
        DestroyMenu(itemMenu);
        itemMenu = nullptr;
    }
}

HWND ItemCommands::Item(int id) const
{
    return GetDlgItem(dialog.Window(), id);
}

// The first pop-up of IDR_ITEM_CONTEXT, with Delete enabled or grayed; null (reported) when the
// menu cannot be loaded.
HMENU ItemCommands::ItemMenu(bool deletable)
{
    if (itemMenu == nullptr) itemMenu = LoadMenuA(appModule.instance, MAKEINTRESOURCEA(IDR_ITEM_CONTEXT));
    HMENU popup = itemMenu != nullptr ? GetSubMenu(itemMenu, 0) : nullptr;
    if (popup == nullptr) {
        ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, 0);
        return nullptr;
    }
    EnableMenuItem(popup, ID_ITEM_DELETE, MF_BYCOMMAND | (deletable ? MF_ENABLED : MF_GRAYED));
    return popup;
}

LRESULT ItemCommands::OnTreeRightClick(int, NMHDR*, bool&)
{
    POINT screen = {};
    GetCursorPos(&screen);
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(Item(IDC_PROPERTY_TREE), &hit.pt);
    HTREEITEM item = (HTREEITEM)SendMessageA(Item(IDC_PROPERTY_TREE), TVM_HITTEST, 0, (LPARAM)&hit);
    // Anywhere on the item's row, not only on its text.
    if (!(hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT | TVHT_ONITEMBUTTON))) item = nullptr;
    ShowTreeMenu(item, screen);
    return TRUE;  // no WM_CONTEXTMENU after it
}

LRESULT ItemCommands::OnParameterRightClick(int, NMHDR*, bool&)
{
    POINT screen = {};
    GetCursorPos(&screen);
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(Item(IDC_PARAMETER_LIST), &hit.pt);
    int row = (int)SendMessageA(Item(IDC_PARAMETER_LIST), LVM_HITTEST, 0, (LPARAM)&hit);
    ShowParameterMenu(row, screen);
    return TRUE;
}

void ItemCommands::ShowTreeMenu(HTREEITEM hit, POINT screen)
{
    dialog.CommitOpenEditor();
    // After a file that did not load there is no card; this one is new and untitled,
    // so that its first save asks where it goes, and belongs to no file of several.
    if (dialog.Document() == nullptr && !dialog.Files().StartUntitledCard()) return;
    HMENU menu = ItemMenu(hit != nullptr);
    if (menu == nullptr) return;
    int command = (int)TrackPopupMenu(menu, MENU_FLAGS, screen.x, screen.y, 0, dialog.Window(), nullptr);
    if (command == ID_ITEM_DELETE && hit != nullptr) DeleteTreeItem(hit);
    if (command == ID_ITEM_NEW) AddToTree(hit != nullptr ? hit : TVI_ROOT);
}

void ItemCommands::ShowParameterMenu(int row, POINT screen)
{
    dialog.CommitOpenEditor();
    PropertyNode* property = dialog.View().SelectedProperty();
    if (property == nullptr) return;
    if (property->GetParameterAt(row) == nullptr) row = -1;
    HMENU menu = ItemMenu(row >= 0);
    if (menu == nullptr) return;
    int command = (int)TrackPopupMenu(menu, MENU_FLAGS, screen.x, screen.y, 0, Item(IDC_PARAMETER_LIST), nullptr);
    if (command == ID_ITEM_DELETE && row >= 0) DeleteParameter(row);
    if (command == ID_ITEM_NEW) AddParameters(property);
}

// The menu from the keyboard opens over the selected item or row, and acts on it.
void ItemCommands::ShowMenuAtSelection(HWND control)
{
    RECT place = {};
    GetClientRect(control, &place);
    POINT screen = {place.left, place.top};
    if (control == Item(IDC_PROPERTY_TREE)) {
        CardDocument* document = dialog.Document();
        HTREEITEM selected = document != nullptr ? document->GetSelectedItem(TVI_ROOT) : nullptr;
        if (selected != nullptr && TreeView_GetItemRect(control, selected, &place, TRUE)) {
            screen = POINT{place.left, place.bottom};
        }
        ClientToScreen(control, &screen);
        ShowTreeMenu(selected, screen);
    } else if (control == Item(IDC_PARAMETER_LIST)) {
        int row = SelectedRow(control);
        if (row >= 0) {
            RECT cell = CellRect(control, row, 0);
            screen = POINT{cell.left, cell.bottom};
        }
        ClientToScreen(control, &screen);
        ShowParameterMenu(row, screen);
    }
}

LRESULT ItemCommands::OnContextMenu(UINT, WPARAM wParam, LPARAM lParam, bool& handled)
{
    HWND control = (HWND)wParam;
    bool ours = control == Item(IDC_PROPERTY_TREE) || control == Item(IDC_PARAMETER_LIST);
    if (!ours || !FromKeyboard(lParam)) {
        handled = false;
        return 0;
    }
    ShowMenuAtSelection(control);
    return 0;
}

// The menu key and Shift+F10, as shortcuts: they reach the main window whichever control
// has the focus, and before the platform makes (or does not make) a WM_CONTEXTMENU of them.
LRESULT ItemCommands::OnItemMenuKey(WORD, WORD, HWND, bool&)
{
    HWND focus = GetFocus();
    if (focus == Item(IDC_PROPERTY_TREE) || focus == Item(IDC_PARAMETER_LIST)) {
        ShowMenuAtSelection(focus);
    } else if (focus != nullptr) {
        // Any other control shows its own menu, as the keys ask of it.
        SendMessageA(focus, WM_CONTEXTMENU, (WPARAM)focus, MAKELPARAM(-1, -1));
    }
    return 0;
}

LRESULT ItemCommands::OnTreeKeyDown(int, NMHDR* header, bool&)
{
    WORD key = ((NMTVKEYDOWN*)header)->wVKey;
    CardDocument* document = dialog.Document();
    if (key == VK_DELETE && document != nullptr) {
        HTREEITEM selected = document->GetSelectedItem(TVI_ROOT);
        if (selected != nullptr) DeleteTreeItem(selected);
    }
    return 0;
}

LRESULT ItemCommands::OnParameterKeyDown(int, NMHDR* header, bool&)
{
    WORD key = ((NMLVKEYDOWN*)header)->wVKey;
    if (key == VK_DELETE) {
        dialog.CommitOpenEditor();
        int row = SelectedRow(Item(IDC_PARAMETER_LIST));
        if (row >= 0 && dialog.View().SelectedProperty() != nullptr) DeleteParameter(row);
    }
    return 0;
}

void ItemCommands::DeleteTreeItem(HTREEITEM item)
{
    dialog.CommitOpenEditor();
    CardDocument* document = dialog.Document();
    CardNode* node = document->GetNode(item);
    if (node == nullptr) return;
    if (ReportMessage(0, nullptr, MB_YESNO | MB_ICONQUESTION, IDS_CONFIRM_DELETE, node->GetDisplayName()) != IDYES) {
        return;
    }
    HRESULT result = document->DeleteItem(item);
    if (FAILED(result)) ReportMessage(result, nullptr, MB_ICONERROR, 0);
    dialog.View().RefreshPropertyView(nullptr);
}

void ItemCommands::DeleteParameter(int row)
{
    PropertyNode* property = dialog.View().SelectedProperty();
    if (property == nullptr || property->GetParameterAt(row) == nullptr) return;
    // A further value of a non-standard parameter is named as the list names it.
    const char* name = ParameterDisplayName(property, row);
    if (ReportMessage(0, nullptr, MB_YESNO | MB_ICONQUESTION, IDS_CONFIRM_DELETE, name) != IDYES) return;
    property->RemoveParameterAt(row);
    dialog.View().RefreshPropertyView(property);
}

void ItemCommands::AddToTree(HTREEITEM parent)
{
    AddPropertyDialog* add = new (std::nothrow) AddPropertyDialog(dialog.Document(), parent);
    if (add == nullptr) {
        ReportMessage(E_OUTOFMEMORY, nullptr, MB_ICONERROR, 0);
        return;
    }
    if (add->RunModal(IDD_ADD_PROPERTY, GetActiveWindow()) == IDOK) dialog.View().RefreshPropertyView(nullptr);
    delete add;
}

void ItemCommands::AddParameters(PropertyNode* property)
{
    AddParametersDialog* add = new (std::nothrow) AddParametersDialog();
    if (add == nullptr) {
        ReportMessage(E_OUTOFMEMORY, nullptr, MB_ICONERROR, 0);
        return;
    }
    // The property stays while the dialog runs: nothing else changes the card meanwhile.
    if (add->RunModal(IDD_ADD_PARAMETERS, GetActiveWindow()) == IDOK && add->Result() != nullptr) {
        property->AppendParameter(add->Result());
        dialog.View().RefreshPropertyView(property);
    }
    delete add;
}
