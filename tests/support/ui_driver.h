// A small vocabulary of user actions for scenario tests of the real editor under Wine:
// start the program as its entry point does, click, type, press keys, choose menu
// commands, answer message boxes and file dialogs as a user does, read back what the
// window shows, and take screenshots into SCREENS_DIR.
#pragma once

#include "app/program.h"
#include "res/resource.h"
#include "tests/support/temp_folder.h"
#include "ui/main_dialog.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gdiplus.h>
#include <deque>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <string.h>
#include <vector>

namespace ui {

typedef std::vector<std::string> Names;

// ---------------------------------------------------------------- the driver

// Handles the thread's messages as the program's loop does, for about ms milliseconds.
inline void Pump(int ms = 60)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (DispatchOneMessage(&message)) {
        }
        Sleep(5);
    } while (GetTickCount() - start < (DWORD)ms);
}

inline std::string Text(HWND window)
{
    std::string text((size_t)GetWindowTextLengthA(window) + 1, '\0');
    text.resize((size_t)GetWindowTextA(window, &text[0], (int)text.size()));
    return text;
}

// Pumps until done() is true or timeoutMs passes; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    for (int waited = 0; !done(); waited += 20) {
        if (waited > timeoutMs) return false;
        Pump(20);
    }
    return true;
}

struct ButtonUp {
    HWND window;
    LPARAM point;
    bool posted;
};
inline ButtonUp pendingButtonUp = {nullptr, 0, true};

inline void CALLBACK PostButtonUp(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    PostMessageA(pendingButtonUp.window, WM_LBUTTONUP, 0, pendingButtonUp.point);
    pendingButtonUp.posted = true;
}

// In the order the mouse gives them: what the button-down starts (posted requests, focus
// changes) runs before the button goes up. The button-up comes from a timer, which also
// reaches a control that tracks the mouse in a loop of its own.
inline void PostClick(HWND window, int x, int y)
{
    pendingButtonUp = ButtonUp{window, MAKELPARAM(x, y), false};
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SetTimer(nullptr, 0, 20, PostButtonUp);
    PumpUntil([] { return pendingButtonUp.posted; }, 2000);
}

// The screen inside rect, as SCREENS_DIR/name.png; with the mouse cursor drawn in when
// asked, which the screen's own pixels do not hold.
inline void SaveScreen(const RECT& rect, const std::string& name, bool withCursor = false)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rect.right - rect.left, rect.bottom - rect.top);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof cursor;
    ICONINFO icon = {};
    if (withCursor && GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) && GetIconInfo(cursor.hCursor, &icon)) {
        DrawIconEx(memory, cursor.ptScreenPos.x - (int)icon.xHotspot - rect.left,
                   cursor.ptScreenPos.y - (int)icon.yHotspot - rect.top, cursor.hCursor, 0, 0, 0, nullptr, DI_NORMAL);
        if (icon.hbmMask != nullptr) DeleteObject(icon.hbmMask);
        if (icon.hbmColor != nullptr) DeleteObject(icon.hbmColor);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<char> buffer(size + 1);
    Gdiplus::ImageCodecInfo* codecs = (Gdiplus::ImageCodecInfo*)buffer.data();
    Gdiplus::GetImageEncoders(count, size, codecs);
    CreateDirectoryA(SCREENS_DIR, nullptr);
    std::string path = std::string(SCREENS_DIR) + "/" + name + ".png";
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") != 0) continue;
        Gdiplus::Bitmap image(bitmap, nullptr);
        image.Save(std::wstring(path.begin(), path.end()).c_str(), &codecs[i].Clsid, nullptr);
    }
    DeleteObject(bitmap);
}

