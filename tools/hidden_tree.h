// A card container with no window on screen, for programs and tests that read and write
// cards without the editor: on Windows a real tree view control in a hidden window that
// releases nodes as the main window does; in the native build the in-memory tree.
#pragma once

#include "card/platform.h"

class HiddenTree {
public:
    HiddenTree();
    ~HiddenTree();
    HiddenTree(const HiddenTree&) = delete;
    HiddenTree& operator=(const HiddenTree&) = delete;

    // Null when the tree could not be made.
    TreeWindow Window() const { return window; }

private:
    TreeWindow window;
#ifdef _WIN32
    HWND host;
#endif
};
