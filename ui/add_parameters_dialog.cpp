// The Add new parameter(s) dialog. Each row's count lives in the row's item data; the
// "Number" column shows it through a text callback.
#include "ui/add_parameters_dialog.h"

#include "card/vocabulary.h"
#include "res/resource.h"
#include "services/messages.h"

#include <commctrl.h>
#include <new>
#include <stdio.h>
#include <stdlib.h>

namespace {

const int COUNT_COLUMN = 1;
const int COUNT_COLUMN_WIDTH = 60;
const size_t NAME_SIZE = 75;
const int NAME_LIMIT = 70;
const size_t COUNT_TEXT_SIZE = 512;

}  // namespace

bool ParseCount(const char* text, unsigned* count)
{
    while (*text == ' ' || *text == '\t') ++text;
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (unsigned)(*text - '0');
        // Past the limit already: more digits cannot bring it back (nor overflow).
        if (value > MAX_INSTANCES) return false;
    }
    *count = value;
    return true;
}

const AddParametersDialog::MapEntry AddParametersDialog::messageMap[] = {
    MapEntry::Message(WM_INITDIALOG, &AddParametersDialog::OnInitDialog),
    MapEntry::Command(IDOK, BN_CLICKED, &AddParametersDialog::OnOk),
    MapEntry::Command(IDC_OTHER_PARAMETER, BN_CLICKED, &AddParametersDialog::OnOtherType),
    MapEntry::Command(IDCANCEL, &AddParametersDialog::OnCancel),
    MapEntry::Notify(IDC_PARAMETER_KINDS, LVN_BEGINLABELEDITA, &AddParametersDialog::OnBeginCountEdit),
    MapEntry::Notify(IDC_PARAMETER_KINDS, LVN_ENDLABELEDITA, &AddParametersDialog::OnEndCountEdit),
    MapEntry::Notify(IDC_PARAMETER_KINDS, LVN_GETDISPINFOA, &AddParametersDialog::OnCountText),
    MapEntry::Notify(IDC_PARAMETER_KINDS, LVN_ITEMCHANGED, &AddParametersDialog::OnSelectionChange),
    MapEntry::Notify(IDC_PARAMETER_KINDS, NM_DBLCLK, &AddParametersDialog::OnDoubleClick),
    MapEntry::Message(UM_SETCOUNT, &AddParametersDialog::OnSetCount),
};
MESSAGE_MAP_HANDLER(AddParametersDialog)

AddParametersDialog::AddParametersDialog()
    : result(nullptr), editColumn(-1), countEditor(EditorSubclass::Reports::Nothing)
{}

AddParametersDialog::~AddParametersDialog()
{
    ParameterNode::ReleaseChain(result);
}

HWND AddParametersDialog::List() const
{
    return GetDlgItem(hwnd, IDC_PARAMETER_KINDS);
}

LRESULT AddParametersDialog::OnInitDialog(UINT, WPARAM, LPARAM, bool&)
{
    HWND list = List();
    RECT client = {};
    GetClientRect(list, &client);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (LPSTR) "Parameter type";
    column.cx = client.right - client.left - COUNT_COLUMN_WIDTH;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    column.pszText = (LPSTR) "Number";
    column.cx = COUNT_COLUMN_WIDTH;
    column.iSubItem = COUNT_COLUMN;
    SendMessageA(list, LVM_INSERTCOLUMNA, COUNT_COLUMN, (LPARAM)&column);
    DWORD styles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);

    for (ParameterKind kind = 0; kind < PARAMETER_NAME_COUNT; ++kind) {
        LVITEMA row = {};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = kind;
        row.pszText = (LPSTR)GetParameterName(kind);
        row.lParam = 0;
        int inserted = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&row);
        if (inserted < 0) break;
        LVITEMA count = {};
        count.iSubItem = COUNT_COLUMN;
        count.pszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)inserted, (LPARAM)&count);
    }
    SendMessageA(GetDlgItem(hwnd, IDC_OTHER_PARAMETER_NAME), EM_LIMITTEXT, NAME_LIMIT, 0);
    return TRUE;
}

unsigned AddParametersDialog::GetCount(int row) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(List(), LVM_GETITEMA, 0, (LPARAM)&item)) return 0;
    return (unsigned)item.lParam;
}

void AddParametersDialog::SetCount(int row, unsigned count)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = (LPARAM)count;
    SendMessageA(List(), LVM_SETITEMA, 0, (LPARAM)&item);
    InvalidateRect(List(), nullptr, FALSE);
}

LRESULT AddParametersDialog::OnCountText(int, NMHDR* header, bool&)
{
    LVITEMA& item = ((NMLVDISPINFOA*)header)->item;
    if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
        _snprintf(item.pszText, (size_t)item.cchTextMax, "%u", GetCount(item.iItem));
        item.pszText[item.cchTextMax - 1] = '\0';
    }
    return 0;
}

// A row chosen with the mouse or the keys is one parameter of that kind; leaving it
// again takes that one back. A count typed above 1 stays.
LRESULT AddParametersDialog::OnSelectionChange(int, NMHDR* header, bool&)
{
    NMLISTVIEW* change = (NMLISTVIEW*)header;
    if (!(change->uChanged & LVIF_STATE) || change->iItem < 0) return 0;
    bool was = (change->uOldState & LVIS_SELECTED) != 0;
    bool is = (change->uNewState & LVIS_SELECTED) != 0;
    unsigned count = GetCount(change->iItem);
    if (is && !was && count == 0) SetCount(change->iItem, 1);
    if (was && !is && count == 1) SetCount(change->iItem, 0);
    return 0;
}

LRESULT AddParametersDialog::OnDoubleClick(int, NMHDR*, bool&)
{
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return 0;
}