// The editor started as its entry point starts it, with a command-line tail: what the
// user does with it and what its window shows.
class Editor {
public:
    explicit Editor(const std::string& commandLine = "")
    {
        StartProgram(GetModuleHandleA(nullptr), commandLine.c_str());
        Pump(120);
    }
    ~Editor()
    {
        EndProgram();
        // What the closing left behind (the quit message among it) is not the next test's.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    HWND Window() const { return mainDialog != nullptr ? mainDialog->Window() : nullptr; }
    HWND Item(int id) const { return GetDlgItem(Window(), id); }
    bool IsRunning() const { return Window() != nullptr; }
    std::string Title() const { return Text(Window()); }
    std::string ItemText(int id) const { return Text(Item(id)); }
    bool IsEnabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool IsVisible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
    int Rows(int list) const { return (int)SendMessageA(Item(list), LVM_GETITEMCOUNT, 0, 0); }
    std::string Cell(int list, int row, int column) const
    {
        char text[1024] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Item(list), LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
        return text;
    }

    // The tree as "name" and "group/name" items in display order.
    std::vector<std::pair<std::string, HTREEITEM>> Tree() const
    {
        std::vector<std::pair<std::string, HTREEITEM>> items;
        HWND tree = Item(IDC_PROPERTY_TREE);
        auto name = [tree](HTREEITEM item) {
            char text[512] = "";
            TVITEMA data = {};
            data.mask = TVIF_TEXT | TVIF_HANDLE;
            data.hItem = item;
            data.pszText = text;
            data.cchTextMax = sizeof text;
            SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
            return std::string(data.pszText);
        };
        for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
            items.push_back({name(item), item});
            for (HTREEITEM child = TreeView_GetChild(tree, item); child != nullptr;
                 child = TreeView_GetNextSibling(tree, child)) {
                items.push_back({name(item) + "/" + name(child), child});
            }
        }
        return items;
    }
    Names TreeItems() const
    {
        Names names;
        for (const auto& item : Tree()) names.push_back(item.first);
        return names;
    }

