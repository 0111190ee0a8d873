// The file dialogs of comdlg32 and the drop and open functions of shell32, loaded when
// first called rather than at start: under Wine the two libraries, with what they load in
// turn, kept some 6 MB of the editor's memory for as long as it ran, though many
// sessions never show a file dialog, take a drop or follow a link. A library that cannot
// be loaded is reported, and the call then fails as the function itself would.
#pragma once

#include "card/platform.h"

#include <commdlg.h>
#include <shellapi.h>

// GetOpenFileNameA and GetSaveFileNameA.
BOOL ChooseFileToOpen(OPENFILENAMEA* record);
BOOL ChooseFileToSave(OPENFILENAMEA* record);

// Files dropped from Explorer come to window as WM_DROPFILES: what DragAcceptFiles does,
// without loading the shell.
void AcceptDroppedFiles(HWND window);
// DragQueryFileW and DragFinish.
UINT QueryDroppedFile(HDROP drop, UINT index, wchar_t* path, UINT size);
void FinishDrop(HDROP drop);

// ShellExecuteA's "open" of target: its answer, above 32 when it succeeded, or
// SHELL_NOT_LOADED after the user has been told that the shell could not be loaded.
const INT_PTR SHELL_NOT_LOADED = -1;
INT_PTR OpenWithShell(const char* target);
