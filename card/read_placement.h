// The order in which a card being read goes into its tree.
#pragma once

#include "card/document.h"
#include "card/tree.h"

#include <deque>

// Windows' tree control, as Wine has it, checks every parent and insert-after handle it is
// given by a search over its items in the order they were made, from the first. Placed in
// the file's order, each grouped property's search passed over most of the card read so
// far: a card of 200,000 lines spent seconds in them. So, for such a tree that does not
// draw while the card comes in (the editor's), the groups go in first, as they come, and
// the properties after the first group wait for the end of the read. Then each group's
// properties go under it, and each run of root properties right after the group before
// it, the run's last line first: every handle the tree is given is a group's, made among
// its first items. The order on screen is the file's.
// (A tree that draws would lay out every item below each one put in the middle.)
class ReadPlacement {
public:
    explicit ReadPlacement(CardDocument& document);
    // Releases the properties still waiting (a read that failed before Finish).
    ~ReadPlacement();
    ReadPlacement(const ReadPlacement&) = delete;
    ReadPlacement& operator=(const ReadPlacement&) = delete;

    // A new group at the root's end, expanded. Takes over the node's reference; null with
    // the code left as the thread's last error when the tree refuses.
    HTREEITEM PlaceGroup(GroupNode* group);
    // A property at the end of group (null: of the root), or at the root's start (the
    // card's VERSION, first wherever the file had it). Takes over the node's reference;
    // false when memory ran out or the tree refused (the thread's last error says which).
    bool PlaceProperty(GroupNode* group, CardNode* property, bool first);
    // Places every waiting property; S_OK, or the failure with the rest released.
    HRESULT Finish();

private:
    struct Waiting {
        CardNode* node;
        GroupNode* group;  // its own group, or for a root property the last group made before it
    };

    void ReleaseWaiting();

    CardDocument& document;
    bool waits;
    GroupNode* lastGroup = nullptr;
    std::deque<Waiting> grouped;
    std::deque<Waiting> rooted;
};
