// The order in which a card being read goes into its tree: see read_placement.h.
#include "card/read_placement.h"

#include <new>

ReadPlacement::ReadPlacement(CardDocument& cardDocument)
    : document(cardDocument), waits(cardDocument.ReadsGroupsFirst())
{}

ReadPlacement::~ReadPlacement()
{
    ReleaseWaiting();
}

void ReadPlacement::ReleaseWaiting()
{
    for (const Waiting& waiting : grouped) waiting.node->Release();
    for (const Waiting& waiting : rooted) waiting.node->Release();
    grouped.clear();
    rooted.clear();
}

HTREEITEM ReadPlacement::PlaceGroup(GroupNode* group)
{
    HTREEITEM item = document.PlaceReadNode(ItemPlace{}, group);
    if (item != nullptr) lastGroup = group;
    return item;
}

bool ReadPlacement::PlaceProperty(GroupNode* group, CardNode* property, bool first)
{
    bool inGroup = group != nullptr;
    // Before the first group the root's end is the property's place in either order; the
    // card's VERSION goes first at once (the control walks all its items for an item put
    // first, so a run of them would cost a walk each).
    if (!waits || first || (!inGroup && lastGroup == nullptr)) {
        return document.PlaceReadNode(ItemPlace{group, nullptr, first}, property) != nullptr;
    }
    try {
        (inGroup ? grouped : rooted).push_back(Waiting{property, inGroup ? group : lastGroup});
    } catch (const std::bad_alloc&) {
        property->Release();
        SetLastError((DWORD)E_OUTOFMEMORY);
        return false;
    }
    return true;
}

HRESULT ReadPlacement::Finish()
{
    bool placed = true;
    while (placed && !grouped.empty()) {
        Waiting waiting = grouped.front();
        grouped.pop_front();
        placed = document.PlaceReadNode(ItemPlace{waiting.group, nullptr, false}, waiting.node) != nullptr;
    }
    // Last first, each right after the group before it: the run comes out in its order.
    while (placed && !rooted.empty()) {
        Waiting waiting = rooted.back();
        rooted.pop_back();
        placed = document.PlaceReadNode(ItemPlace{nullptr, waiting.group, false}, waiting.node) != nullptr;
    }
    if (placed) return S_OK;
    HRESULT result = ResultFromLastError();
    ReleaseWaiting();
    return FAILED(result) ? result : E_FAIL;
}
