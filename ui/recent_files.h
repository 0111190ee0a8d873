// The recent files: the last files opened or saved, most recent first, kept for each
// user in the program's key and shown numbered on the Actions menu above Exit.
#pragma once

#include "card/platform.h"

#include <string>
#include <vector>

class RecentFiles {
public:
    static const size_t MOST = 8;

    // Reads the list kept for the user and shows it on menu (the Actions menu).
    void Attach(HMENU menu);
    // path goes first (once); the list is kept and shown again.
    void Add(const char* path);
    void Remove(const char* path);
    // The path of the menu command, or null when command is none of the list's.
    const char* PathOf(UINT command) const;

private:
    void Keep() const;
    void Show() const;

    std::vector<std::string> paths;
    HMENU menu = nullptr;
};
