// The main window's in-place editing of its parameter and component lists: one editor
// open over a Value cell at a time, and the commits it posted that the window has not
// stored yet. A committed text goes into the cell the editor was opened for, only while
// that cell is still in the card.
#pragma once

#include "card/nodes.h"
#include "ui/cell_editor.h"

class MainDialog;

class CellEditSession {
public:
    explicit CellEditSession(MainDialog& dialog);
    CellEditSession(const CellEditSession&) = delete;
    CellEditSession& operator=(const CellEditSession&) = delete;
    ~CellEditSession();

    // Takes over the two lists, whose requests to open and end an editor go to the window.
    void AttachLists(HWND parameterList, HWND componentList);
    // Opens an editor over the Value cell of row in list, which shows property; nothing
    // when row is no longer the list's selected row.
    void Begin(HWND list, int row, PropertyNode* property);
    // A list asks to end the editor (UM_ENDEDIT) as focus moves: its text is posted to
    // be stored, unless focus is going into the editor itself.
    void End(HWND focus, HWND list);
    // A list asks to close the editor without storing anything (UM_CANCELEDIT).
    void Cancel(HWND list);
    // A posted commit arrives (UM_COMMITVALUE): it is stored when it is one of ours
    // still waiting, and ignored otherwise.
    void StorePosted(CellCommit* posted);
    // Stores every commit on its way and what the open editor holds, and closes it.
    void CommitAll();
    // The window is going: the editor and the commits on their way go unstored.
    void Abandon();

private:
    HWND Item(int id) const;
    HWND OpenEdit(HWND list, const RECT& cell, const char* text);
    HWND OpenCombo(HWND list, const RECT& cell, PropertyKind propertyKind, ParameterKind parameterKind,
                   const char* text);
    void Commit(HWND focus);
    void Close();
    HWND Forget();
    HWND EditorList() const;
    char* ReadEditorText() const;
    bool StoreText(const CellTarget& target, const char* text);
    void StorePending();
    void DropPending();
    bool IsInCard(const PropertyNode* property) const;

    MainDialog& dialog;
    // The open editor: its cell (-1 when none is open), the list it sits on, the combo
    // box when it is one, the text it opened with and what it edits.
    int editSubItem;
    int editItem;
    bool editInComponents;
    HWND editControl;
    HWND editCombo;
    char* editOpenedText;
    CellTarget editTarget;
    EditorSubclass editor;
    ListSubclass parameterListSubclass;
    ListSubclass componentListSubclass;
    // Commits posted as UM_COMMITVALUE and not yet stored, oldest first.
    CellCommit* pendingCommits;
};
