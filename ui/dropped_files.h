// Files dropped on the main window from Explorer: the editor opens one card at a time,
// so it opens the first file of a drop and names the others in a message.
#pragma once

#include "card/platform.h"

#include <shellapi.h>
#include <string>
#include <vector>

// The paths of a drop in the order Explorer lists them, whole, and the drop released. A
// path the program's code page cannot hold has been reported and is left out.
std::vector<std::string> TakeDroppedPaths(HDROP drop);

// Tells the user that of the files dropped only opened was opened, naming the others.
void ReportFilesNotOpened(const std::string& opened, const std::vector<std::string>& others);
