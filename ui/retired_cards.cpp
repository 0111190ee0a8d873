// Cards whose trees are emptied a slice at a time: see retired_cards.h.
#include "ui/retired_cards.h"

#include <commctrl.h>
#include <new>
#include <utility>

bool RetiredCards::IsWorthRetiring(const CardDocument& document)
{
    long items = 0;
    for (CardNode* node = document.FirstItem(); node != nullptr && items < RETIRE_FROM; node = node->NextItem()) {
        ++items;
        if (!node->IsGroup()) continue;
        for (CardNode* child = ((GroupNode*)node)->FirstItem(); child != nullptr; child = child->NextItem()) ++items;
    }
    return items >= RETIRE_FROM;
}

void RetiredCards::Retire(CardDocument* document, HWND owner)
{
    try {
        Retired card{document, {}};
        for (CardNode* node = document->FirstItem(); node != nullptr; node = node->NextItem()) {
            card.rootItems.push_back(node->Item());
        }
        if (!card.rootItems.empty()) PointMarksAt(document->GetTree(), card.rootItems.front());
        cards.push_back(std::move(card));
    } catch (const std::bad_alloc&) {
        Release(document);
        return;
    }
    if (SetTimer(owner, TIMER_ID, 0, nullptr) == 0) EmptyAll();
}

// After every item it takes out, Wine's control checks that its insert mark, its drop
// target and its first item shown are still among its items, each by a search from the
// item it made first: with no mark set, or one far down, each search ran over all of
// them. The root's first item was made among the first and is taken out last, so these
// searches end at once. The selection goes: held, it would move to the item before each
// one taken out. The tree is hidden and does not draw: no one sees the marks.
void RetiredCards::PointMarksAt(HWND tree, HTREEITEM first)
{
    TreeView_SelectItem(tree, nullptr);
    TreeView_SetInsertMark(tree, first, FALSE);
    TreeView_SelectDropTarget(tree, first);
    TreeView_SelectSetFirstVisible(tree, first);
}

void RetiredCards::EmptySome(HWND owner)
{
    DWORD start = GetTickCount();
    while (!cards.empty() && GetTickCount() - start < SLICE) {
        Retired& card = cards.back();
        if (!card.rootItems.empty()) {
            // A group goes with its properties.
            TreeView_DeleteItem(card.document->GetTree(), card.rootItems.back());
            card.rootItems.pop_back();
            continue;
        }
        Release(card.document);
        cards.pop_back();
    }
    if (cards.empty()) KillTimer(owner, TIMER_ID);
}

void RetiredCards::EmptyAll()
{
    for (Retired& card : cards) Release(card.document);
    cards.clear();
}

void RetiredCards::Release(CardDocument* document)
{
    HWND tree = document->GetTree();
    document->DeleteAll();
    delete document;
    DestroyWindow(tree);
}
