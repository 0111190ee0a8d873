// The main window's views: the tree and list display callbacks, the value edit, the ">"
// menu of predefined values, and the refresh of the right-hand side.
#include "ui/property_view.h"

#include "card/legacy_text.h"
#include "card/mbstring.h"
#include "card/tree.h"
#include "card/vocabulary.h"
#include "res/resource.h"
#include "services/messages.h"
#include "ui/main_dialog.h"
#include "ui/view_messages.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// In dialog units, so that the column grows with the dialog's font at a higher DPI
// (100 pixels at 96 DPI).
const int NAME_COLUMN_WIDTH_DLU = 57;

void AddColumns(HWND list, const char* firstTitle, int nameWidth, int valueWidth)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (LPSTR)firstTitle;
    column.cx = nameWidth;
    column.iSubItem = 0;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    column.pszText = (LPSTR) "Value";
    column.cx = valueWidth;
    column.iSubItem = 1;
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, (LPARAM)&column);
    DWORD styles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
}

// Rows whose texts the list asks for when it paints them.
void AddCallbackRows(HWND list, int count)
{
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = LPSTR_TEXTCALLBACKA;
        int inserted = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        if (inserted < 0) break;
        LVITEMA subItem = {};
        subItem.iSubItem = 1;
        subItem.pszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)inserted, (LPARAM)&subItem);
    }
}

void CopyShown(char* buffer, int size, const char* text)
{
    if (buffer == nullptr || size <= 0 || text == nullptr) return;
    size_t length = MbsFitLength(text, (size_t)size);
    memcpy(buffer, text, length);
    buffer[length] = '\0';
}

void ReportLastError()
{
    ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, 0);
}

}  // namespace

char* TextFromEditLines(const char* text, LineBreaks breaks)
{
    if (breaks == LineBreaks::CrLf) return _strdup(text);
    size_t length = strlen(text);
    char* result = (char*)malloc(length + 1);
    if (result == nullptr) return nullptr;
    char* out = result;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\r' && p[1] == '\n') continue;  // CR LF becomes the LF that follows
        *out++ = *p;
    }
    *out = '\0';
    return result;
}

char* EditLinesFromText(const char* text)
{
    size_t length = strlen(text);
    size_t feeds = 0;
    for (const char* p = text; *p != '\0'; ++p) feeds += (*p == '\n' && (p == text || p[-1] != '\r'));
    char* result = (char*)malloc(length + feeds + 1);
    if (result == nullptr) return nullptr;
    char* out = result;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n' && (p == text || p[-1] != '\r')) *out++ = '\r';
        *out++ = *p;
    }
    *out = '\0';
    return result;
}

const PropertyView::MapEntry PropertyView::messageMap[] = {
    MapEntry::Notify(IDC_PROPERTY_TREE, TVN_GETDISPINFOA, &PropertyView::OnTreeGetDispInfo),
    MapEntry::Notify(IDC_PROPERTY_TREE, TVN_SELCHANGEDA, &PropertyView::OnTreeSelChanged),
    MapEntry::Notify(IDC_PROPERTY_TREE, TVN_DELETEITEMA, &PropertyView::OnTreeDeleteItem),
    MapEntry::Notify(IDC_PARAMETER_LIST, LVN_GETDISPINFOA, &PropertyView::OnListGetDispInfo),
    MapEntry::Notify(IDC_COMPONENT_LIST, LVN_GETDISPINFOA, &PropertyView::OnListGetDispInfo),
    MapEntry::Command(IDC_VALUE_EDIT, EN_CHANGE, &PropertyView::OnValueChange),
    MapEntry::Command(IDC_PREDEFINED_VALUES, BN_CLICKED, &PropertyView::OnPredefinedValues),
};
MESSAGE_MAP_HANDLER(PropertyView)

PropertyView::PropertyView(MainDialog& mainWindow) : dialog(mainWindow), treeImages(nullptr), fillingValueEdit(false) {}

HWND PropertyView::Item(int id) const
{
    return GetDlgItem(dialog.Window(), id);
}

// ---------------------------------------------------------------- set-up

void PropertyView::SetUpViews()
{
    HWND hwnd = dialog.Window();
    treeImages = ImageList_LoadImageA(appModule.instance, MAKEINTRESOURCEA(IDB_TREE_IMAGES), TREE_IMAGE_WIDTH, 0,
                                      CLR_DEFAULT, IMAGE_BITMAP, 0);
    SendMessageA(Item(IDC_PROPERTY_TREE), TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)treeImages);

    RECT client = {};
    GetClientRect(Item(IDC_PARAMETER_LIST), &client);
    RECT name = {0, 0, NAME_COLUMN_WIDTH_DLU, 0};
    MapDialogRect(hwnd, &name);
    int valueWidth = (client.right - client.left) - name.right;
    AddColumns(Item(IDC_PARAMETER_LIST), "Parameter", name.right, valueWidth);
    AddColumns(Item(IDC_COMPONENT_LIST), "Component", name.right, valueWidth);
}