    // A click on the text of the item at path ("N", "work/TEL"); false when there is none.
    bool Select(const std::string& path)
    {
        HWND tree = Item(IDC_PROPERTY_TREE);
        for (const auto& item : Tree()) {
            if (item.first != path) continue;
            TreeView_EnsureVisible(tree, item.second);
            RECT rect = {};
            if (!TreeView_GetItemRect(tree, item.second, &rect, TRUE)) return false;
            PostClick(tree, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
            for (int waited = 0; TreeView_GetSelection(tree) != item.second; waited += 10) {
                if (waited > 2000) return false;
                Pump(10);
            }
            return true;
        }
        return false;
    }
    // A click on a button; a user cannot click a disabled or hidden one.
    void Click(int id)
    {
        RECT rect = {};
        GetClientRect(Item(id), &rect);
        if (IsEnabled(id) && IsVisible(id)) PostClick(Item(id), rect.right / 2, rect.bottom / 2);
        Pump();
    }
    // Typing at the end of the text, as a click after its end puts the caret there.
    void Type(int id, const std::string& text)
    {
        SetFocus(Item(id));
        SendMessageA(Item(id), EM_SETSEL, GetWindowTextLengthA(Item(id)), GetWindowTextLengthA(Item(id)));
        for (unsigned char c : text) PostMessageA(Item(id), WM_CHAR, c, 1);
        Pump();
    }
    void Press(UINT key)
    {
        HWND target = GetFocus() != nullptr ? GetFocus() : Window();
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, (LPARAM)0xC0000001);
        Pump();
    }
    // What the menu sends when one of its items is chosen.
    void Menu(UINT command)
    {
        PostMessageA(Window(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
        Pump();
    }
    // The main window, frame included, as SCREENS_DIR/name.png.
    void Screenshot(const std::string& name) const
    {
        RedrawWindow(Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME | RDW_INVALIDATE);
        Pump(100);
        RECT rect = {};
        GetWindowRect(Window(), &rect);
        SaveScreen(rect, name);
    }
};

// The file name field of a common file dialog (a combo box, or an edit in the older
// template); 0 when window is no file dialog.
inline int FileNameField(HWND window)
{
    if (GetDlgItem(window, cmb13) != nullptr) return cmb13;
    return GetDlgItem(window, edt1) != nullptr ? edt1 : 0;
}

// The id of a message box's text.
const int MESSAGE_BOX_TEXT = 0xFFFF;

// A box or file dialog that was shown, as the user saw it.
struct Shown {
    std::string caption;  // a box's caption; a file dialog's title
    std::string text;     // a box's text, "<file>" for a file dialog
    std::string buttons;  // a box's buttons in order, as "Yes No Cancel"
    int defaultButton;    // the button Enter presses
    bool hasOwner;        // owned by the main window
    std::string owner;    // its owner's caption
};

// Answers the message boxes and file dialogs of this thread in order, as a user does
// after a short look, and notes each one. A box with no answer waiting is cancelled (and
// noted), so that a test never hangs. Answers: "Yes", "No", "OK", "Cancel", "file:PATH"
// (typed into a file dialog, then OK) and "file:" (Cancel).
class Answers {
public:
    Answers(const std::string& answers = "")
    {
        std::string answer;
        for (std::istringstream words(answers); words >> answer;) waiting.push_back(answer);
        current = this;
        hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~Answers()
    {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }
    void Add(const std::string& answer) { waiting.push_back(answer); }
    // The next box is photographed over the main window before it is answered.
    void ScreenshotNextBox(const std::string& name) { screenshot = name; }
    // The texts of those shown as "first line|first line".
    std::string Lines() const
    {
        std::string lines;
        for (const Shown& one : shown) lines += (lines.empty() ? "" : "|") + one.text.substr(0, one.text.find('\n'));
        return lines;
    }

    std::vector<Shown> shown;
    std::deque<std::string> waiting;
    // Captions of dialogs that a test drives itself: never answered here.
    static inline std::set<std::string> drivenElsewhere;

    // The program's own modal dialog whose caption begins with caption, when it comes up
    // next, is driven by steps instead of being answered: each step runs from the
    // dialog's own loop, once the one before it has had its effect and no box is open.
    // A dialog still open after its last step is cancelled, and noted in leftOpen.
    typedef std::function<void(HWND dialog)> Step;
    void Drive(const std::string& caption, std::vector<Step> steps) { scripts.push_back({caption, std::move(steps)}); }
    std::vector<std::string> driven;   // the captions of the dialogs driven, in order
    std::vector<std::string> leftOpen;
    size_t ScriptsWaiting() const { return scripts.size(); }

private:
    struct Script {
        std::string caption;
        std::vector<Step> steps;
    };
    bool TakeScript(HWND window)
    {
        if (scripts.empty() || Text(window).compare(0, scripts.front().caption.size(), scripts.front().caption) != 0) {
            return false;
        }
        running = scripts.front();
        scripts.pop_front();
        runningDialog = window;
        nextStep = 0;
        driven.push_back(Text(window));
        SetTimer(nullptr, 0, 120, RunStep);
        return true;
    }
    static void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD)
    {
        Answers* self = current;
        if (self == nullptr || !IsWindow(self->runningDialog)) {
            KillTimer(nullptr, timer);
            return;
        }
        // A box is being answered, or its closing has not given the focus back yet.
        if (IsWindow(self->box) || !IsWindowEnabled(self->runningDialog) || GetFocus() == nullptr) return;
        if (self->nextStep < self->running.steps.size()) {
            self->running.steps[self->nextStep++](self->runningDialog);
            return;
        }
        KillTimer(nullptr, timer);
        self->leftOpen.push_back(Text(self->runningDialog));
        PostMessageA(self->runningDialog, WM_COMMAND, IDCANCEL, 0);
    }

    std::deque<Script> scripts;
    Script running;
    HWND runningDialog = nullptr;
    size_t nextStep = 0;

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND window = (HWND)wParam;
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (code == HCBT_ACTIVATE && current != nullptr && strcmp(name, "#32770") == 0 &&
            (mainDialog == nullptr || window != mainDialog->Window()) && drivenElsewhere.count(Text(window)) == 0 &&
            current->seen.insert(window).second) {
            if (current->TakeScript(window)) return CallNextHookEx(nullptr, code, wParam, lParam);
            bool file = FileNameField(window) != 0;
            Shown box = {Text(window), file ? "<file>" : Text(GetDlgItem(window, MESSAGE_BOX_TEXT)), "", 0, false, ""};
            const std::pair<int, const char*> buttons[] = {{IDOK, "OK"}, {IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
            for (const auto& button : buttons) {
                if (file || GetDlgItem(window, button.first) == nullptr) continue;
                box.buttons += (box.buttons.empty() ? "" : " ") + std::string(button.second);
            }
            HWND owner = GetWindow(window, GW_OWNER);
            box.hasOwner = owner != nullptr && mainDialog != nullptr && owner == mainDialog->Window();
            box.owner = owner != nullptr ? Text(owner) : "";
            current->shown.push_back(box);
            current->box = window;
            SetTimer(nullptr, 0, 80, Answer);  // lets the box paint before it is answered
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static void CALLBACK Answer(HWND, UINT, UINT_PTR timer, DWORD)
    {
        KillTimer(nullptr, timer);
        if (current == nullptr || !IsWindow(current->box)) return;
        HWND box = current->box;
        if (!current->screenshot.empty()) {
            RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            RECT rect = {}, main = {};
            GetWindowRect(box, &rect);
            GetWindowRect(mainDialog->Window(), &main);
            UnionRect(&rect, &rect, &main);
            SaveScreen(rect, current->screenshot);
            current->screenshot.clear();
        }
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            char name[16] = "";
            GetClassNameA(child, name, sizeof name);
            bool isDefault = strcmp(name, "Button") == 0 && (GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
            if (isDefault) current->shown.back().defaultButton = GetDlgCtrlID(child);
        }
        bool file = current->shown.back().text == "<file>";
        std::string answer = file ? "file:" : "Cancel";
        if (!current->waiting.empty() && (current->waiting.front().compare(0, 5, "file:") == 0) == file) {
            answer = current->waiting.front();
            current->waiting.pop_front();
        }
        int button = answer == "Yes" ? IDYES : answer == "No" ? IDNO : answer == "OK" ? IDOK : IDCANCEL;
        if (file && answer.size() > 5) {
            SetDlgItemTextA(box, FileNameField(box), answer.c_str() + 5);
            button = IDOK;
        } else if (!file && GetDlgItem(box, button) == nullptr) {
            button = GetDlgItem(box, IDNO) != nullptr ? IDNO : IDOK;  // the way out that changes least
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    }

    static inline Answers* current = nullptr;
    HHOOK hook;
    std::set<HWND> seen;
    HWND box = nullptr;
    std::string screenshot;
};

// ---- list cells and their in-place editors

// A click at (x, y) of window's client area, delivered to the control the mouse would
// hit there (the deepest visible child).
inline void ClickAt(HWND window, int x, int y)
{
    POINT point = {x, y};
    HWND target = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    while (target != nullptr && target != window) {
        MapWindowPoints(window, target, &point, 1);
        window = target;
        target = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    }
    PostClick(window, point.x, point.y);
}

// The in-place editor open over a cell of list listId (the edit or the combo box), or null.
inline HWND CellEditorOf(const Editor& editor, int listId)
{
    HWND list = editor.Item(listId);
    HWND edit = GetDlgItem(list, IDC_INPLACE_EDIT);
    return edit != nullptr ? edit : GetDlgItem(list, IDC_INPLACE_COMBO);
}

// Opens the editor over (row, column) of list listId as a user does: two clicks on the
// cell, more than the double-click time apart. The editor that opened, or null.
inline HWND OpenCellEditor(Editor& editor, int listId, int row, int column = 1)
{
    HWND list = editor.Item(listId);
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, (WPARAM)row, (LPARAM)&cell)) return nullptr;
    int x = (cell.left + cell.right) / 2, y = (cell.top + cell.bottom) / 2;
    ClickAt(list, x, y);
    Pump((int)GetDoubleClickTime() + 50);
    ClickAt(list, x, y);
    Pump();
    return CellEditorOf(editor, listId);
}

// ---- pop-up menus and the controls of a dialog

// The window, frame included, with the main window behind it, as SCREENS_DIR/name.png.
inline void ScreenshotOver(HWND window, const std::string& name)
{
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME | RDW_INVALIDATE);
    RECT rect = {}, main = {};
    GetWindowRect(window, &rect);
    GetWindowRect(mainDialog->Window(), &main);
    UnionRect(&rect, &rect, &main);
    SaveScreen(rect, name);
}

// What the last pop-up menu showed, as "&New ...|&Delete (grayed)", and how many showed.
struct MenuSeen {
    std::string items;
    int menus = 0;
};
inline MenuSeen menuSeen;
inline UINT menuCommand = 0;
inline std::string menuScreenshot;

// Once the menu is up: notes it, and chooses menuCommand with the keys when it is there
// and enabled, else closes it with Escape.
inline void CALLBACK ChooseFromMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = FindWindowA("#32768", nullptr);
    HMENU menu = window != nullptr ? (HMENU)SendMessageA(window, MN_GETHMENU, 0, 0) : nullptr;
    if (menu == nullptr || !IsWindowVisible(window)) return;  // not up yet
    KillTimer(nullptr, timer);
    if (!menuScreenshot.empty()) ScreenshotOver(window, menuScreenshot);
    ++menuSeen.menus;
    menuSeen.items.clear();
    int position = -1;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        GetMenuStringA(menu, (UINT)i, text, sizeof text, MF_BYPOSITION);
        bool grayed = (GetMenuState(menu, (UINT)i, MF_BYPOSITION) & MF_GRAYED) != 0;
        menuSeen.items += (i == 0 ? "" : "|") + std::string(text) + (grayed ? " (grayed)" : "");
        if (GetMenuItemID(menu, i) == menuCommand && !grayed) position = i;
    }
    std::vector<UINT> keys(position >= 0 ? (size_t)position + 1 : 0, VK_DOWN);
    keys.push_back(position >= 0 ? VK_RETURN : VK_ESCAPE);
    for (UINT key : keys) {
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, (LPARAM)0xC0000001);
    }
}

