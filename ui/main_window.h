// What start-up (app/) and its message loop need of the main window, without the window
// class itself.
#pragma once

#include "card/platform.h"

// Makes the main window and opens the card named by the command-line tail; false when it
// could not be made.
bool CreateMainWindow(const char* commandLine);
// The main window; null before it is made and after it is gone.
HWND MainWindow();
// Its keyboard shortcuts, for the loop; null when it has none.
HACCEL MainWindowShortcuts();
// Closes every window the main window opened (help among them), then the main window,
// and releases its object. Safe when there is none.
void DestroyMainWindow();
