// The main window's life: its making for the start-up, its set-up and its end, the
// commands that open other windows, and the in-place editing it hands to its session.
#include "ui/main_dialog.h"

#include "res/resource.h"
#include "services/messages.h"
#include "ui/about_dialog.h"
#include "ui/help.h"
#include "ui/main_window.h"
#include "ui/shell_calls.h"
#include "ui/view_messages.h"
#include "ui/window_placement.h"

#include <new>
#include <stdlib.h>

MainDialog* mainDialog = nullptr;

// ---------------------------------------------------------------- the start-up's view

bool CreateMainWindow(const char* commandLine)
{
    mainDialog = new (std::nothrow) MainDialog();
    if (mainDialog == nullptr) return false;
    return mainDialog->CreateModeless(IDD_MAIN, nullptr, (LPARAM)commandLine) != nullptr;
}

HWND MainWindow()
{
    return mainDialog != nullptr ? mainDialog->Window() : nullptr;
}

HACCEL MainWindowShortcuts()
{
    return mainDialog != nullptr ? mainDialog->Shortcuts() : nullptr;
}

void DestroyMainWindow()
{
    CloseHelp();
    if (mainDialog == nullptr) return;
    // A window still open (a test that ends early) goes first, so that the object is let
    // go before it is destroyed.
    if (mainDialog->Window() != nullptr) DestroyWindow(mainDialog->Window());
    delete mainDialog;
    mainDialog = nullptr;
}

const MainDialog::MapEntry MainDialog::messageMap[] = {
    // window life
    MapEntry::Message(WM_INITDIALOG, &MainDialog::OnInitDialog),
    MapEntry::Message(WM_DESTROY, &MainDialog::OnDestroy),
    MapEntry::Command(IDC_HELP_CONTENTS, &MainDialog::OnHelp),
    MapEntry::Command(ID_HELP_ABOUT, &MainDialog::OnAbout),
    // property view
    MapEntry::Chain<PropertyView, &MainDialog::view>(),
    // in-place cell editing
    MapEntry::Message(UM_BEGINEDIT, &MainDialog::OnBeginEdit),
    MapEntry::Message(UM_ENDEDIT, &MainDialog::OnEndEdit),
    MapEntry::Message(UM_CANCELEDIT, &MainDialog::OnCancelEdit),
    MapEntry::Message(UM_COMMITVALUE, &MainDialog::OnCommitValue),
    // adding and deleting
    MapEntry::Chain<ItemCommands, &MainDialog::items>(),
    // settings
    MapEntry::Command(ID_EDIT_SETTINGS, &MainDialog::OnSettings),
    // file commands
    MapEntry::Chain<FileCommands, &MainDialog::files>(),
    // notifications no entry took go back to the controls they concern
    MapEntry::Reflect(),
};
MESSAGE_MAP_HANDLER(MainDialog)

MainDialog::MainDialog()
    : escapeColon(nullptr), shortcuts(nullptr), files(*this), view(*this), items(*this), cellEdit(*this)
{}

MainDialog::~MainDialog()
{
    // The window's destruction released everything; this covers a window never made.
    cellEdit.Abandon();
    files.DiscardAll();
    free(escapeColon);
}

LRESULT MainDialog::OnBeginEdit(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    HWND list = (HWND)lParam;
    if (list != Item(IDC_COMPONENT_LIST) && list != Item(IDC_PARAMETER_LIST)) return 0;
    CommitOpenEditor();
    cellEdit.Begin(list, (int)wParam, view.SelectedProperty());
    return 0;
}

LRESULT MainDialog::OnEndEdit(UINT, WPARAM wParam, LPARAM lParam, bool&)
{
    cellEdit.End((HWND)wParam, (HWND)lParam);
    return 0;
}

LRESULT MainDialog::OnCancelEdit(UINT, WPARAM, LPARAM lParam, bool&)
{
    cellEdit.Cancel((HWND)lParam);
    return 0;
}

LRESULT MainDialog::OnCommitValue(UINT, WPARAM, LPARAM lParam, bool&)
{
    cellEdit.StorePosted((CellCommit*)lParam);
    return 0;
}

void MainDialog::OnLastMessage(HWND)
{
    PostQuitMessage(0);
}

// ---------------------------------------------------------------- window life

void MainDialog::SetUpViews()
{
    view.SetUpViews();

    HICON icon = LoadIconA(appModule.instance, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)icon);
    HICON smallIcon = (HICON)LoadImageA(appModule.instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);

    cellEdit.AttachLists(Item(IDC_PARAMETER_LIST), Item(IDC_COMPONENT_LIST));
    shortcuts = LoadAcceleratorsA(appModule.instance, MAKEINTRESOURCEA(IDR_MAIN_SHORTCUTS));
}

LRESULT MainDialog::OnInitDialog(UINT, WPARAM, LPARAM lParam, bool&)
{
    SetUpViews();
    SetUpImageButtons();
    escapeColon = (int*)calloc(1, sizeof(int));
    if (escapeColon == nullptr) return FALSE;
    RestoreWindowPlacement(hwnd);
    files.AttachRecentFiles(GetSubMenu(GetMenu(hwnd), 0));
    AcceptDroppedFiles(hwnd);
    files.StartWithCommandLine((const char*)lParam);
    return TRUE;
}

LRESULT MainDialog::OnDestroy(UINT, WPARAM, LPARAM, bool&)
{
    KeepWindowPlacement(hwnd);
    for (ImageButton& button : imageButtons) button.Unsubclass();
    // The editor goes with the window; what it held was not committed.
    cellEdit.Abandon();
    files.DiscardAll();
    view.ReleaseViews();
    free(escapeColon);
    escapeColon = nullptr;
    items.ReleaseMenu();
    return 0;
}

LRESULT MainDialog::OnHelp(WORD, WORD, HWND, bool&)
{
    CommitOpenEditor();
    ShowHelp(hwnd);
    return 0;
}

LRESULT MainDialog::OnAbout(WORD, WORD, HWND, bool&)
{
    CommitOpenEditor();
    ShowAboutBox(hwnd);
    return 0;
}

// Each button gets its picture and is taken over; a picture that cannot be had is
// reported once, and that button and the ones after it stay plain.
void MainDialog::SetUpImageButtons()
{
    static const struct {
        int control;
        int picture;
    } buttons[IMAGE_BUTTON_COUNT] = {{IDC_OPEN, IDP_OPEN},
                                     {IDC_SAVE, IDP_SAVE},
                                     {IDC_UNDO, IDP_UNDO},
                                     {IDC_HELP_CONTENTS, IDP_HELP},
                                     {IDCANCEL, IDP_EXIT}};
    for (int i = 0; i < IMAGE_BUTTON_COUNT; ++i) {
        HRESULT result = imageButtons[i].LoadPngStream(buttons[i].picture);
        if (FAILED(result)) {
            ReportMessage(result, nullptr, MB_ICONERROR, IDS_GDIPLUS_FAILED);
            return;
        }
        imageButtons[i].Subclass(Item(buttons[i].control));
    }
}
