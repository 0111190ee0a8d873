// The main window's place, as GetWindowPlacement gives it, in the program's "Settings"
// key.
#include "ui/window_placement.h"

#include "ui/user_key.h"

namespace {

const char SETTINGS_KEY[] = "Settings";
const char PLACEMENT_VALUE[] = "Window Placement";

bool ReadPlacement(WINDOWPLACEMENT& placement)
{
    HKEY key = OpenUserKey(SETTINGS_KEY, false);
    if (key == nullptr) return false;
    DWORD type = 0, size = sizeof placement;
    LONG result = RegQueryValueExA(key, PLACEMENT_VALUE, nullptr, &type, (BYTE*)&placement, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_BINARY && size == sizeof placement &&
           placement.length == sizeof placement;
}

bool OnSomeMonitor(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

}  // namespace

void KeepWindowPlacement(HWND window)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    HKEY key = OpenUserKey(SETTINGS_KEY, true);
    if (key == nullptr) return;
    RegSetValueExA(key, PLACEMENT_VALUE, 0, REG_BINARY, (const BYTE*)&placement, sizeof placement);
    RegCloseKey(key);
}

void RestoreWindowPlacement(HWND window)
{
    WINDOWPLACEMENT kept = {};
    WINDOWPLACEMENT present = {};
    present.length = sizeof present;
    if (!ReadPlacement(kept) || !GetWindowPlacement(window, &present)) return;
    WINDOWPLACEMENT moved = present;
    OffsetRect(&moved.rcNormalPosition, kept.rcNormalPosition.left - present.rcNormalPosition.left,
               kept.rcNormalPosition.top - present.rcNormalPosition.top);
    // A window closed minimized opens as a window: the program never starts as an icon.
    moved.showCmd = IsWindowVisible(window) ? SW_SHOWNORMAL : SW_HIDE;
    moved.flags = 0;
    present.showCmd = moved.showCmd;
    present.flags = 0;
    SetWindowPlacement(window, &moved);
    // The placement is in workspace coordinates and the monitors in screen ones: where
    // the window landed is what tells whether it can be seen.
    if (!OnSomeMonitor(window)) SetWindowPlacement(window, &present);
}
