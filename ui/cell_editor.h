// In-place editing of list cells: the subclasses that turn a list's clicks, focus
// changes and keys into requests to the main window, the subclass of the editor control,
// the editor controls themselves, and the cell an open editor was opened for.
#pragma once

#include "card/nodes.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"

#include <commctrl.h>

// The cell an editor was opened for, held by reference: the text goes there or nowhere,
// whatever the selection, the rows or the card do while the editor is open.
struct CellTarget {
    int listId;                // IDC_COMPONENT_LIST or IDC_PARAMETER_LIST; 0 for none
    PropertyNode* property;    // a reference of the target's own
    ParameterNode* parameter;  // parameter list: a reference of the target's own
    int component;             // component list: the value's index
};

// The target for row of list listId on property; listId 0 when the row names nothing.
CellTarget HoldCellTarget(int listId, PropertyNode* property, int row);
// Gives up the target's references; it names nothing afterwards.
void ReleaseCellTarget(CellTarget& target);

// A text committed from an editor on its way to its cell, as UM_COMMITVALUE carries it.
// The main window keeps every commit it posted in a list until it stores or drops it.
struct CellCommit {
    CellTarget target;
    char* text;
    CellCommit* next;
};

// Made with the target's references handed over and a copy of text; null without memory.
CellCommit* NewCellCommit(CellTarget& target, const char* text);
void DeleteCellCommit(CellCommit* commit);

// The edit over a component cell, or over a parameter without predefined values.
HWND CreateCellEdit(HWND list, const RECT& cell, const char* text);
// The drop-down combo box over a parameter cell with room for entries predefined values.
HWND CreateCellCombo(HWND list, const RECT& cell, int entries, const char* text);
// Where an opening combo box's parts come from: GetComboBoxInfo, or a test's stand-in.
extern BOOL(WINAPI* ReadComboParts)(HWND combo, COMBOBOXINFO* parts);
// The cell (row, column) in the list's client coordinates.
RECT CellRect(HWND list, int row, int column);
// The list's selected row, or -1.
int SelectedRow(HWND list);

// On each of the main window's two lists: a second click on the Value cell of the
// selected row, or F2, asks for an editor; a click elsewhere, a focus change or a key
// in the editor asks to end it.
class ListSubclass : public SubclassBinding {
public:
    ListSubclass();

    // While set, the editor's loss of focus asks for nothing: the main window is
    // closing the editor itself.
    void IgnoreEditorFocusLoss(bool ignore) { ignoringFocusLoss = ignore; }

private:
    DECLARE_MESSAGE_MAP(ListSubclass)

    LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnEditKey(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnEditorKillFocus(WORD code, WORD id, HWND control, bool& handled);

    void RequestEdit(int row);
    void RequestEnd(HWND focus);
    void RequestCancel();
    void LeaveByTab(bool backwards);

    // A begin request was posted and no end or cancel since.
    bool editPending;
    bool ignoringFocusLoss;
};

// On the control that receives an editor's keystrokes (an edit, or a combo box's edit
// field): Enter and Escape (and Tab, when asked) go to the list instead of the dialog
// manager; an editor with a pin keeps its place and grows to its text. A list's own
// label editor ends itself on those keys, and reports none.
class EditorSubclass : public SubclassBinding {
public:
    // The keys the editor reports to the list (Nothing: a list's own label editor).
    enum class Reports { EnterEscape, EnterEscapeTab, Nothing };

    explicit EditorSubclass(Reports reports = Reports::EnterEscape);

    // Whenever the platform moves or sizes the editor, its top-left corner stays at origin
    // (its parent's client coordinates), its height at least minHeight, and its width
    // at least its text's and one "M" more.
    void SetPin(POINT origin, int minHeight);
    void ClearPin() { pinned = false; }

private:
    DECLARE_MESSAGE_MAP(EditorSubclass)

    LRESULT OnWindowPosChanging(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnGetDlgCode(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    bool IsTakenKey(WPARAM key) const;
    void ReportKey(WPARAM key);
    int WidthForText();

    Reports reports;
    bool pinned;
    POINT pinOrigin;
    int pinMinHeight;
};
