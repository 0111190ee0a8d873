// The open card: the items of the property tree plus the rules by which nodes are
// placed there, the lookups over them, deletion and the card's modified state.
#pragma once

#include "card/nodes.h"
#include "card/platform.h"
#include "card/refusal.h"
#include "card/syntax.h"
#include "card/tree.h"

class CardInput;
class CardOutput;

// Where an item goes: under a group (null: the root), after a node under the same parent,
// or with none given at the parent's end (at its start when first is set).
struct ItemPlace {
    GroupNode* parent = nullptr;
    CardNode* after = nullptr;
    bool first = false;
};

// The card's items are kept in a tree control, and their order in the nodes as well
// (CardNode::NextItem, GroupNode::FirstItem): Wine's control answers each question about
// an item with a search of all its items, so a walk through it over a card of 200,000
// items, as a save, a check and a conversion make, took a minute. Every insertion and
// deletion goes through the document, which links or unlinks the node where the tree
// placed or took its item.
class CardDocument {
public:
    // escapeColon: the setting cell that the reader sets and the writer reads; the
    // document borrows it and never frees it.
    CardDocument(TreeWindow tree, int* escapeColon);
    ~CardDocument();
    CardDocument(const CardDocument&) = delete;
    CardDocument& operator=(const CardDocument&) = delete;

    // Takes over the node's reference in every outcome; null when the tree refuses.
    // target: TVI_ROOT (the root's end), TVI_FIRST (the root's start), a group (its end)
    // or a property (after it).
    HTREEITEM InsertNode(HTREEITEM target, CardNode* node);
    // The reader's insertion: under parent (TVI_ROOT or a group) after insertAfter, with
    // nothing shown or scrolled to, a group expanded from the start. Each further message
    // would cost a card of many lines dearly: a tree control checks every item handle it
    // is given against all its items. Takes over the node's reference as InsertNode does.
    // The place's node to go after, if any, is known to be under its parent.
    HTREEITEM PlaceReadNode(const ItemPlace& place, CardNode* node);
    // Whether a read places the groups first and the other properties at its end, for a
    // tree control that searches for each handle it is given and does not draw while the
    // card comes in (see read_placement.h); off, each line is placed as it is read.
    void SetReadGroupsFirst(bool on) { readGroupsFirst = on; }
    bool ReadsGroupsFirst() const { return readGroupsFirst; }
    // Null with the code left as the thread's last error on failure.
    HTREEITEM AddGroup(const char* name);
    HTREEITEM AddProperty(HTREEITEM target, PropertyKind kind);
    HTREEITEM AddOtherProperty(HTREEITEM target, const char* name);

    HTREEITEM FindGroup(const char* name) const;
    HTREEITEM GetSelectedItem(HTREEITEM start) const;
    CardNode* GetNode(HTREEITEM item) const;
    static CardNode* GetItemNode(TreeWindow tree, HTREEITEM item);

    HRESULT DeleteItem(HTREEITEM item);
    void DeleteAll();

    // The first item at the root in the card's order; null for an empty card.
    CardNode* FirstItem() const { return firstItem; }

    bool IsModified() const;
    bool IsAnyNodeModified() const;
    void ClearStructureChanged() { structureChanged = 0; }
    // The card counts as changed whatever its nodes say (their marks were cleared by a
    // write that was no save of the card).
    void MarkStructureChanged() { structureChanged = 1; }

    // Fills the empty document from input. The nodes it makes, with their texts, live in
    // an arena of the document's, which goes when the document has let go of it (at
    // DeleteAll, the next read, or its end) and no one holds any of those nodes.
    HRESULT ReadCard(CardInput& input);
    // True when the card may be saved: VERSION first, FN present (from 3.0 on).
    bool ValidateCard();
    HRESULT WriteCard(CardOutput& output);
    // Why the last ReadCard, ValidateCard or WriteCard refused the card; kind None when it
    // has no reason to give (success, a failure of memory, the stream or the tree, or a
    // line without a property name).
    const Refusal& LastRefusal() const { return refusal; }

    // Calls visit(groupName, property) for every property in card order, a group's
    // properties where the group stands; groupName is null at the root. Stops early, with
    // false, when visit returns false.
    template <class Visit>
    bool ForEachProperty(Visit visit) const;

    // Whether the file read began with a UTF-8 byte-order mark, which a save writes back.
    bool HasByteOrderMark() const { return byteOrderMark; }
    // Whether the file read was UTF-16 text, which a save writes as UTF-8.
    bool CameFromUtf16() const { return fromUtf16; }
    // The version the card was read in (4.0 for a new card), which a save writes.
    CardVersion GetVersion() const { return version; }
    void SetVersion(CardVersion cardVersion) { version = cardVersion; }
    // The first content line of the last read whose text has characters the program's
    // text cannot hold, and which is kept as the bytes read; 0 when there is none.
    int UnconvertedLine() const { return unconvertedLine; }

    TreeWindow GetTree() const { return tree; }
    int GetEscapeColon() const { return escapeColon != nullptr ? *escapeColon : 0; }
    void SetEscapeColon(int value)
    {
        if (escapeColon != nullptr) *escapeColon = value;
    }


private:
    // Every node of the card is unchanged now (see changesWhenKnown).
    void NoteNodesUnchanged()
    {
        changesWhenKnown = CardObject::ChangeCount();
        nodeChangeKnown = false;
    }

    void AbandonArena();

    // Where the tree puts an item for target (see InsertNode).
    ItemPlace PlaceFor(HTREEITEM target, const CardNode* node) const;
    // The order kept in the nodes, changed as the tree was.
    CardNode*& FirstUnder(GroupNode* parent) { return parent != nullptr ? parent->firstItem : firstItem; }
    CardNode*& LastUnder(GroupNode* parent) { return parent != nullptr ? parent->lastItem : lastItem; }
    // Takes over the node's reference as InsertNode does.
    HTREEITEM InsertLinked(const ItemPlace& place, CardNode* node, UINT state);
    void Link(const ItemPlace& place, CardNode* node);
    void Unlink(GroupNode* parent, CardNode* node);

    int structureChanged;
    // Whether a node of the card is marked as changed, known when CardObject::ChangeCount()
    // stood at changesWhenKnown: at the end of a read, of a write (which clears each
    // node's mark), or of a walk over the nodes.
    mutable unsigned long changesWhenKnown;
    mutable bool nodeChangeKnown = false;
    bool byteOrderMark = false;
    bool readGroupsFirst = false;
    bool fromUtf16 = false;
    CardVersion version = CardVersion::V40;
    int unconvertedLine = 0;
    CardArena* arena = nullptr;
    CardNode* firstItem = nullptr;
    CardNode* lastItem = nullptr;
    TreeWindow tree;
    int* escapeColon;
    Refusal refusal;
};

template <class Visit>
bool CardDocument::ForEachProperty(Visit visit) const
{
    for (CardNode* node = firstItem; node != nullptr; node = node->NextItem()) {
        if (!node->IsGroup()) {
            if (!visit((const char*)nullptr, (PropertyNode*)node)) return false;
            continue;
        }
        for (CardNode* child = ((GroupNode*)node)->FirstItem(); child != nullptr; child = child->NextItem()) {
            if (!visit(node->GetDisplayName(), (PropertyNode*)child)) return false;
        }
    }
    return true;
}
