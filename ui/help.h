// The program's help: its compiled HTML help file, beside the program with the extension
// "chm", shown through the HTML Help control, which is loaded at the first request.
#pragma once

#include <windows.h>

#include <stddef.h>

// Opens the help file's contents over owner, or tells the user why it cannot.
void ShowHelp(HWND owner);
// At shut-down: closes every help window, then lets the HTML Help control go.
void CloseHelp();

// The help file's path for the program at modulePath: the extension of its file name
// changed to "chm". False when the file name has no extension or the result does not
// fit in size characters.
bool HelpPathFor(const wchar_t* modulePath, wchar_t* helpPath, size_t size);
