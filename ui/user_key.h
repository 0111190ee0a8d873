// The program's own key for each user, HKEY_CURRENT_USER\Software\Oskan\Oskan vCard
// Editor (the package's manufacturer and product names), where the recent files and the
// window's place are kept between runs.
#pragma once

#include "card/platform.h"

// A subkey of the program's key, opened for reading, or made when create is true; null
// when it is not there or cannot be made. The caller closes it with RegCloseKey.
HKEY OpenUserKey(const char* subkey, bool create);
