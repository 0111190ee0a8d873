// The in-place editors and their subclasses: the requests a list posts to the main
// window, the keys an editor claims from the dialog manager, and the editor controls.
#include "ui/cell_editor.h"

#include "framework/app_module.h"
#include "res/resource.h"
#include "ui/view_messages.h"

#include <stdlib.h>
#include <string.h>
#include <windowsx.h>

namespace {

const int VALUE_COLUMN = 1;
const size_t CLASS_NAME_SIZE = 128;
const int MAX_DROPPED_ROWS = 10;

char* CopyText(const char* text)
{
    size_t length = strlen(text);
    char* copy = (char*)malloc(length + 1);
    if (copy != nullptr) memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

// ---------------------------------------------------------------- the target

CellTarget HoldCellTarget(int listId, PropertyNode* property, int row)
{
    CellTarget target = {0, nullptr, nullptr, -1};
    if (property == nullptr || row < 0) return target;
    if (listId == IDC_COMPONENT_LIST) {
        if (row >= property->GetValueCount()) return target;
        target.component = row;
    } else if (listId == IDC_PARAMETER_LIST) {
        target.parameter = property->GetParameterAt(row);
        if (target.parameter == nullptr) return target;
        target.parameter->AddRef();
    } else {
        return target;
    }
    target.listId = listId;
    target.property = property;
    property->AddRef();
    return target;
}

void ReleaseCellTarget(CellTarget& target)
{
    if (target.parameter != nullptr) target.parameter->Release();
    if (target.property != nullptr) target.property->Release();
    target = CellTarget{0, nullptr, nullptr, -1};
}

CellCommit* NewCellCommit(CellTarget& target, const char* text)
{
    CellCommit* commit = (CellCommit*)malloc(sizeof(CellCommit));
    if (commit == nullptr) return nullptr;
    commit->text = CopyText(text);
    if (commit->text == nullptr) {
        free(commit);
        return nullptr;
    }
    commit->target = target;
    target = CellTarget{0, nullptr, nullptr, -1};
    commit->next = nullptr;
    return commit;
}

void DeleteCellCommit(CellCommit* commit)
{
    if (commit == nullptr) return;
    ReleaseCellTarget(commit->target);
    free(commit->text);
    free(commit);
}

// ---------------------------------------------------------------- the editor controls

BOOL(WINAPI* ReadComboParts)(HWND combo, COMBOBOXINFO* parts) = GetComboBoxInfo;

RECT CellRect(HWND list, int row, int column)
{
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, (WPARAM)row, (LPARAM)&cell);
    return cell;
}

int SelectedRow(HWND list)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

HWND CreateCellEdit(HWND list, const RECT& cell, const char* text)
{
    // ES_AUTOHSCROLL: a street or an address longer than the cell can still be typed.
    HWND edit = CreateWindowExA(0, "EDIT", text, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left,
                                cell.top - 1, cell.right - cell.left, cell.bottom - cell.top + 2, list,
                                (HMENU)(INT_PTR)IDC_INPLACE_EDIT, appModule.instance, nullptr);
    if (edit != nullptr) SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), TRUE);
    return edit;
}

HWND CreateCellCombo(HWND list, const RECT& cell, int entries, const char* text)
{
    int rowHeight = cell.bottom - cell.top;
    int droppedRows = entries + 1 < MAX_DROPPED_ROWS ? entries + 1 : MAX_DROPPED_ROWS;
    // The height is the field and its drop-down list together.
    HWND combo = CreateWindowExA(WS_EX_CLIENTEDGE, "COMBOBOX", text,
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                 cell.left, cell.top, cell.right - cell.left, rowHeight * (droppedRows + 1) + 2, list,
                                 (HMENU)(INT_PTR)IDC_INPLACE_COMBO, appModule.instance, nullptr);
    if (combo != nullptr) SendMessageA(combo, WM_SETFONT, (WPARAM)SendMessageA(list, WM_GETFONT, 0, 0), FALSE);
    return combo;
}

// ---------------------------------------------------------------- ListSubclass

