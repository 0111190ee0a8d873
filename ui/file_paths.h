// The paths the editor is given to open (the command line, a drop from Explorer, the
// recent files, the Open dialog) or to save to (the save dialogs) checked against what
// it can hold: a path it cannot hold is refused with a message that names it, never cut
// short and never passed over.
#pragma once

#include "card/platform.h"
#include "res/string_ids.h"

#include <string>

// The longest path the editor holds, in bytes of the program's code page, and the room
// for it with its terminator.
const size_t FILE_PATH_SIZE = 260;
const size_t LONGEST_FILE_PATH = FILE_PATH_SIZE - 1;

// Room enough for any path the system can name, for the dialogs that hand one back: the
// editor then sees a path too long for it, and says so, rather than a dialog's failure.
const size_t CHOSEN_PATH_ROOM = 32768;

// True, after telling the user so (message: a string of the longest length and the path),
// when path is longer than the editor can hold.
bool RefusedAsTooLong(const char* path, int message = IDS_PATH_TOO_LONG);

// The file the command-line tail names: the tail itself when there is such a file, else
// the path inside its double quotes (Explorer quotes a path with spaces), else the tail.
std::string CommandLinePath(const char* tail);

// A path in UTF-16 (as Explorer hands it over) in the program's code page; false, after
// telling the user, when it has characters the code page cannot hold.
bool PathInCodePage(const wchar_t* path, std::string& converted);