void PropertyView::ReleaseViews()
{
    if (treeImages != nullptr) {
        ImageList_Destroy(treeImages);
        treeImages = nullptr;
    }
}

// ---------------------------------------------------------------- tree

LRESULT PropertyView::OnTreeGetDispInfo(int, NMHDR* header, bool&)
{
    AnswerTreeDisplayInfo((NMTVDISPINFOA*)header);
    return 0;
}

LRESULT PropertyView::OnTreeSelChanged(int, NMHDR* header, bool&)
{
    RefreshPropertyView((CardNode*)((NMTREEVIEWA*)header)->itemNew.lParam);
    return 0;
}

LRESULT PropertyView::OnTreeDeleteItem(int, NMHDR* header, bool&)
{
    ReleaseDeletedItemNode((NMTREEVIEWA*)header);
    return 0;
}

// ---------------------------------------------------------------- right-hand side

PropertyNode* PropertyView::SelectedProperty() const
{
    CardDocument* document = dialog.Document();
    if (document == nullptr) return nullptr;
    CardNode* node = document->GetNode(document->GetSelectedItem(TVI_ROOT));
    return (node != nullptr && !node->IsGroup()) ? (PropertyNode*)node : nullptr;
}

void PropertyView::EnablePropertyControls(bool enable)
{
    EnableWindow(Item(IDC_COMPONENT_LIST), enable);
    EnableWindow(Item(IDC_PARAMETER_LIST), enable);
    EnableWindow(Item(IDC_VALUE_EDIT), enable);
    EnableWindow(Item(IDC_PREDEFINED_VALUES), enable);
}

void PropertyView::EnableUndoButton(bool enable)
{
    EnableWindow(Item(IDC_UNDO), enable);
}

// After every change the user makes, so that Undo is there as soon as there is
// something to undo.
void PropertyView::UpdateUndoButton()
{
    CardDocument* document = dialog.Document();
    EnableUndoButton(document != nullptr && document->IsModified());
}

void PropertyView::ShowValueInEdit(const char* value)
{
    char* shown = EditLinesFromText(value != nullptr ? value : "");
    fillingValueEdit = true;
    SetWindowTextA(Item(IDC_VALUE_EDIT), shown != nullptr ? shown : "");
    fillingValueEdit = false;
    free(shown);
}

// Room for what the value edit says of base64 data.
const size_t DATA_TEXT_SIZE = 256;

// Base64 data of an older card (a photo, a key, a sound) shows what it is rather than a
// wall of letters, and cannot be typed over; any other value shows as text to edit.
void PropertyView::ShowSingleValue(const PropertyNode* property)
{
    HWND edit = Item(IDC_VALUE_EDIT);
    bool data = property->GetValue(0) != nullptr && EncodingOf(property).base64;
    SendMessageA(edit, EM_SETREADONLY, data, 0);
    if (!data) {
        ShowValueInEdit(property->GetValue(0));
        return;
    }
    const char* kind = "Binary";
    for (const ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetKind() == ParameterKindType && p->GetValue() != nullptr) kind = p->GetValue();
    }
    char format[DATA_TEXT_SIZE];
    char shown[DATA_TEXT_SIZE];
    LoadTextString(IDS_DATA_VALUE, format, (int)sizeof format);
    _snprintf(shown, sizeof shown, format, kind, (unsigned long)Base64DecodedLength(property->GetValue(0)));
    shown[sizeof shown - 1] = '\0';
    ShowValueInEdit(shown);
}

