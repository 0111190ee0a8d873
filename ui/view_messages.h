// The main window's private messages; they are always posted, never sent.
#pragma once

#include "card/platform.h"

const UINT UM_LOADFILE = WM_USER + 1;     // load the current path
const UINT UM_COMMITVALUE = WM_USER + 2;  // store an edited cell's text
const UINT UM_BEGINEDIT = WM_USER + 10;   // begin editing a list cell
const UINT UM_ENDEDIT = WM_USER + 11;     // close the in-place editor and commit
const UINT UM_CANCELEDIT = WM_USER + 12;  // close the in-place editor without commit

class PropertyNode;
// The name the parameter list shows for row: a further value of a non-standard parameter
// has no name of its own and shows the name of the run it continues.
const char* ParameterDisplayName(const PropertyNode* property, int row);