const ListSubclass::MapEntry ListSubclass::messageMap[] = {
    MapEntry::Message(WM_LBUTTONDOWN, &ListSubclass::OnLButtonDown),
    MapEntry::Message(WM_KEYDOWN, &ListSubclass::OnKeyDown),
    MapEntry::Message(WM_KILLFOCUS, &ListSubclass::OnKillFocus),
    MapEntry::Message(UM_EDITKEY, &ListSubclass::OnEditKey),
    MapEntry::Command(IDC_INPLACE_EDIT, EN_KILLFOCUS, &ListSubclass::OnEditorKillFocus),
    MapEntry::Command(IDC_INPLACE_COMBO, CBN_KILLFOCUS, &ListSubclass::OnEditorKillFocus),
};
MESSAGE_MAP_HANDLER(ListSubclass)

ListSubclass::ListSubclass() : editPending(false), ignoringFocusLoss(false) {}

void ListSubclass::RequestEdit(int row)
{
    PostMessageA(GetParent(hwnd), UM_BEGINEDIT, (WPARAM)row, (LPARAM)hwnd);
    editPending = true;
}

void ListSubclass::RequestEnd(HWND focus)
{
    PostMessageA(GetParent(hwnd), UM_ENDEDIT, (WPARAM)focus, (LPARAM)hwnd);
    editPending = false;
}

void ListSubclass::RequestCancel()
{
    PostMessageA(GetParent(hwnd), UM_CANCELEDIT, 0, (LPARAM)hwnd);
    editPending = false;
}

// The list's own handling follows, so a first click selects a row and only a second
// click on the selected row's Value cell edits it.
LRESULT ListSubclass::OnLButtonDown(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    handled = false;
    LVHITTESTINFO hit = {};
    hit.pt.x = GET_X_LPARAM(lParam);
    hit.pt.y = GET_Y_LPARAM(lParam);
    SendMessageA(hwnd, LVM_SUBITEMHITTEST, 0, (LPARAM)&hit);
    bool onSelectedValue = (hit.flags & LVHT_ONITEMLABEL) && hit.iItem >= 0 && hit.iItem == SelectedRow(hwnd) &&
                           hit.iSubItem == VALUE_COLUMN;
    if (onSelectedValue) {
        RequestEdit(hit.iItem);
    } else if (editPending) {
        RequestEnd(nullptr);
    }
    return 0;
}

// F2 edits the selected row, as in the system's own lists.
LRESULT ListSubclass::OnKeyDown(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    handled = false;
    if (wParam != VK_F2) return 0;
    int row = SelectedRow(hwnd);
    if (row >= 0) RequestEdit(row);
    return 0;
}

LRESULT ListSubclass::OnKillFocus(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    handled = false;
    HWND gaining = (HWND)wParam;
    // The focus going into the editor just made over one of our cells.
    if (gaining != nullptr && GetParent(gaining) == hwnd) return 0;
    RequestEnd(gaining);
    return 0;
}

LRESULT ListSubclass::OnEditKey(UINT, WPARAM wParam, LPARAM, bool&)
{
    WPARAM key = wParam & ~EDITKEY_SHIFT;
    if (key == VK_ESCAPE) {
        RequestCancel();
    } else if (key == VK_TAB) {
        LeaveByTab((wParam & EDITKEY_SHIFT) != 0);
    } else {
        RequestEnd(nullptr);
    }
    return 0;
}

// Tab goes on from the list as if the focus had been on the list; the editor's loss of
// focus stores its text.
void ListSubclass::LeaveByTab(bool backwards)
{
    HWND dialog = GetParent(hwnd);
    HWND next = GetNextDlgTabItem(dialog, hwnd, backwards ? TRUE : FALSE);
    RequestEnd(next);
    SetFocus(next != nullptr ? next : hwnd);
}

LRESULT ListSubclass::OnEditorKillFocus(WORD, WORD, HWND control, bool&)
{
    if (ignoringFocusLoss) return 0;
    // The click on the list that is itself opening an editor took the focus away.
    if (GetFocus() == hwnd && editPending) {
        SetFocus(control);
        return 0;
    }
    RequestEnd(nullptr);
    return 0;
}

// ---------------------------------------------------------------- EditorSubclass

const EditorSubclass::MapEntry EditorSubclass::messageMap[] = {
    MapEntry::Message(WM_WINDOWPOSCHANGING, &EditorSubclass::OnWindowPosChanging),
    MapEntry::Message(WM_GETDLGCODE, &EditorSubclass::OnGetDlgCode),
    MapEntry::Message(WM_KEYDOWN, &EditorSubclass::OnKeyDown),
    MapEntry::Message(WM_CHAR, &EditorSubclass::OnChar),
};
MESSAGE_MAP_HANDLER(EditorSubclass)

