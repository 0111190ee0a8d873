// The Add dialog. Every refusal leaves it open with what the user typed; a successful OK
// has put the new item into the tree before the dialog closes.
#include "ui/add_dialog.h"

#include "card/tree.h"
#include "card/vocabulary.h"
#include "res/resource.h"
#include "services/messages.h"

#include <commctrl.h>
#include <stdio.h>

namespace {

const size_t CAPTION_SIZE = 256;
const size_t CAPTION_FORMAT_SIZE = 128;
const size_t NAME_SIZE = 128;
const int NAME_LIMIT = 70;

}  // namespace

const AddPropertyDialog::MapEntry AddPropertyDialog::messageMap[] = {
    MapEntry::Message(WM_INITDIALOG, &AddPropertyDialog::OnInitDialog),
    MapEntry::Command(IDOK, &AddPropertyDialog::OnOk),
    MapEntry::Command(IDCANCEL, &AddPropertyDialog::OnCancel),
    MapEntry::Command(IDC_ADD_GROUP, BN_CLICKED, &AddPropertyDialog::OnGroupChoice),
    MapEntry::Command(IDC_ADD_STANDARD, BN_CLICKED, &AddPropertyDialog::OnStandardChoice),
    MapEntry::Command(IDC_ADD_OTHER, BN_CLICKED, &AddPropertyDialog::OnOtherChoice),
    MapEntry::Notify(IDC_ADD_PROPERTY_LIST, NM_DBLCLK, &AddPropertyDialog::OnListDoubleClick),
};
MESSAGE_MAP_HANDLER(AddPropertyDialog)

AddPropertyDialog::AddPropertyDialog(CardDocument* cardDocument, HTREEITEM parent)
    : document(cardDocument), parentItem(parent), presetKind(NO_PRESET)
{}

LRESULT AddPropertyDialog::OnInitDialog(UINT, WPARAM, LPARAM, bool&)
{
    HWND list = Item(IDC_ADD_PROPERTY_LIST);
    RECT client = {};
    GetClientRect(list, &client);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_SUBITEM;
    // The 35 names always overflow the list: its scroll bar takes a part of the width.
    column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    DWORD styles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);

    CheckDlgButton(hwnd, IDC_ADD_STANDARD, BST_CHECKED);
    EnableChoice(IDC_ADD_STANDARD);
    if (parentItem != TVI_ROOT) {
        // Groups live only at the root.
        EnableWindow(Item(IDC_ADD_GROUP), FALSE);
        SetCaptionForItem();
    } else if (TreeGetNextItem(document->GetTree(), TVI_ROOT, TVGN_CHILD) != nullptr) {
        SendMessageA(Item(IDC_ADD_GROUP_NAME), EM_LIMITTEXT, NAME_LIMIT, 0);
    } else {
        // A card starts with its VERSION: nothing else can be valid before it.
        EnableWindow(Item(IDC_ADD_STANDARD), FALSE);
        EnableWindow(Item(IDC_ADD_GROUP), FALSE);
        EnableWindow(Item(IDC_ADD_OTHER), FALSE);
        presetKind = PropertyKindVersion;
    }
    SendMessageA(Item(IDC_ADD_OTHER_NAME), EM_LIMITTEXT, NAME_LIMIT, 0);
    FillPropertyList();
    if (presetKind != NO_PRESET) {
        SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)presetKind, FALSE);
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    return TRUE;
}

void FormatItemCaption(char* caption, size_t size, const char* current, const char* name)
{
    if (size == 0) return;
    char format[CAPTION_FORMAT_SIZE] = "";
    LoadTextString(IDS_ADD_CAPTION, format, (int)sizeof format);
    // A cut text is not terminated by the run-time's formatting.
    _snprintf(caption, size, format, current, name);
    caption[size - 1] = '\0';
}

// "Add a new property as part of 'work' group".
void AddPropertyDialog::SetCaptionForItem()
{
    char current[CAPTION_SIZE] = "";
    GetWindowTextA(hwnd, current, (int)sizeof current);
    CardNode* node = document->GetNode(parentItem);
    char caption[CAPTION_SIZE];
    FormatItemCaption(caption, sizeof caption, current, node != nullptr ? node->GetDisplayName() : "");
    SetWindowTextA(hwnd, caption);
}

