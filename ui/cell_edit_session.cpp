// The main window's in-place editing: it opens an editor over a list cell, commits or
// cancels it, and stores a committed text into the cell the editor was opened for.
#include "ui/cell_edit_session.h"

#include "card/mbstring.h"
#include "card/vocabulary.h"
#include "res/resource.h"
#include "services/messages.h"
#include "ui/main_dialog.h"
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

CellEditSession::CellEditSession(MainDialog& mainWindow)
    : dialog(mainWindow), editSubItem(-1), editItem(-1), editInComponents(false), editControl(nullptr),
      editCombo(nullptr), editOpenedText(nullptr), editTarget{0, nullptr, nullptr, -1},
      editor(EditorSubclass::Reports::EnterEscapeTab), pendingCommits(nullptr)
{}

CellEditSession::~CellEditSession()
{
    Abandon();
}

void CellEditSession::AttachLists(HWND parameterList, HWND componentList)
{
    parameterListSubclass.Subclass(parameterList);
    componentListSubclass.Subclass(componentList);
}

HWND CellEditSession::Item(int id) const
{
    return GetDlgItem(dialog.Window(), id);
}

void CellEditSession::Begin(HWND list, int row, PropertyNode* property)
{
    // The row was the selected one when the list asked; the lists may have been filled
    // again since.
    if (property == nullptr || !IsWindowVisible(list) || !IsWindowEnabled(list) || row < 0 || row != SelectedRow(list))
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
        Close();
        return;
    }
    SetFocus(control);
}

HWND CellEditSession::OpenEdit(HWND list, const RECT& cell, const char* text)
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

HWND CellEditSession::OpenCombo(HWND list, const RECT& cell, PropertyKind propertyKind, ParameterKind parameterKind,
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

HWND CellEditSession::EditorList() const
{
    return Item(editInComponents ? IDC_COMPONENT_LIST : IDC_PARAMETER_LIST);
}

// The text the editor shows now (a combo box's is its edit field's); null without memory.
char* CellEditSession::ReadEditorText() const
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

void CellEditSession::End(HWND focus, HWND list)
{
    // A request from the other list is about an editor that has been committed already.
    if (editItem >= 0 && list != EditorList()) return;
    Commit(focus);
}

void CellEditSession::Cancel(HWND list)
{
    if (editItem >= 0 && list != EditorList()) return;
    Close();
}

void CellEditSession::Commit(HWND focus)
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
            if (!PostMessageA(dialog.Window(), UM_COMMITVALUE, (WPARAM)commit->target.listId, (LPARAM)commit)) {
                *last = nullptr;
                DeleteCellCommit(commit);
            }
        }
    }
    free(text);
    Close();
}

HWND CellEditSession::Forget()
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

void CellEditSession::Close()
{
    HWND control = Forget();
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

void CellEditSession::CommitAll()
{
    StorePending();
    if (editItem < 0) return;
    char* text = ReadEditorText();
    if (text != nullptr && strcmp(text, editOpenedText) != 0) StoreText(editTarget, text);
    free(text);
    Close();
}

void CellEditSession::Abandon()
{
    Forget();
    DropPending();
}

// ---------------------------------------------------------------- storing

void CellEditSession::StorePosted(CellCommit* posted)
{
    // Only a commit of ours still waiting is taken (and freed): a command may have
    // stored it already, and anyone can post this number.
    for (CellCommit** link = &pendingCommits; *link != nullptr; link = &(*link)->next) {
        if (*link != posted) continue;
        *link = posted->next;
        StoreText(posted->target, posted->text);
        DeleteCellCommit(posted);
        break;
    }
}

void CellEditSession::StorePending()
{
    while (pendingCommits != nullptr) {
        CellCommit* commit = pendingCommits;
        pendingCommits = commit->next;
        StoreText(commit->target, commit->text);
        DeleteCellCommit(commit);
    }
}

void CellEditSession::DropPending()
{
    while (pendingCommits != nullptr) {
        CellCommit* commit = pendingCommits;
        pendingCommits = commit->next;
        DeleteCellCommit(commit);
    }
}

bool CellEditSession::IsInCard(const PropertyNode* property) const
{
    CardDocument* document = dialog.Document();
    if (document == nullptr || property == nullptr) return false;
    return !document->ForEachProperty([&](const char*, PropertyNode* shown) { return shown != property; });
}

bool CellEditSession::StoreText(const CellTarget& target, const char* text)
{
    if (target.listId == 0 || !IsInCard(target.property)) return false;
    bool stored = false;
    if (target.listId == IDC_COMPONENT_LIST) {
        // A value that is gone has no place left for the text; the property never grows.
        if (target.component < target.property->GetValueCount())
            stored = target.property->SetValue(text, target.component) == S_OK;
    } else if (HasParameter(target.property, target.parameter)) {
        stored = target.parameter->SetValue(text) == S_OK;
    }
    InvalidateRect(Item(target.listId), nullptr, FALSE);
    if (stored) dialog.UpdateUndoButton();
    return stored;
}