// Chooses command in the next pop-up menu that opens; called before what opens it.
inline void ChooseInNextMenu(UINT command, const std::string& screenshot = "")
{
    menuCommand = command;
    menuScreenshot = screenshot;
    SetTimer(nullptr, 0, screenshot.empty() ? 60 : 300, ChooseFromMenu);
}

// A right click at (x, y) of control's client area, the mouse there.
inline void RightClick(HWND control, int x, int y)
{
    POINT screen = {x, y};
    ClientToScreen(control, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageA(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    PostMessageA(control, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    Pump(150);
}

// Inside a dialog step: what a user does with its controls.
inline void ClickButton(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
inline void TypeInto(HWND dialog, int id, const std::string& text)
{
    SetFocus(GetDlgItem(dialog, id));
    for (unsigned char c : text) PostMessageA(GetDlgItem(dialog, id), WM_CHAR, c, 1);
}
inline void PressKey(UINT key)
{
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageA(GetFocus(), WM_KEYUP, key, (LPARAM)0xC0000001);
}
// A click on the row's text in a list (a double click when twice).
inline void ClickRow(HWND dialog, int listId, int row, bool twice = false, int column = 0)
{
    HWND list = GetDlgItem(dialog, listId);
    SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, (WPARAM)row, (LPARAM)&cell);
    LPARAM at = MAKELPARAM(cell.left + 8, (cell.top + cell.bottom) / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
    }
}
inline int ListSelection(HWND dialog, int listId)
{
    return (int)SendDlgItemMessageA(dialog, listId, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}
inline std::string CellText(HWND dialog, int listId, int row, int column)
{
    char text[256] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendDlgItemMessageA(dialog, listId, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return text;
}

}  // namespace ui