void AddPropertyDialog::FillPropertyList()
{
    HWND list = Item(IDC_ADD_PROPERTY_LIST);
    for (PropertyKind kind = 0; kind < STANDARD_PROPERTY_COUNT; ++kind) {
        LVITEMA row = {};
        row.mask = LVIF_TEXT | LVIF_STATE;
        row.iItem = kind;
        row.pszText = (LPSTR)GetPropertyName(kind);
        if (kind == presetKind) row.state = row.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&row);
    }
}

// The edit or list that belongs to the chosen radio button is the only one enabled.
void AddPropertyDialog::EnableChoice(int radio)
{
    EnableWindow(Item(IDC_ADD_GROUP_NAME), radio == IDC_ADD_GROUP);
    EnableWindow(Item(IDC_ADD_PROPERTY_LIST), radio == IDC_ADD_STANDARD);
    EnableWindow(Item(IDC_ADD_OTHER_NAME), radio == IDC_ADD_OTHER);
}

LRESULT AddPropertyDialog::OnGroupChoice(WORD, WORD, HWND, bool&)
{
    EnableChoice(IDC_ADD_GROUP);
    return 0;
}

LRESULT AddPropertyDialog::OnStandardChoice(WORD, WORD, HWND, bool&)
{
    EnableChoice(IDC_ADD_STANDARD);
    return 0;
}

LRESULT AddPropertyDialog::OnOtherChoice(WORD, WORD, HWND, bool&)
{
    EnableChoice(IDC_ADD_OTHER);
    return 0;
}

LRESULT AddPropertyDialog::OnListDoubleClick(int, NMHDR*, bool&)
{
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return 0;
}

LRESULT AddPropertyDialog::OnCancel(WORD, WORD, HWND, bool&)
{
    EndDialog(hwnd, IDCANCEL);
    return 0;
}

LRESULT AddPropertyDialog::OnOk(WORD, WORD, HWND, bool&)
{
    bool added;
    if (IsDlgButtonChecked(hwnd, IDC_ADD_GROUP) == BST_CHECKED)
        added = AddGroup();
    else if (IsDlgButtonChecked(hwnd, IDC_ADD_STANDARD) == BST_CHECKED)
        added = AddStandardProperty();
    else if (IsDlgButtonChecked(hwnd, IDC_ADD_OTHER) == BST_CHECKED)
        added = AddOtherProperty();
    else
        added = true;  // nothing chosen: nothing to add
    if (added) EndDialog(hwnd, IDOK);
    return 0;
}

bool AddPropertyDialog::AddGroup()
{
    char name[NAME_SIZE] = "";
    GetDlgItemTextA(hwnd, IDC_ADD_GROUP_NAME, name, (int)sizeof name);
    if (!IsValidName(name)) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_INVALID_GROUP_NAME, name);
        return false;
    }
    HRESULT error;
    if (document->FindGroup(name) != nullptr) {
        error = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    } else {
        if (document->AddGroup(name) != nullptr) return true;
        error = FailureFromLastError();
    }
    ReportMessage(error, nullptr, MB_ICONERROR, IDS_GROUP_NOT_ADDED, name);
    SetFocus(Item(IDC_ADD_GROUP_NAME));
    return false;
}

bool AddPropertyDialog::AddStandardProperty()
{
    HWND list = Item(IDC_ADD_PROPERTY_LIST);
    int chosen = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (chosen < 0) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_SELECT_PROPERTY);
        return false;
    }
    if (presetKind != NO_PRESET && chosen != presetKind) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_ONLY_PRESET, GetPropertyName(presetKind));
        LVITEMA state = {};
        state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)presetKind, (LPARAM)&state);
        SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)presetKind, FALSE);
        return false;
    }
    if (document->AddProperty(parentItem, chosen) != nullptr) return true;
    ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_PROPERTY_NOT_ADDED, GetPropertyName(chosen));
    SetFocus(list);
    return false;
}

bool AddPropertyDialog::AddOtherProperty()
{
    char name[NAME_SIZE] = "";
    GetDlgItemTextA(hwnd, IDC_ADD_OTHER_NAME, name, (int)sizeof name);
    if (!IsValidName(name)) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_INVALID_PROPERTY_NAME, name);
        return false;
    }
    // Kept as typed, even a standard name: the user asked for a property of their own.
    if (document->AddOtherProperty(parentItem, name) != nullptr) return true;
    ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_PROPERTY_NOT_ADDED, name);
    SetFocus(Item(IDC_ADD_OTHER_NAME));
    return false;
}
