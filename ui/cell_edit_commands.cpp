// The main window's side of in-place editing: it opens an editor over a list cell,
// commits or cancels it, and stores a committed text into the cell the editor was
// opened for, only while that cell is still in the card.
#include "ui/main_dialog.h"

#include "services/messages.h"
#include "card/mbstring.h"
#include "card/vocabulary.h"
#include "res/resource.h"
#include "ui/view_messages.h"

#include <stdlib.h>
#include <string.h>

namespace {

const int VALUE_COLUMN = 1;

void ReportFailure(HRESULT code)
{
    ReportMessage(code, nullptr, MB_ICONERROR, 0);
}

// An editor that does not keep Enter and Escape from the dialog manager would let
// Escape run Exit: it is given up, and the code of the failure reported.
HWND GiveUpEditor(HWND control)
{
    HRESULT code = FailureFromLastError();
    DestroyWindow(control);
    ReportFailure(code);
    return nullptr;
}

bool HasParameter(const PropertyNode* property, const ParameterNode* parameter)
{
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p == parameter) return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------- opening

LRESULT MainDialog::OnBeginEdit(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    HWND list = (HWND)lParam;
    if (list != Item(IDC_COMPONENT_LIST) && list != Item(IDC_PARAMETER_LIST)) return 0;
    BeginCellEdit(list, (int)wParam);
    return 0;
}

void MainDialog::BeginCellEdit(HWND list, int row)
{
    CommitOpenEditor();
    // The row was the selected one when the list asked; the lists may have been filled
    // again since.
    PropertyNode* property = SelectedProperty();
    if (property == nullptr || !IsWindowVisible(list) || !IsWindowEnabled(list) || row < 0 ||
        row != SelectedRow(list))
        return;
    int listId = GetDlgCtrlID(list);
    CellTarget target = HoldCellTarget(listId, property, row);
    if (target.listId == 0) return;

    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
    RECT cell = CellRect(list, row, VALUE_COLUMN);
    const char* text = nullptr;
    int entries = 0;
    if (listId == IDC_COMPONENT_LIST) {
        text = property->GetValue(row);
    } else {
        text = target.parameter->GetValue();
        entries = GetPredefinedParameterValueCount(property->GetKind(), target.parameter->GetKind());
    }

    HWND control = entries == 0 ? OpenEdit(list, cell, text)
                                : OpenCombo(list, cell, property->GetKind(), target.parameter->GetKind(), text);
    if (control == nullptr) {
        ReleaseCellTarget(target);
        return;
    }
    editControl = control;
    editCombo = entries == 0 ? nullptr : control;
    editInComponents = listId == IDC_COMPONENT_LIST;
    editSubItem = VALUE_COLUMN;
    editItem = row;
    editTarget = target;
    // Leaving the editor as it opened changes nothing, not even an absent value into "".
    editOpenedText = ReadEditorText();
    if (editOpenedText == nullptr) {
        CloseCellEdit();
        return;
    }
    SetFocus(control);
}

HWND MainDialog::OpenEdit(HWND list, const RECT& cell, const char* text)
{
    HWND edit = CreateCellEdit(list, cell, text != nullptr ? text : "");
    if (edit == nullptr) {
        ReportFailure(FailureFromLastError());
        return nullptr;
    }
    if (!editor.Subclass(edit)) return GiveUpEditor(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return edit;
}

HWND MainDialog::OpenCombo(HWND list, const RECT& cell, PropertyKind propertyKind, ParameterKind parameterKind,
                           const char* text)
{
    int entries = GetPredefinedParameterValueCount(propertyKind, parameterKind);
    HWND combo = CreateCellCombo(list, cell, entries, "");
    if (combo == nullptr) {
        ReportFailure(FailureFromLastError());
        return nullptr;
    }
    bool selected = false;
    for (int i = 0; i < entries; ++i) {
        const char* entry = GetPredefinedParameterValue(propertyKind, parameterKind, i);
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)entry);
        // The entry shows the value in the entry's own letter case.
        if (!selected && text != nullptr && MbsCompareNoCase(text, entry) == 0) {
            SendMessageA(combo, CB_SETCURSEL, (WPARAM)i, 0);
            selected = true;
        }
    }
    COMBOBOXINFO parts = {};
    parts.cbSize = sizeof parts;
    // Without its edit field the combo box can be neither committed nor kept from the
    // dialog manager: nothing stays open.
    if (!ReadComboParts(combo, &parts) || !editor.Subclass(parts.hwndItem)) return GiveUpEditor(combo);
    // A value that is not predefined stays as typed text.
    if (!selected && text != nullptr) SetWindowTextA(combo, text);
    return combo;
}

HWND MainDialog::EditorList() const
{
    return Item(editInComponents ? IDC_COMPONENT_LIST : IDC_PARAMETER_LIST);
}

