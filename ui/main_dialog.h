// The main window: the card's tree on the left, and for the selected property its
// parameters and its value (one edit, or a list of components) on the right; the file
// commands act on the card it shows.
#pragma once

#include "card/card_file.h"
#include "card/document.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"
#include "ui/cell_edit_session.h"
#include "ui/file_commands.h"
#include "ui/image_button.h"
#include "ui/item_commands.h"
#include "ui/property_view.h"

#include <commctrl.h>

// The main window. Its handlers come in groups, each a part of its own that the window
// holds and its map chains to: the views of the selected property (PropertyView), the
// in-place editing of its lists (CellEditSession), adding and deleting (ItemCommands)
// and the file commands (FileCommands). What is left here is the window's life and the
// commands that open other windows.
class MainDialog : public DialogBinding {
public:
    MainDialog();
    ~MainDialog() override;

    void OnLastMessage(HWND window) override;

    // Stores what an open cell editor holds (and every commit still on its way) into the
    // card and closes the editor: every command does this first.
    void CommitOpenEditor() { cellEdit.CommitAll(); }
    // After a change to the card: Undo is enabled while the card differs from its file.
    void UpdateUndoButton() { view.UpdateUndoButton(); }
    // The keyboard shortcuts of the main window's commands, for the message loop.
    HACCEL Shortcuts() const { return shortcuts; }

    // The parts, for one another.
    FileCommands& Files() { return files; }
    PropertyView& View() { return view; }

    // For tests and the program's own start: what the window holds.
    CardDocument* Document() const { return files.Document(); }
    static const int IMAGE_BUTTON_COUNT = 5;
    ImageButton& Button(int position) { return imageButtons[position]; }
    const char* FilePath() const { return files.FilePath(); }
    // The cards of the open file when it holds several (null otherwise), and which of
    // them is open.
    const CardFile* Cards() const { return files.Cards(); }
    size_t CardIndex() const { return files.CardIndex(); }
    int* EscapeColonCell() const { return escapeColon; }

private:
    DECLARE_MESSAGE_MAP(MainDialog)

    // ---- window life (main_dialog.cpp)
    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnHelp(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnAbout(WORD code, WORD id, HWND control, bool& handled);

    // ---- property view: PropertyView (property_view.cpp)

    // ---- in-place cell editing, handed to the session (main_dialog.cpp)
    LRESULT OnBeginEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnEndEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnCancelEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnCommitValue(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // ---- adding and deleting: ItemCommands (item_commands.cpp)

    // ---- settings (settings_dialog.cpp)
    LRESULT OnSettings(WORD code, WORD id, HWND control, bool& handled);

    // ---- file commands: FileCommands (file_commands.cpp, save_as.cpp)

    // ---- helpers
    void SetUpViews();
    void SetUpImageButtons();
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }

    int* escapeColon;
    // Open, Save, Undo, Help and Exit, in the order they are set up.
    ImageButton imageButtons[IMAGE_BUTTON_COUNT];
    HACCEL shortcuts;

    // The parts. The editing session, declared last, goes first: its commits go into the
    // card that the file commands hold.
    FileCommands files;
    PropertyView view;
    ItemCommands items;
    CellEditSession cellEdit;
};

// The one main window object; null before it is made and after it is destroyed.
extern MainDialog* mainDialog;
