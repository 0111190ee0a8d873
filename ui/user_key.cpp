// The program's key for each user.
#include "ui/user_key.h"

#include <string>

namespace {

const char PROGRAM_KEY[] = "Software\\Oskan\\Oskan vCard Editor";

}  // namespace

HKEY OpenUserKey(const char* subkey, bool create)
{
    std::string path = std::string(PROGRAM_KEY) + "\\" + subkey;
    HKEY key = nullptr;
    LONG result = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                           nullptr, &key, nullptr)
                         : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return result == ERROR_SUCCESS ? key : nullptr;
}
