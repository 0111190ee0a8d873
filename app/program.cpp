// Start-up, message loop and shut-down of the editor.
#include "app/program.h"

#include "app/main_window.h"
#include "app/messages.h"
#include "framework/app_module.h"

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
void HandOn(MSG* message)
{
    HWND main = MainWindow();
    if (main != nullptr) {
        HACCEL shortcuts = MainWindowShortcuts();
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