void PropertyView::RefreshPropertyView(CardNode* node)
{
    // The editor sits on rows that are about to go; its text goes to its own cell first.
    dialog.CommitOpenEditor();
    HWND components = Item(IDC_COMPONENT_LIST);
    HWND parameters = Item(IDC_PARAMETER_LIST);
    SendMessageA(components, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(parameters, LVM_DELETEALLITEMS, 0, 0);
    ShowValueInEdit("");

    CardDocument* document = dialog.Document();
    if (document == nullptr) {
        EnablePropertyControls(false);
        return;
    }
    if (node == nullptr) node = document->GetNode(document->GetSelectedItem(TVI_ROOT));
    if (node == nullptr || node->IsGroup()) {
        EnablePropertyControls(false);
        return;
    }
    PropertyNode* property = (PropertyNode*)node;
    bool singleValue = property->GetValueCount() < 2;
    HWND valueControl;
    if (singleValue) {
        ShowWindow(components, SW_HIDE);
        ShowWindow(Item(IDC_PREDEFINED_VALUES), SW_SHOW);
        EnableWindow(Item(IDC_PREDEFINED_VALUES), GetPredefinedPropertyValueCount(property->GetKind()) != 0);
        valueControl = Item(IDC_VALUE_EDIT);
    } else {
        ShowWindow(Item(IDC_VALUE_EDIT), SW_HIDE);
        ShowWindow(Item(IDC_PREDEFINED_VALUES), SW_HIDE);
        valueControl = components;
    }
    ShowWindow(valueControl, SW_SHOW);
    EnableWindow(valueControl, TRUE);
    EnableWindow(parameters, TRUE);

    if (singleValue) {
        ShowSingleValue(property);
    } else {
        AddCallbackRows(components, property->GetValueCount());
    }
    int parameterCount = 0;
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) ++parameterCount;
    AddCallbackRows(parameters, parameterCount);

    EnableUndoButton(document->IsModified());
}

LRESULT PropertyView::OnListGetDispInfo(int id, NMHDR* header, bool&)
{
    NMLVDISPINFOA* info = (NMLVDISPINFOA*)header;
    LVITEMA& item = info->item;
    if (!(item.mask & LVIF_TEXT)) return 0;
    PropertyNode* property = SelectedProperty();
    if (property == nullptr) return 0;
    const char* text = nullptr;
    if (id == IDC_COMPONENT_LIST) {
        if (item.iSubItem == 0)
            text = GetComponentName(property->GetKind(), item.iItem);
        else if (item.iSubItem == 1 && item.iItem < property->GetValueCount())
            text = property->GetValue(item.iItem);
    } else if (id == IDC_PARAMETER_LIST) {
        ParameterNode* parameter = property->GetParameterAt(item.iItem);
        if (parameter != nullptr) {
            if (item.iSubItem == 0)
                text = ParameterDisplayName(property, item.iItem);
            else if (item.iSubItem == 1)
                text = parameter->GetValue();
        }
    }
    CopyShown(item.pszText, item.cchTextMax, text);
    return 0;
}

LRESULT PropertyView::OnValueChange(WORD, WORD, HWND control, bool&)
{
    if (fillingValueEdit) return 0;
    PropertyNode* property = SelectedProperty();
    if (property == nullptr) return 0;
    int length = GetWindowTextLengthA(control);
    char* text = (char*)malloc((size_t)length + 1);
    if (text == nullptr) return 0;
    GetWindowTextA(control, text, length + 1);
    // A value that holds CR LF keeps it: an edit of a 2.1 card's address label changes
    // only what was typed.
    const char* old = property->GetValue(0);
    bool crlf = old != nullptr && strstr(old, "\r\n") != nullptr;
    char* value = TextFromEditLines(text, crlf ? LineBreaks::CrLf : LineBreaks::Lf);
    free(text);
    if (value != nullptr && property->SetValue(value, 0) == S_OK) UpdateUndoButton();
    free(value);
    return 0;
}

LRESULT PropertyView::OnPredefinedValues(WORD, WORD, HWND, bool&)
{
    dialog.CommitOpenEditor();
    PropertyNode* property = SelectedProperty();
    if (property == nullptr) return 0;
    int count = GetPredefinedPropertyValueCount(property->GetKind());
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        ReportLastError();
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (!AppendMenuA(menu, MF_STRING, (UINT_PTR)(i + 1), GetPredefinedPropertyValue(property->GetKind(), i))) {
            ReportLastError();
            break;
        }
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    int chosen = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                                     dialog.Window(), nullptr);
    if (chosen != 0) {
        const char* value = GetPredefinedPropertyValue(property->GetKind(), chosen - 1);
        ShowValueInEdit(value);
        // A value chosen from the menu is the user's choice: it is stored at once.
        if (property->SetValue(value, 0) == S_OK) UpdateUndoButton();
    }
    DestroyMenu(menu);
    return 0;
}

const char* ParameterDisplayName(const PropertyNode* property, int row)
{
    ParameterNode* parameter = property->GetParameterAt(row);
    if (parameter == nullptr) return nullptr;
    if (parameter->GetKind() != ParameterKindOther || parameter->GetCustomName() != nullptr) {
        return parameter->GetDisplayName();
    }
    // The nearest earlier node with a name of its own names the run.
    const char* name = "";
    for (int i = 0; i < row; ++i) {
        ParameterNode* earlier = property->GetParameterAt(i);
        if (earlier->GetCustomName() != nullptr) name = earlier->GetCustomName();
    }
    return name;
}
