// A small vocabulary of user actions for scenario tests of the real editor under Wine:
// start the program as its entry point does, select tree items, click buttons, type,
// press keys, choose menu commands, answer message boxes and file dialogs, read back
// what the window shows, and take screenshots.
#pragma once

#include "card/platform.h"

#include <functional>
#include <string>
#include <vector>

namespace ui {

// Handles the thread's messages as the program's loop does, for about ms milliseconds.
void Pump(int ms = 60);
// Pumps until done() is true or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// The editor started as its entry point starts it, with a command-line tail.
class Editor {
public:
    explicit Editor(const std::string& commandLine = "");
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    bool IsRunning() const;
    HWND Window() const;
    HWND Item(int id) const;
    std::string Title() const;

    // ---- what the user does
    // Selects the item at path ("N", "work/TEL"; a repeated name takes "#2" as in "TEL#2")
    // with a click on its text; false when there is no such item.
    bool SelectTreeItem(const std::string& path);
    void ClickButton(int id);
    void TypeInto(int id, const std::string& text);
    void PressKey(UINT virtualKey);
    void ChooseMenu(UINT command);

    // ---- what the window shows
    // The tree as "name" and "group/name" lines in display order.
    std::vector<std::string> TreeItems() const;
    int ListRows(int listId) const;
    std::string ListCell(int listId, int row, int column) const;
    std::string ItemText(int id) const;
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;

    // Saves a picture of the main window, frame included, as SCREENS_DIR/name.png.
    bool Screenshot(const std::string& name) const;
};

// A box or file dialog that was shown, as the user saw it.
struct ShownDialog {
    std::string caption;  // a message box's caption; a file dialog's title
    std::string text;     // a message box's text
    bool fileDialog;
    std::string buttons;  // a message box's buttons in order, as "Yes No Cancel"
    int defaultButton;    // the button Enter would press
    bool hasOwner;        // owned by the main window
};

// Answers the next message boxes and file dialogs on this thread, in order, and records
// each one. A box for which no answer is waiting is cancelled (and recorded), so that a
// test never hangs.
class DialogAnswers {
public:
    DialogAnswers();
    ~DialogAnswers();
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;

    void MessageBoxAnswer(int button);
    // Types path into the file dialog and presses OK; an empty path presses Cancel.
    void FileDialogAnswer(const std::string& path);
    // Saves a screenshot of the box over the main window before the next answer.
    void ScreenshotNextBox(const std::string& name);

    const std::vector<ShownDialog>& Shown() const;
};

// ---- list cells and their in-place editors

// A click at (x, y) of window's client area, delivered to the control the mouse would
// hit there (the deepest visible child).
void ClickAt(HWND window, int x, int y);
// The in-place editor open over a cell of list listId (the edit or the combo box), or null.
HWND CellEditorOf(const Editor& editor, int listId);
// Opens the editor over (row, column) of list listId as a user does: two clicks on the
// cell, more than the double-click time apart. The editor that opened, or null.
HWND OpenCellEditor(Editor& editor, int listId, int row, int column = 1);

}  // namespace ui
