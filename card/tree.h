// The tree messages the card document sends to its container. On Windows each is one
// SendMessageA to the property tree control; the native build answers them from an
// in-memory tree that behaves the same way.
#pragma once

#include "card/platform.h"

class CardNode;

// Inserts an item that shows the node's name, its images and children asked from the node
// on demand, in the state given (TVIS_EXPANDED: its children show as they come, without a message each).
// Returns the new item, or null when the tree refuses.
HTREEITEM TreeInsertItem(TreeWindow tree, HTREEITEM parent, HTREEITEM insertAfter, CardNode* node, UINT state = 0);
// Removes the item (TVI_ROOT: all items) with its children; the owner of the tree is told
// of each removed item and releases its node. Returns nonzero on success.
BOOL TreeDeleteItem(TreeWindow tree, HTREEITEM item);
// code: TVGN_CHILD, TVGN_NEXT, TVGN_PARENT, or TVGN_CARET (the selected item; item unused).
HTREEITEM TreeGetNextItem(TreeWindow tree, HTREEITEM item, UINT code);
// The node held by the item, or null for a null item.
CardNode* TreeGetItemNode(TreeWindow tree, HTREEITEM item);
UINT TreeGetItemState(TreeWindow tree, HTREEITEM item, UINT stateMask);
// Expands the item's parents and scrolls it into view.
void TreeEnsureVisible(TreeWindow tree, HTREEITEM item);
BOOL TreeSelectItem(TreeWindow tree, HTREEITEM item);
// Repaints after an insertion, without erasing.
void TreeRepaint(TreeWindow tree);

#ifdef _WIN32
// Answers TVN_GETDISPINFO for an item of the card: images and child indicator asked
// from its node.
void AnswerTreeDisplayInfo(NMTVDISPINFOA* info);
// TVN_DELETEITEM: releases the node that the deleted item held.
void ReleaseDeletedItemNode(const NMTREEVIEWA* notice);
#endif