// The text the editor shows now (a combo box's is its edit field's); null without memory.
char* MainDialog::ReadEditorText() const
{
    if (editControl == nullptr) return nullptr;
    int length = GetWindowTextLengthA(editControl);
    char* text = (char*)malloc((size_t)length + 1);
    if (text == nullptr) return nullptr;
    text[0] = '\0';
    GetWindowTextA(editControl, text, length + 1);
    return text;
}

// ---------------------------------------------------------------- ending

LRESULT MainDialog::OnEndEdit(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    // A request from the other list is about an editor that has been committed already.
    if (editItem >= 0 && (HWND)lParam != EditorList()) return 0;
    CommitCellEdit((HWND)wParam);
    return 0;
}

LRESULT MainDialog::OnCancelEdit(UINT, WPARAM, LPARAM lParam, bool&)
{
    if (editItem >= 0 && (HWND)lParam != EditorList()) return 0;
    CloseCellEdit();
    return 0;
}

void MainDialog::CommitCellEdit(HWND focus)
{
    if (editItem < 0) return;
    // The focus is going into the editor itself.
    if (focus != nullptr && (focus == editControl || focus == editor.Window())) return;
    char* text = ReadEditorText();
    if (text != nullptr && strcmp(text, editOpenedText) != 0) {
        CellCommit* commit = NewCellCommit(editTarget, text);
        if (commit != nullptr) {
            CellCommit** last = &pendingCommits;
            while (*last != nullptr) last = &(*last)->next;
            *last = commit;
            if (!PostMessageA(hwnd, UM_COMMITVALUE, (WPARAM)commit->target.listId, (LPARAM)commit)) {
                *last = nullptr;
                DeleteCellCommit(commit);
            }
        }
    }
    free(text);
    CloseCellEdit();
}

HWND MainDialog::ForgetCellEdit()
{
    HWND control = editControl;
    editSubItem = -1;
    editItem = -1;
    editCombo = nullptr;
    editControl = nullptr;
    ReleaseCellTarget(editTarget);
    free(editOpenedText);
    editOpenedText = nullptr;
    return control;
}

void MainDialog::CloseCellEdit()
{
    HWND control = ForgetCellEdit();
    if (control == nullptr) return;
    HWND list = EditorList();

    HWND focus = GetFocus();
    bool hadFocus = focus != nullptr && (focus == control || IsChild(control, focus));
    // Its loss of focus is our own doing: there is nothing left for the list to end.
    ListSubclass& owner = editInComponents ? componentListSubclass : parameterListSubclass;
    owner.IgnoreEditorFocusLoss(true);
    DestroyWindow(control);
    owner.IgnoreEditorFocusLoss(false);
    if (hadFocus) SetFocus(list);
}

void MainDialog::CommitOpenEditor()
{
    StorePendingCommits();
    if (editItem < 0) return;
    char* text = ReadEditorText();
    if (text != nullptr && strcmp(text, editOpenedText) != 0) StoreCellText(editTarget, text);
    free(text);
    CloseCellEdit();
}

// ---------------------------------------------------------------- storing

LRESULT MainDialog::OnCommitValue(UINT, WPARAM, LPARAM lParam, bool&)
{
    // Only a commit of ours still waiting is taken (and freed): a command may have
    // stored it already, and anyone can post this number.
    CellCommit* posted = (CellCommit*)lParam;
    for (CellCommit** link = &pendingCommits; *link != nullptr; link = &(*link)->next) {
        if (*link != posted) continue;
        *link = posted->next;
        StoreCellText(posted->target, posted->text);
        DeleteCellCommit(posted);
        break;
    }
    return 0;
}

void MainDialog::StorePendingCommits()
{
    while (pendingCommits != nullptr) {
        CellCommit* commit = pendingCommits;
        pendingCommits = commit->next;
        StoreCellText(commit->target, commit->text);
        DeleteCellCommit(commit);
    }
}

void MainDialog::DropPendingCommits()
{
    while (pendingCommits != nullptr) {
        CellCommit* commit = pendingCommits;
        pendingCommits = commit->next;
        DeleteCellCommit(commit);
    }
}

bool MainDialog::IsInCard(const PropertyNode* property) const
{
    if (document == nullptr || property == nullptr) return false;
    return !document->ForEachProperty([&](const char*, PropertyNode* shown) { return shown != property; });
}

bool MainDialog::StoreCellText(const CellTarget& target, const char* text)
{
    if (target.listId == 0 || !IsInCard(target.property)) return false;
    bool stored = false;
    if (target.listId == IDC_COMPONENT_LIST) {
        // A value that is gone has no place left for the text; the property never grows.
        if (target.component < target.property->GetValueCount())
            stored = target.property->SetValue(text, target.component) == S_OK;
    } else if (HasParameter(target.property, target.parameter)) {
        stored = target.parameter->SetValue(text) == 1;
    }
    InvalidateRect(Item(target.listId), nullptr, FALSE);
    if (stored) UpdateUndoButton();
    return stored;
}
