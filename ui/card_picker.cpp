// The card picker and its list of cards.
#include "ui/card_picker.h"

#include "card/mbstring.h"
#include "res/resource.h"
#include "services/messages.h"

#include <stdio.h>
#include <string.h>

namespace {

const int NUMBER_COLUMN_WIDTH = 44;
const int LINES_COLUMN_WIDTH = 76;

void AddColumn(HWND list, int index, const char* title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = (char*)title;
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

}  // namespace

const CardPicker::MapEntry CardPicker::messageMap[] = {
    MapEntry::Message(WM_INITDIALOG, &CardPicker::OnInitDialog),
    MapEntry::Command(IDOK, &CardPicker::OnOk),
    MapEntry::Command(IDCANCEL, &CardPicker::OnCancel),
    MapEntry::Notify(IDC_CARD_LIST, LVN_GETDISPINFOA, &CardPicker::OnGetDispInfo),
    MapEntry::Notify(IDC_CARD_LIST, LVN_ODFINDITEMA, &CardPicker::OnFindItem),
    MapEntry::Notify(IDC_CARD_LIST, LVN_ODFINDITEMW, &CardPicker::OnFindItem),
    MapEntry::Notify(IDC_CARD_LIST, NM_DBLCLK, &CardPicker::OnActivate),
};
MESSAGE_MAP_HANDLER(CardPicker)

CardPicker::CardPicker(const CardFile& cardFile, size_t first) : cards(cardFile), selected(first), chosen(-1)
{
    cardFormat[0] = '\0';
    text[0] = '\0';
}

long CardPicker::Choose(HWND owner)
{
    chosen = CHOSE_NONE;
    // The dialog ends with IDOK or IDCANCEL; anything else means it never ran.
    INT_PTR answer = RunModal(IDD_CARD_PICKER, owner);
    return answer == IDOK || answer == IDCANCEL ? chosen : DIALOG_FAILED;
}

LRESULT CardPicker::OnInitDialog(UINT, WPARAM, LPARAM, bool&)
{
    LoadTextString(IDS_CARD_NUMBER, cardFormat, (int)sizeof cardFormat);
    HWND list = GetDlgItem(hwnd, IDC_CARD_LIST);
    DWORD styles = LVS_EX_FULLROWSELECT;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    RECT client = {};
    GetClientRect(list, &client);
    int nameWidth =
        (client.right - client.left) - NUMBER_COLUMN_WIDTH - LINES_COLUMN_WIDTH - GetSystemMetrics(SM_CXVSCROLL);
    AddColumn(list, 0, "Card", NUMBER_COLUMN_WIDTH);
    AddColumn(list, 1, "Name", nameWidth);
    AddColumn(list, 2, "Lines", LINES_COLUMN_WIDTH);
    SendMessageA(list, LVM_SETITEMCOUNT, (WPARAM)cards.CardCount(), 0);
    if (selected >= cards.CardCount()) selected = 0;
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)selected, (LPARAM)&state);
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)selected, FALSE);
    SetFocus(list);
    return FALSE;  // the focus is set
}

LRESULT CardPicker::OnOk(WORD, WORD, HWND, bool&)
{
    int row = (int)SendMessageA(GetDlgItem(hwnd, IDC_CARD_LIST), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (row < 0) return 0;  // nothing chosen yet: the dialog stays
    chosen = row;
    EndDialog(hwnd, IDOK);
    return 0;
}

LRESULT CardPicker::OnCancel(WORD, WORD, HWND, bool&)
{
    EndDialog(hwnd, IDCANCEL);
    return 0;
}

LRESULT CardPicker::OnActivate(int, NMHDR* header, bool&)
{
    if (((NMITEMACTIVATE*)header)->iItem >= 0) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}

const char* CardPicker::RowName(size_t index)
{
    if (cards.CardName(index, text, sizeof text) == 0) {
        _snprintf(text, sizeof text, cardFormat, (int)index + 1);
        text[sizeof text - 1] = '\0';
    }
    return text;
}

LRESULT CardPicker::OnGetDispInfo(int, NMHDR* header, bool&)
{
    LVITEMA& item = ((NMLVDISPINFOA*)header)->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || (size_t)item.iItem >= cards.CardCount()) return 0;
    const CardSpan& card = cards.Card((size_t)item.iItem);
    if (item.iSubItem == 0) {
        _snprintf(text, sizeof text, "%d", item.iItem + 1);
    } else if (item.iSubItem == 1) {
        RowName((size_t)item.iItem);
    } else {
        _snprintf(text, sizeof text, "%d-%d", card.firstLine, card.lastLine);
    }
    text[sizeof text - 1] = '\0';
    item.pszText = text;
    return 0;
}

// Typing in the list: the next row from the start row on whose name begins with what
// was typed, going round to the top.
// Some list controls ask in UTF-16 whatever the window's kind (Wine's does); the
// names are compared in the code page they are shown in.
LRESULT CardPicker::OnFindItem(int, NMHDR* header, bool&)
{
    NMLVFINDITEMA* find = (NMLVFINDITEMA*)header;
    size_t count = cards.CardCount();
    if (count == 0 || !(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || find->lvfi.psz == nullptr) return -1;
    char typed[sizeof text];
    if (header->code == LVN_ODFINDITEMW) {
        const wchar_t* wide = ((NMLVFINDITEMW*)header)->lvfi.psz;
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, typed, (int)sizeof typed, nullptr, nullptr) == 0) return -1;
    } else {
        _snprintf(typed, sizeof typed, "%s", find->lvfi.psz);
        typed[sizeof typed - 1] = '\0';
    }
    size_t start = find->iStart >= 0 && (size_t)find->iStart < count ? (size_t)find->iStart : 0;
    for (size_t step = 0; step < count; ++step) {
        size_t row = (start + step) % count;
        if (StartsWithNoCase(RowName(row), typed)) return (LRESULT)row;
    }
    return -1;
}
