// The scenario driver: user actions on the real editor window, and the hook that
// answers its message boxes and file dialogs.
#include "tests/support/ui_driver.h"

#include "app/program.h"
#include "ui/main_dialog.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <deque>
#include <set>

namespace ui {

namespace {

const int FILE_NAME_COMBO = 0x47C;  // cmb13: the file name box of the file dialogs
const int FILE_NAME_EDIT = 0x480;   // edt1: the same in older dialogs
const int ANSWER_DELAY_MS = 80;     // lets a box paint before it is answered

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text((size_t)length + 1, '\0');
    GetWindowTextA(window, &text[0], length + 1);
    text.resize((size_t)length);
    return text;
}

struct ButtonUp {
    HWND window;
    LPARAM point;
    bool posted;
};
ButtonUp pendingButtonUp = {nullptr, 0, true};

void CALLBACK PostButtonUp(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    PostMessageA(pendingButtonUp.window, WM_LBUTTONUP, 0, pendingButtonUp.point);
    pendingButtonUp.posted = true;
}

// In the order the mouse gives them: what the button-down starts (posted requests, focus
// changes) runs before the button goes up. The button-up comes from a timer, which also
// reaches a control that tracks the mouse in a loop of its own.
void PostClick(HWND window, int x, int y)
{
    pendingButtonUp = ButtonUp{window, MAKELPARAM(x, y), false};
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SetTimer(nullptr, 0, 20, PostButtonUp);
    PumpUntil([] { return pendingButtonUp.posted; }, 2000);
}

std::string TreeItemText(HWND tree, HTREEITEM item)
{
    char text[512] = "";
    TVITEMA data = {};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&data);
    return data.pszText != nullptr ? std::string(data.pszText) : std::string();
}

bool PngEncoder(CLSID* encoder)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0) return false;
    std::vector<char> buffer(size);
    Gdiplus::ImageCodecInfo* codecs = (Gdiplus::ImageCodecInfo*)buffer.data();
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The screen inside rect, as a PNG file.
bool SaveScreenRect(const RECT& rect, const std::string& name)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    CreateDirectoryA(SCREENS_DIR, nullptr);
    std::string path = std::string(SCREENS_DIR) + "/" + name + ".png";
    std::wstring widePath(path.begin(), path.end());
    CLSID encoder;
    bool saved = false;
    if (PngEncoder(&encoder)) {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(widePath.c_str(), &encoder, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    return saved;
}

// ---------------------------------------------------------------- the answering hook

struct Answer {
    bool fileDialog;
    int button;
    std::string path;
};

struct AnswerState {
    HHOOK hook = nullptr;
    std::deque<Answer> answers;
    std::vector<ShownDialog> shown;
    std::set<HWND> seen;
    std::string screenshotName;
    HWND waiting = nullptr;
    bool waitingIsFile = false;
};

AnswerState* answering = nullptr;

std::string ClassName(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

void AnswerWaitingDialog()
{
    HWND dialog = answering->waiting;
    answering->waiting = nullptr;
    if (dialog == nullptr || !IsWindow(dialog)) return;
    if (!answering->screenshotName.empty()) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT box = {}, main = {};
        GetWindowRect(dialog, &box);
        if (mainDialog != nullptr && mainDialog->Window() != nullptr) {
            GetWindowRect(mainDialog->Window(), &main);
            UnionRect(&box, &box, &main);
        }
        SaveScreenRect(box, answering->screenshotName);
        answering->screenshotName.clear();
    }
    // The default button: the one drawn as default, which Enter presses.
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == "Button" && (GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
            answering->shown.back().defaultButton = GetDlgCtrlID(child);
        }
    }
    bool isFile = answering->waitingIsFile;
    Answer answer{isFile, 0, ""};
    if (!answering->answers.empty() && answering->answers.front().fileDialog == isFile) {
        answer = answering->answers.front();
        answering->answers.pop_front();
    } else if (!isFile) {
        // Nothing waiting: the way out that changes least.
        answer.button = GetDlgItem(dialog, IDCANCEL) ? IDCANCEL : GetDlgItem(dialog, IDNO) ? IDNO : IDOK;
    }
    if (isFile) {
        if (answer.path.empty()) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        int box = GetDlgItem(dialog, FILE_NAME_COMBO) ? FILE_NAME_COMBO : FILE_NAME_EDIT;
        SetDlgItemTextA(dialog, box, answer.path.c_str());
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return;
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, answer.button));
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (answering != nullptr) AnswerWaitingDialog();
}

