// The main window's private messages; they are always posted, never sent, so that the
// control that asks has finished with the input that made it ask before the answer runs.
#pragma once

#include "card/platform.h"

const UINT UM_LOADFILE = WM_USER + 1;  // load the path waiting to be loaded
// wParam: the list's id; lParam: the CellCommit the main window posted, which it frees.
const UINT UM_COMMITVALUE = WM_USER + 2;
// wParam: the row; lParam: the list. A click or F2 asks for an editor over the row's
// Value cell.
const UINT UM_BEGINEDIT = WM_USER + 10;
// wParam: the window that receives the focus, or 0; lParam: the list. Store the open
// editor's text and close it.
const UINT UM_ENDEDIT = WM_USER + 11;
// wParam 0; lParam: the list. Close the open editor without storing.
const UINT UM_CANCELEDIT = WM_USER + 12;
// To a list. wParam: VK_RETURN, VK_ESCAPE or VK_TAB (with EDITKEY_SHIFT for Shift+Tab);
// lParam: the editor control (the edit, or the combo box).
const UINT UM_EDITKEY = WM_USER + 14;
const WPARAM EDITKEY_SHIFT = 0x10000;

class PropertyNode;
// The name the parameter list shows for row: a further value of a non-standard parameter
// has no name of its own and shows the name of the run it continues.
const char* ParameterDisplayName(const PropertyNode* property, int row);
