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

    // Whether a card read into the tree is best placed groups first (see
    // CardDocument::SetReadGroupsFirst): so in the Windows control, which does not draw
    // here, and searches its items for every handle it is given; the in-memory tree is
    // fastest in the file's order.
#ifdef _WIN32
    static const bool READS_GROUPS_FIRST = true;
#else
    static const bool READS_GROUPS_FIRST = false;
#endif

private:
    TreeWindow window;
#ifdef _WIN32
    HWND host;
#endif
};