LRESULT CALLBACK AnswerHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && answering != nullptr) {
        HWND window = (HWND)wParam;
        bool isMain = mainDialog != nullptr && window == mainDialog->Window();
        if (!isMain && ClassName(window) == "#32770" && answering->seen.insert(window).second) {
            ShownDialog shown;
            shown.caption = WindowText(window);
            shown.fileDialog = GetDlgItem(window, FILE_NAME_COMBO) != nullptr ||
                               GetDlgItem(window, FILE_NAME_EDIT) != nullptr;
            HWND text = GetDlgItem(window, 0xFFFF);
            shown.text = text != nullptr ? WindowText(text) : "";
            const struct {
                int id;
                const char* name;
            } buttons[] = {{IDOK, "OK"}, {IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
            if (!shown.fileDialog) {
                for (const auto& button : buttons) {
                    if (GetDlgItem(window, button.id) == nullptr) continue;
                    if (!shown.buttons.empty()) shown.buttons += " ";
                    shown.buttons += button.name;
                }
            }
            shown.defaultButton = 0;  // read once the box has set itself up
            HWND owner = GetWindow(window, GW_OWNER);
            shown.hasOwner = owner != nullptr && mainDialog != nullptr && owner == mainDialog->Window();
            answering->shown.push_back(shown);
            answering->waiting = window;
            answering->waitingIsFile = shown.fileDialog;
            SetTimer(nullptr, 0, ANSWER_DELAY_MS, AnswerTimer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------- pumping

void Pump(int ms)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (DispatchOneMessage(&message)) {
        }
        Sleep(5);
    } while (GetTickCount() - start < (DWORD)ms);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > (DWORD)timeoutMs) return false;
        Pump(10);
    }
    return true;
}

// ---------------------------------------------------------------- the editor

Editor::Editor(const std::string& commandLine)
{
    StartProgram(GetModuleHandleA(nullptr), commandLine.c_str());
    Pump(120);
}

Editor::~Editor()
{
    EndProgram();
    // What the closing left behind (the quit message among it) is not the next test's.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

bool Editor::IsRunning() const
{
    return mainDialog != nullptr && mainDialog->Window() != nullptr;
}

HWND Editor::Window() const
{
    return mainDialog != nullptr ? mainDialog->Window() : nullptr;
}

HWND Editor::Item(int id) const
{
    return GetDlgItem(Window(), id);
}

std::string Editor::Title() const
{
    return WindowText(Window());
}

std::vector<std::string> Editor::TreeItems() const
{
    std::vector<std::string> items;
    HWND tree = Item(1035);
    for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        std::string name = TreeItemText(tree, item);
        items.push_back(name);
        for (HTREEITEM child = TreeView_GetChild(tree, item); child != nullptr;
             child = TreeView_GetNextSibling(tree, child)) {
            items.push_back(name + "/" + TreeItemText(tree, child));
        }
    }
    return items;
}

bool Editor::SelectTreeItem(const std::string& path)
{
    std::string wanted = path;
    int occurrence = 1;
    size_t hash = wanted.find('#');
    if (hash != std::string::npos) {
        occurrence = atoi(wanted.c_str() + hash + 1);
        wanted = wanted.substr(0, hash);
    }
    HWND tree = Item(1035);
    HTREEITEM found = nullptr;
    int seen = 0;
    for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr && found == nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
        std::string name = TreeItemText(tree, item);
        if (name == wanted && ++seen == occurrence) found = item;
        for (HTREEITEM child = TreeView_GetChild(tree, item); child != nullptr && found == nullptr;
             child = TreeView_GetNextSibling(tree, child)) {
            if (name + "/" + TreeItemText(tree, child) == wanted && ++seen == occurrence) found = child;
        }
    }
    if (found == nullptr) return false;
    TreeView_EnsureVisible(tree, found);
    RECT rect = {};
    if (!TreeView_GetItemRect(tree, found, &rect, TRUE)) return false;
    PostClick(tree, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return PumpUntil([&] { return TreeView_GetSelection(tree) == found; }, 2000);
}

void Editor::ClickButton(int id)
{
    HWND button = Item(id);
    // A user cannot click a disabled or hidden button.
    if (button == nullptr || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
    RECT rect = {};
    GetClientRect(button, &rect);
    PostClick(button, rect.right / 2, rect.bottom / 2);
    Pump();
}

void Editor::TypeInto(int id, const std::string& text)
{
    HWND control = Item(id);
    if (control == nullptr || !IsWindowEnabled(control)) return;
    SetFocus(control);
    // The caret goes to the end of the text, as a click after its end puts it.
    int length = GetWindowTextLengthA(control);
    SendMessageA(control, EM_SETSEL, (WPARAM)length, length);
    for (unsigned char c : text) PostMessageA(control, WM_CHAR, c, 1);
    Pump();
}

void Editor::PressKey(UINT virtualKey)
{
    HWND target = GetFocus() != nullptr ? GetFocus() : Window();
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, (LPARAM)0xC0000001);
    Pump();
}

void Editor::ChooseMenu(UINT command)
{
    // What the menu sends when an item is chosen.
    PostMessageA(Window(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    Pump();
}

int Editor::ListRows(int listId) const
{
    return (int)SendMessageA(Item(listId), LVM_GETITEMCOUNT, 0, 0);
}

std::string Editor::ListCell(int listId, int row, int column) const
{
    char text[1024] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(Item(listId), LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return text;
}

std::string Editor::ItemText(int id) const
{
    return WindowText(Item(id));
}

bool Editor::IsEnabled(int id) const
{
    return IsWindowEnabled(Item(id)) != FALSE;
}

bool Editor::IsVisible(int id) const
{
    return IsWindowVisible(Item(id)) != FALSE;
}

bool Editor::Screenshot(const std::string& name) const
{
    RedrawWindow(Window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME | RDW_INVALIDATE);
    Pump(100);
    RECT rect = {};
    GetWindowRect(Window(), &rect);
    return SaveScreenRect(rect, name);
}

// ---------------------------------------------------------------- answers

DialogAnswers::DialogAnswers()
{
    answering = new AnswerState();
    answering->hook = SetWindowsHookExA(WH_CBT, AnswerHook, nullptr, GetCurrentThreadId());
}

DialogAnswers::~DialogAnswers()
{
    UnhookWindowsHookEx(answering->hook);
    delete answering;
    answering = nullptr;
}

void DialogAnswers::MessageBoxAnswer(int button)
{
    answering->answers.push_back(Answer{false, button, ""});
}

void DialogAnswers::FileDialogAnswer(const std::string& path)
{
    answering->answers.push_back(Answer{true, 0, path});
}

void DialogAnswers::ScreenshotNextBox(const std::string& name)
{
    answering->screenshotName = name;
}

const std::vector<ShownDialog>& DialogAnswers::Shown() const
{
    return answering->shown;
}

// ---------------------------------------------------------------- cells

void ClickAt(HWND window, int x, int y)
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

HWND CellEditorOf(const Editor& editor, int listId)
{
    HWND list = editor.Item(listId);
    HWND edit = GetDlgItem(list, 1200);
    return edit != nullptr ? edit : GetDlgItem(list, 555);
}

HWND OpenCellEditor(Editor& editor, int listId, int row, int column)
{
    HWND list = editor.Item(listId);
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, (WPARAM)row, (LPARAM)&cell)) return nullptr;
    int x = (cell.left + cell.right) / 2, y = (cell.top + cell.bottom) / 2;
    ClickAt(list, x, y);
    Pump(GetDoubleClickTime() + 50);
    ClickAt(list, x, y);
    Pump();
    return CellEditorOf(editor, listId);
}

}  // namespace ui
