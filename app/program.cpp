// Start-up, message loop and shut-down of the editor.
#include "app/program.h"

#include "app/messages.h"
#include "framework/app_module.h"
#include "res/resource.h"
#include "ui/help.h"
#include "ui/main_dialog.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <new>
#include <objbase.h>

namespace {

ULONG_PTR gdiplusToken = 0;
bool gdiplusStarted = false;
bool moduleStarted = false;
bool comStarted = false;

HWND MainWindowForMessages()
{
    return mainDialog != nullptr ? mainDialog->Window() : nullptr;
}

}  // namespace

bool StartProgram(HINSTANCE instance, const char* commandLine)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageOwnerSource(MainWindowForMessages);

    Gdiplus::GdiplusStartupInput input;
    Gdiplus::Status status = Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    if (status != Gdiplus::Ok) {
        ReportMessage((HRESULT)status, nullptr, MB_ICONERROR, IDS_GDIPLUS_FAILED);
        return false;
    }
    gdiplusStarted = true;

    CoInitialize(nullptr);
    comStarted = true;
    InitAppModule(instance);
    moduleStarted = true;

    mainDialog = new (std::nothrow) MainDialog();
    if (mainDialog == nullptr) return false;
    return mainDialog->CreateModeless(IDD_MAIN, nullptr, (LPARAM)commandLine) != nullptr;
}

namespace {

// As the loop hands a message on: the main window's shortcuts first (they work in its
// every control, the in-place editors too), then its dialog keys.
void HandOn(MSG* message)
{
    HWND main = mainDialog != nullptr ? mainDialog->Window() : nullptr;
    if (main != nullptr) {
        HACCEL shortcuts = mainDialog->Shortcuts();
        bool forMain = message->hwnd == main || IsChild(main, message->hwnd);
        if (forMain && shortcuts != nullptr && TranslateAcceleratorA(main, shortcuts, message)) return;
        if (IsDialogMessageA(main, message)) return;
    }
    TranslateMessage(message);
    DispatchMessageA(message);
}

}  // namespace

bool DispatchOneMessage(MSG* message)
{
    if (!PeekMessageA(message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message->message == WM_QUIT) return true;
    HandOn(message);
    return true;
}

void RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) HandOn(&message);
}

void EndProgram()
{
    CloseHelp();
    if (mainDialog != nullptr) {
        // A window still open (a test that ends early) goes first, so that the object
        // is let go before it is destroyed.
        if (mainDialog->Window() != nullptr) DestroyWindow(mainDialog->Window());
        delete mainDialog;
        mainDialog = nullptr;
    }
    if (moduleStarted) {
        TermAppModule();
        moduleStarted = false;
    }
    if (comStarted) {
        CoUninitialize();
        comStarted = false;
    }
    if (gdiplusStarted) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusStarted = false;
    }
    SetMessageOwnerSource(nullptr);
}
