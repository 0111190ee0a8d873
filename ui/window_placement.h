// Where the main window stood when it was last closed, kept for each user in the
// program's key and restored at the next start.
#pragma once

#include "card/platform.h"

void KeepWindowPlacement(HWND window);
// Puts window where it was kept, at its present size (the window is not resizable, and
// its size follows the DPI); leaves it where it is when nothing was kept, or when that
// place is off every monitor now (a monitor taken away, a smaller screen).
void RestoreWindowPlacement(HWND window);
