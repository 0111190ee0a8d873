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

HTREEITEM ReadPlacement::PlaceGroup(CardNode* group)
{
    HTREEITEM item = document.PlaceReadNode(TVI_ROOT, TVI_LAST, group);
    if (item != nullptr) lastGroup = item;
    return item;
}

bool ReadPlacement::PlaceProperty(HTREEITEM group, CardNode* property, bool first)
{
    // Before the first group the root's end is the property's place in either order; the
    // card's VERSION goes first at once (the control walks all its items for an item put
    // first, so a run of them would cost a walk each).
    if (!waits || first || (group == nullptr && lastGroup == nullptr)) {
        return document.PlaceReadNode(group != nullptr ? group : TVI_ROOT, first ? TVI_FIRST : TVI_LAST, property) !=
               nullptr;
    }
    try {
        (group != nullptr ? grouped : rooted).push_back(Waiting{property, group != nullptr ? group : lastGroup});
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
        placed = document.PlaceReadNode(waiting.group, TVI_LAST, waiting.node) != nullptr;
    }
    // Last first, each right after the group before it: the run comes out in its order.
    while (placed && !rooted.empty()) {
        Waiting waiting = rooted.back();
        rooted.pop_back();
        placed = document.PlaceReadNode(TVI_ROOT, waiting.group, waiting.node) != nullptr;
    }
    if (placed) return S_OK;
    HRESULT result = ResultFromLastError();
    ReleaseWaiting();
    return FAILED(result) ? result : E_FAIL;
}