// The list has made its label editor over the type name; a count is edited over the
// "Number" cell instead, and a type name never.
LRESULT AddParametersDialog::OnBeginCountEdit(int, NMHDR* header, bool&)
{
    HWND list = List();
    int row = ((NMLVDISPINFOA*)header)->item.iItem;
    editColumn = -1;
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    SendMessageA(list, LVM_SUBITEMHITTEST, 0, (LPARAM)&hit);
    bool onRow = hit.iItem == row && (hit.flags & LVHT_ONITEM);
    if (onRow && hit.iSubItem < COUNT_COLUMN) return TRUE;
    // Over the "Number" cell, or begun from the keyboard (F2) with the mouse elsewhere.
    editColumn = COUNT_COLUMN;

    RECT cell = CellRect(list, row, COUNT_COLUMN);
    HWND edit = (HWND)SendMessageA(list, LVM_GETEDITCONTROL, 0, 0);
    if (edit == nullptr || !countEditor.Subclass(edit)) {
        editColumn = -1;
        return TRUE;
    }
    countEditor.SetPin(POINT{cell.left, cell.top - 1}, cell.bottom - cell.top + 1);

    char* text = (char*)malloc(COUNT_TEXT_SIZE);
    if (text == nullptr) {
        countEditor.Unsubclass();
        editColumn = -1;
        return TRUE;
    }
    _snprintf(text, COUNT_TEXT_SIZE, "%u", GetCount(row));
    text[COUNT_TEXT_SIZE - 1] = '\0';
    SetWindowTextA(edit, text);
    free(text);
    // Placed now, not at the list's next move of its editor.
    SetWindowPos(edit, nullptr, 0, 0, cell.right - cell.left, cell.bottom - cell.top + 1,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return FALSE;
}

LRESULT AddParametersDialog::OnEndCountEdit(int, NMHDR* header, bool&)
{
    countEditor.Unsubclass();
    countEditor.ClearPin();
    const LVITEMA& item = ((NMLVDISPINFOA*)header)->item;
    unsigned count = 0;
    if (item.pszText != nullptr && editColumn >= COUNT_COLUMN && ParseCount(item.pszText, &count)) {
        PostMessageA(hwnd, UM_SETCOUNT, (WPARAM)item.iItem, (LPARAM)count);
    }
    editColumn = -1;
    return FALSE;  // the typed text never becomes the row's label
}

LRESULT AddParametersDialog::OnSetCount(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    SetCount((int)wParam, (unsigned)lParam);
    return 0;
}

LRESULT AddParametersDialog::OnOtherType(WORD, WORD, HWND, bool&)
{
    bool other = IsDlgButtonChecked(hwnd, IDC_OTHER_PARAMETER) == BST_CHECKED;
    EnableWindow(List(), !other);
    EnableWindow(GetDlgItem(hwnd, IDC_OTHER_PARAMETER_NAME), other);
    return 0;
}

LRESULT AddParametersDialog::OnCancel(WORD, WORD, HWND, bool&)
{
    EndDialog(hwnd, IDCANCEL);
    return 0;
}

// The chain of the counted kinds in the list's order; S_FALSE when every count is 0.
HRESULT AddParametersDialog::BuildCountedChain(ParameterNode** chain) const
{
    for (ParameterKind kind = 0; kind < PARAMETER_NAME_COUNT; ++kind) {
        for (unsigned n = GetCount(kind); n > 0; --n) {
            ParameterNode* node = new (std::nothrow) ParameterNode(kind, nullptr);
            if (node == nullptr) return E_OUTOFMEMORY;
            if (*chain == nullptr) {
                *chain = node;
            } else {
                (*chain)->Append(node);
                node->Release();
            }
        }
    }
    return *chain != nullptr ? S_OK : S_FALSE;
}

// One parameter named as typed; false (the user told why) when the name is refused.
bool AddParametersDialog::BuildOtherParameter(ParameterNode** chain) const
{
    char name[NAME_SIZE] = "";
    GetDlgItemTextA(hwnd, IDC_OTHER_PARAMETER_NAME, name, (int)sizeof name);
    if (name[0] == '\0') return true;
    // A name with ';', '=', ':', ',', '"', a blank or a control character would be
    // written into a line that reads back otherwise, or not at all.
    if (!IsValidName(name)) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_INVALID_PARAMETER_NAME, name);
        return false;
    }
    *chain = new (std::nothrow) ParameterNode(name);
    if (*chain == nullptr || (*chain)->GetCustomName() == nullptr) {
        ParameterNode::ReleaseChain(*chain);
        *chain = nullptr;
        ReportMessage(E_OUTOFMEMORY, nullptr, MB_ICONERROR, 0);
        return false;
    }
    return true;
}

// Each OK starts from nothing: what a refused OK made is gone before the next.
LRESULT AddParametersDialog::OnOk(WORD, WORD, HWND, bool&)
{
    ParameterNode* chain = nullptr;
    if (IsDlgButtonChecked(hwnd, IDC_OTHER_PARAMETER) == BST_CHECKED) {
        if (!BuildOtherParameter(&chain)) return 0;
    } else if (FAILED(BuildCountedChain(&chain))) {
        ParameterNode::ReleaseChain(chain);
        ReportMessage(E_OUTOFMEMORY, nullptr, MB_ICONERROR, 0);
        return 0;
    }
    if (chain == nullptr) {
        ReportMessage(0, nullptr, MB_ICONERROR, IDS_NO_PARAMETER_CHOSEN);
        return 0;
    }
    ParameterNode::ReleaseChain(result);
    result = chain;
    EndDialog(hwnd, IDOK);
    return 0;
}
