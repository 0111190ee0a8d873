// comdlg32 and shell32, loaded on first use: see shell_calls.h.
#include "ui/shell_calls.h"

#include "services/messages.h"

namespace {

// A system library, loaded from the system folder on its first use and kept to the end.
// Null after the user has been told why it could not be loaded.
HMODULE SystemLibrary(HMODULE& library, const char* name)
{
    if (library == nullptr) {
        library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        // Windows before 8 without its update for safer loading does not know the flag;
        // the two libraries are known to the system there, which loads them from its
        // own folder whatever the search path.
        if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) library = LoadLibraryA(name);
        if (library == nullptr)
            ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_LIBRARY_NOT_LOADED, name);
    }
    return library;
}

// The library's function of that name; null after the user has been told.
template <class Function>
Function SystemFunction(HMODULE& library, const char* libraryName, const char* name)
{
    if (SystemLibrary(library, libraryName) == nullptr) return nullptr;
    Function function = (Function)(void*)GetProcAddress(library, name);
    if (function == nullptr) ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_LIBRARY_NOT_LOADED, name);
    return function;
}

HMODULE dialogs = nullptr;
HMODULE shell = nullptr;

typedef BOOL(WINAPI* FileDialogFunction)(OPENFILENAMEA* record);
typedef UINT(WINAPI* DragQueryFileFunction)(HDROP drop, UINT index, wchar_t* path, UINT size);
typedef void(WINAPI* DragFinishFunction)(HDROP drop);
typedef HINSTANCE(WINAPI* ShellExecuteFunction)(HWND owner, const char* verb, const char* file, const char* parameters,
                                                const char* folder, int show);

}  // namespace

BOOL ChooseFileToOpen(OPENFILENAMEA* record)
{
    auto function = SystemFunction<FileDialogFunction>(dialogs, "comdlg32.dll", "GetOpenFileNameA");
    return function != nullptr && function(record);
}

BOOL ChooseFileToSave(OPENFILENAMEA* record)
{
    auto function = SystemFunction<FileDialogFunction>(dialogs, "comdlg32.dll", "GetSaveFileNameA");
    return function != nullptr && function(record);
}

void AcceptDroppedFiles(HWND window)
{
    LONG_PTR style = GetWindowLongPtrA(window, GWL_EXSTYLE);
    SetWindowLongPtrA(window, GWL_EXSTYLE, style | WS_EX_ACCEPTFILES);
}

UINT QueryDroppedFile(HDROP drop, UINT index, wchar_t* path, UINT size)
{
    auto function = SystemFunction<DragQueryFileFunction>(shell, "shell32.dll", "DragQueryFileW");
    return function != nullptr ? function(drop, index, path, size) : 0;
}

void FinishDrop(HDROP drop)
{
    // The drop's memory is the program's to free either way. A shell that did not load for
    // the drop's files was reported then, and is not tried again here.
    auto function = shell != nullptr ? SystemFunction<DragFinishFunction>(shell, "shell32.dll", "DragFinish") : nullptr;
    if (function != nullptr) {
        function(drop);
    } else {
        GlobalFree((HGLOBAL)drop);
    }
}

INT_PTR OpenWithShell(const char* target)
{
    auto function = SystemFunction<ShellExecuteFunction>(shell, "shell32.dll", "ShellExecuteA");
    if (function == nullptr) return SHELL_NOT_LOADED;
    return (INT_PTR)function(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
}
