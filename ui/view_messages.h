// The main window's private messages; they are always posted, never sent.
#pragma once

#include "card/platform.h"

const UINT UM_LOADFILE = WM_USER + 1;  // load the current path

class PropertyNode;
// The name the parameter list shows for row: a further value of a non-standard parameter
// has no name of its own and shows the name of the run it continues.
const char* ParameterDisplayName(const PropertyNode* property, int row);