EditorSubclass::EditorSubclass(Reports keys) : reports(keys), pinned(false), pinOrigin{0, 0}, pinMinHeight(0) {}

void EditorSubclass::SetPin(POINT origin, int minHeight)
{
    pinned = true;
    pinOrigin = origin;
    pinMinHeight = minHeight;
}

// An editor that reports nothing still takes Enter and Escape from the dialog manager:
// a list's own label editor ends itself on them.
bool EditorSubclass::IsTakenKey(WPARAM key) const
{
    return key == VK_RETURN || key == VK_ESCAPE || (reports == Reports::EnterEscapeTab && key == VK_TAB);
}

// The width the text needs in the editor's own font, and one "M" to type on.
int EditorSubclass::WidthForText()
{
    int length = GetWindowTextLengthA(hwnd);
    char* text = (char*)malloc((size_t)length + 1);
    if (text == nullptr) return 0;
    GetWindowTextA(hwnd, text, length + 1);
    int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    wchar_t* wide = wideLength > 0 ? (wchar_t*)malloc(sizeof(wchar_t) * (size_t)wideLength) : nullptr;
    if (wide != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, wide, wideLength);
    free(text);

    int width = 0;
    HDC dc = GetDC(hwnd);
    if (dc != nullptr) {
        // A window's DC starts with the system font, not the one the editor draws with.
        HFONT font = (HFONT)SendMessageA(hwnd, WM_GETFONT, 0, 0);
        HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
        SIZE textSize = {}, letterSize = {};
        if (wide != nullptr) GetTextExtentPoint32W(dc, wide, wideLength - 1, &textSize);
        GetTextExtentPoint32W(dc, L"M", 1, &letterSize);
        width = (int)(textSize.cx + letterSize.cx);
        if (oldFont != nullptr) SelectObject(dc, oldFont);
        ReleaseDC(hwnd, dc);
    }
    free(wide);
    return width;
}

LRESULT EditorSubclass::OnWindowPosChanging(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    // An editor without a pin was placed by its owner, and goes wherever it is moved.
    if (!pinned) {
        handled = false;
        return 0;
    }
    WINDOWPOS* position = (WINDOWPOS*)lParam;
    if (!(position->flags & SWP_NOMOVE)) {
        position->x = pinOrigin.x;
        position->y = pinOrigin.y;
    }
    if (!(position->flags & SWP_NOSIZE)) {
        if (position->cy < pinMinHeight) position->cy = pinMinHeight;
        int wanted = WidthForText();
        if (position->cx < wanted) position->cx = wanted;
    }
    return 0;
}

// Enter and Escape (and Tab) would otherwise become the default button, IDCANCEL
// (which is Exit) and a move to the next control.
LRESULT EditorSubclass::OnGetDlgCode(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    const MSG* message = (const MSG*)lParam;
    if (message != nullptr && message->message == WM_KEYDOWN && IsTakenKey(message->wParam)) {
        return DLGC_WANTALLKEYS;
    }
    handled = false;
    return 0;
}

LRESULT EditorSubclass::OnKeyDown(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    handled = false;
    if (reports != Reports::Nothing && IsTakenKey(wParam)) ReportKey(wParam);
    return 0;
}

// The characters of the reported keys would only make the edit beep (or take a tab).
LRESULT EditorSubclass::OnChar(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    WPARAM key = wParam == '\r' ? VK_RETURN : wParam == 0x1B ? VK_ESCAPE : wParam == '\t' ? VK_TAB : 0;
    if (key == 0 || !IsTakenKey(key)) handled = false;
    return 0;
}

void EditorSubclass::ReportKey(WPARAM key)
{
    HWND parent = GetParent(hwnd);
    char className[CLASS_NAME_SIZE];
    if (parent == nullptr || GetClassNameA(parent, className, (int)sizeof className) == 0) return;
    // A combo box's edit field reports for its combo box, which sits on the list.
    HWND control = lstrcmpiA(className, "COMBOBOX") == 0 ? parent : hwnd;
    HWND list = GetParent(control);
    if (key == VK_TAB && GetKeyState(VK_SHIFT) < 0) key |= EDITKEY_SHIFT;
    PostMessageA(list, UM_EDITKEY, key, (LPARAM)control);
}
