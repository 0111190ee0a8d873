// Cards that have left the screen and whose trees are still being emptied.
#pragma once

#include "card/document.h"

#include <vector>
#include <windows.h>

// Wine's tree control searches its items for every item it takes out and moves down the
// items after it, so emptying the tree of a card of 200,000 lines took seven seconds, for
// New, an Open or an Undo after it. Such a card's tree is hidden instead, under an id of
// its own, and emptied a slice at a time on a timer of the window, between the user's
// input, the root's last item first; the window releases the nodes of the items taken out
// (TVN_DELETEITEM).
class RetiredCards {
public:
    // Cards of fewer items than this are emptied at once: the control takes little time.
    static const long RETIRE_FROM = 4096;
    // The timer's id and how much of each tick the emptying takes, in milliseconds.
    static const UINT_PTR TIMER_ID = 0x5243;
    static const DWORD SLICE = 15;

    RetiredCards() = default;
    RetiredCards(const RetiredCards&) = delete;
    RetiredCards& operator=(const RetiredCards&) = delete;
    // Empties what is left at once.
    ~RetiredCards() { EmptyAll(); }

    // Whether the document has so many items that its tree is worth emptying later.
    static bool IsWorthRetiring(const CardDocument& document);
    // Takes over the document with its tree, which has been hidden and given the id
    // IDC_RETIRED_TREE, and starts the owner's timer.
    void Retire(CardDocument* document, HWND owner);
    // One tick: empties trees for about a slice; stops the timer when none is left.
    void EmptySome(HWND owner);
    // Empties every tree and releases every card now.
    void EmptyAll();

private:
    struct Retired {
        CardDocument* document;
        // The root's items, in the card's order: taken out from the last, which costs the
        // control no walk over the items after it.
        std::vector<HTREEITEM> rootItems;
    };

    static void PointMarksAt(HWND tree, HTREEITEM first);
    static void Release(CardDocument* document);

    std::vector<Retired> cards;
};
