// The recent files, in the registry as File1 ... File8 of the program's "Recent File
// List" key, and on the Actions menu as "&1 path" ... "&8 path" with a separator of
// their own, between the file commands and Exit.
#include "ui/recent_files.h"

#include "res/resource.h"
#include "ui/user_key.h"

#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

namespace {

const char LIST_KEY[] = "Recent File List";
// How wide a path shows on the menu, in characters; a longer one loses its middle.
const UINT MENU_PATH_CHARS = 48;

std::string ValueName(size_t index)
{
    return "File" + std::to_string(index + 1);
}

// A value of the list, whole, however long (a path too long to open is refused when it
// is chosen, not cut here); empty when there is none.
std::string ReadPath(HKEY key, const std::string& name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return "";
    std::string path(size + 1, '\0');
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, (BYTE*)&path[0], &size) != ERROR_SUCCESS) return "";
    path.resize(strlen(path.c_str()));
    return path;
}

// "&N path" with the path shortened to fit and its own '&'s doubled, so that they show
// rather than mark a key.
std::string MenuText(size_t index, const std::string& path)
{
    char shortened[MAX_PATH] = "";
    if (!PathCompactPathExA(shortened, path.c_str(), MENU_PATH_CHARS, 0))
        snprintf(shortened, sizeof shortened, "%s", path.c_str());
    std::string text = "&" + std::to_string(index + 1) + " ";
    for (const char* c = shortened; *c != '\0'; ++c) text += *c == '&' ? "&&" : std::string(1, *c);
    return text;
}

bool SamePath(const std::string& one, const char* other)
{
    return lstrcmpiA(one.c_str(), other) == 0;
}

}  // namespace

void RecentFiles::Attach(HMENU actions)
{
    menu = actions;
    paths.clear();
    HKEY key = OpenUserKey(LIST_KEY, false);
    for (size_t i = 0; key != nullptr && i < MOST; ++i) {
        std::string path = ReadPath(key, ValueName(i));
        if (!path.empty()) paths.push_back(path);
    }
    if (key != nullptr) RegCloseKey(key);
    Show();
}

void RecentFiles::Add(const char* path)
{
    Remove(path);
    paths.insert(paths.begin(), path);
    if (paths.size() > MOST) paths.resize(MOST);
    Keep();
    Show();
}

void RecentFiles::Remove(const char* path)
{
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!SamePath(paths[i], path)) continue;
        paths.erase(paths.begin() + (ptrdiff_t)i);
        Keep();
        Show();
        return;
    }
}

const char* RecentFiles::PathOf(UINT command) const
{
    if (command < ID_FILE_RECENT_FIRST || command - ID_FILE_RECENT_FIRST >= paths.size()) return nullptr;
    return paths[command - ID_FILE_RECENT_FIRST].c_str();
}

// The whole list is written each time, so that a value left from a longer list never
// comes back.
void RecentFiles::Keep() const
{
    HKEY key = OpenUserKey(LIST_KEY, true);
    if (key == nullptr) return;
    for (size_t i = 0; i < MOST; ++i) {
        if (i < paths.size()) {
            RegSetValueExA(key, ValueName(i).c_str(), 0, REG_SZ, (const BYTE*)paths[i].c_str(),
                           (DWORD)paths[i].size() + 1);
        } else {
            RegDeleteValueA(key, ValueName(i).c_str());
        }
    }
    RegCloseKey(key);
}

void RecentFiles::Show() const
{
    if (menu == nullptr) return;
    for (UINT id = ID_FILE_RECENT_FIRST; id < ID_FILE_RECENT_FIRST + MOST; ++id) DeleteMenu(menu, id, MF_BYCOMMAND);
    DeleteMenu(menu, ID_FILE_RECENT_SEPARATOR, MF_BYCOMMAND);
    if (paths.empty()) return;
    // Each goes in before Exit, and the separator after the last.
    for (size_t i = 0; i < paths.size(); ++i) {
        InsertMenuA(menu, IDCANCEL, MF_BYCOMMAND | MF_STRING, ID_FILE_RECENT_FIRST + i, MenuText(i, paths[i]).c_str());
    }
    MENUITEMINFOA separator = {};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE | MIIM_ID;  // an id, so that the next Show finds it
    separator.fType = MFT_SEPARATOR;
    separator.wID = ID_FILE_RECENT_SEPARATOR;
    InsertMenuItemA(menu, IDCANCEL, FALSE, &separator);
}
