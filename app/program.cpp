// Start-up, message loop and shut-down of the editor.
#include "app/program.h"

#include "framework/app_module.h"
#include "services/messages.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

namespace {

ULONG_PTR gdiplusToken = 0;
bool gdiplusStarted = false;
bool moduleStarted = false;
bool comStarted = false;

}  // namespace

bool StartProgram(HINSTANCE instance, const char* commandLine)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageOwnerSource(MainWindow);

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

    return CreateMainWindow(commandLine);
}

namespace {

// As the loop hands a message on: the main window's shortcuts first (they work in its
// every control, the in-place editors too), then its dialog keys.
// The loop takes messages in UTF-16, although the program's windows are ANSI ones: a typed
// character then reaches the edit controls as the keyboard made it. Taken as ANSI, it
// would be converted in the keyboard language's code page, not the program's, and a
// Greek letter typed on an English keyboard would arrive as '?' even in UTF-8.
void HandOn(MSG* message)
{
    HWND main = MainWindow();
    if (main != nullptr) {
        HACCEL shortcuts = MainWindowShortcuts();
        bool forMain = message->hwnd == main || IsChild(main, message->hwnd);
        if (forMain && shortcuts != nullptr && TranslateAcceleratorW(main, shortcuts, message)) return;
        if (IsDialogMessageW(main, message)) return;
    }
    TranslateMessage(message);
    DispatchMessageW(message);
}

}  // namespace

bool DispatchOneMessage(MSG* message)
{
    if (!PeekMessageW(message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message->message == WM_QUIT) return true;
    HandOn(message);
    return true;
}

void RunMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) HandOn(&message);
}

void EndProgram()
{
    DestroyMainWindow();
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
