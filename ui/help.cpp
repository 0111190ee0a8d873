// Help through the HTML Help control. The control's library stays loaded from the first
// request to shut-down, and no help window may outlive it.
#include "ui/help.h"

#include "framework/app_module.h"
#include "services/messages.h"

#include <wchar.h>

namespace {

// The two commands of the HTML Help control that the program uses.
const UINT HH_DISPLAY_TOPIC = 0x0000;
const UINT HH_CLOSE_ALL = 0x0012;

typedef HWND(WINAPI* HtmlHelpProcedure)(HWND owner, const wchar_t* file, UINT command, DWORD_PTR data);

HMODULE helpLibrary = nullptr;
HtmlHelpProcedure htmlHelpProc = nullptr;
HWND helpWindow = nullptr;

void ShowHelpMessage(HWND owner, int id)
{
    char text[256] = "";
    LoadTextString(id, text, (int)sizeof text);
    MessageBoxA(owner, text, nullptr, MB_ICONERROR);
}

// False after telling the user when the control or its entry point is missing; a
// library without the entry point stays loaded and is not reported again.
bool LoadHelpControl()
{
    if (helpLibrary == nullptr) {
        helpLibrary = LoadLibraryA("HHCTRL.ocx");
        if (helpLibrary == nullptr) {
            ShowHelpMessage(nullptr, IDS_HELP_NO_CONTROL);
            return false;
        }
        htmlHelpProc = (HtmlHelpProcedure)(void*)GetProcAddress(helpLibrary, "HtmlHelpW");
        if (htmlHelpProc == nullptr) {
            ShowHelpMessage(nullptr, IDS_HELP_NO_ENTRY);
            return false;
        }
    }
    return htmlHelpProc != nullptr;
}

}  // namespace

bool HelpPathFor(const wchar_t* modulePath, wchar_t* helpPath, size_t size)
{
    const wchar_t* name = modulePath;
    for (const wchar_t* p = modulePath; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
    // Only the file name's extension counts: a dot in a folder's name is not one.
    const wchar_t* dot = wcsrchr(name, L'.');
    if (dot == nullptr) return false;
    size_t stem = (size_t)(dot - modulePath) + 1;
    if (stem + 4 > size) return false;
    wmemcpy(helpPath, modulePath, stem);
    wcscpy(helpPath + stem, L"chm");
    return true;
}

void ShowHelp(HWND owner)
{
    if (!LoadHelpControl()) return;
    wchar_t modulePath[MAX_PATH] = L"";
    wchar_t helpPath[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(appModule.instance, modulePath, MAX_PATH);
    // A path that filled the whole buffer may have been cut: no help file to find there.
    if (length == 0 || length >= MAX_PATH) {
        ShowHelpMessage(owner, IDS_HELP_NO_FILE);
        return;
    }
    if (!HelpPathFor(modulePath, helpPath, MAX_PATH)) return;  // a program without extension
    if (GetFileAttributesW(helpPath) == INVALID_FILE_ATTRIBUTES) {
        ShowHelpMessage(owner, IDS_HELP_NO_FILE);
        return;
    }
    helpWindow = htmlHelpProc(owner, helpPath, HH_DISPLAY_TOPIC, 0);
    if (helpWindow == nullptr) ShowHelpMessage(owner, IDS_HELP_NO_FILE);
}

void CloseHelp()
{
    // Synchronous: every help window is gone before the library that runs them goes.
    if (htmlHelpProc != nullptr) htmlHelpProc(nullptr, nullptr, HH_CLOSE_ALL, 0);
    helpWindow = nullptr;
    htmlHelpProc = nullptr;
    if (helpLibrary != nullptr) FreeLibrary(helpLibrary);
    helpLibrary = nullptr;
}
