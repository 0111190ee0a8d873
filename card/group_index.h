// The root groups of a card being read, found by name without a walk over the tree.
#pragma once

#include "card/document.h"
#include "card/mbstring.h"
#include "card/tree.h"

#include <new>
#include <stdint.h>
#include <stdlib.h>
#include <vector>

// The root groups of the card being read, so that a grouped line finds its group without
// a walk over every root item (which made a card of many groups quadratic to read). It
// answers as FindGroup does, the first group whose name compares equal: a name of ASCII
// bytes only is kept in a hash table by its lower-case spelling, since the comparison
// folds nothing else in it and no name with other bytes equals it; any other name is
// compared with the groups of such names, in order, by the comparison itself. The table
// holds the items and their nodes and reads names from the nodes: an address book of tens
// of thousands of groups holds no second copy of every name, and no name is asked of the
// tree (a tree control checks each item handle against all its items).
class GroupIndex {
public:
    GroupIndex() = default;
    GroupIndex(const GroupIndex&) = delete;
    GroupIndex& operator=(const GroupIndex&) = delete;
    ~GroupIndex() { free(slots); }

    // Takes in the groups that the document already holds; false when memory ran out.
    bool Start(const CardDocument& document)
    {
        TreeWindow tree = document.GetTree();
        for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;
             item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
            CardNode* node = document.GetNode(item);
            if (node != nullptr && node->IsGroup() && !Add(node->GetDisplayName(), item, node)) return false;
        }
        last = Group();
        return true;
    }

    HTREEITEM Find(const char* name)
    {
        Group found;
        uint32_t hash;
        if (HashOf(name, &hash)) {
            // Grouped lines mostly come in runs of one group.
            if (last.item != nullptr && AsciiEqualNoCase(last.node->GetDisplayName(), name)) return last.item;
            if (slots != nullptr) {
                for (size_t i = hash & mask; slots[i].group.item != nullptr; i = (i + 1) & mask) {
                    if (slots[i].hash == hash && AsciiEqualNoCase(slots[i].group.node->GetDisplayName(), name)) {
                        found = slots[i].group;
                        break;
                    }
                }
            }
        } else {
            if (last.item != nullptr && MbsCompareNoCase(last.node->GetDisplayName(), name) == 0) return last.item;
            for (const Group& group : others) {
                if (MbsCompareNoCase(group.node->GetDisplayName(), name) == 0) {
                    found = group;
                    break;
                }
            }
        }
        if (found.item != nullptr) last = found;
        return found.item;
    }

    // Asks for the slot a name of ASCII bytes would be found in, before Find looks; Find
    // and Add then take the hash found here for the same text.
    void Prefetch(const char* name)
    {
        hashedName = name;
        hashedAscii = AsciiHash(name, &nameHash);
        if (slots != nullptr && hashedAscii) __builtin_prefetch(&slots[nameHash & mask]);
    }

    // Records a group made after Find found none; false when memory ran out.
    bool Add(const char* name, HTREEITEM item, CardNode* node)
    {
        uint32_t hash;
        Group group{item, node};
        if (HashOf(name, &hash)) {
            if (!Insert(hash, group)) return false;
        } else {
            try {
                others.push_back(group);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        last = group;
        return true;
    }

    // The text given to Prefetch is about to change.
    void ForgetPrefetched() { hashedName = nullptr; }

private:
    struct Group {
        HTREEITEM item = nullptr;
        CardNode* node = nullptr;
    };
    struct Slot {
        uint32_t hash;
        Group group;  // item null: free
    };

    // AsciiHash, without a second pass over the text Prefetch was given.
    bool HashOf(const char* name, uint32_t* hash) const
    {
        if (name != hashedName) return AsciiHash(name, hash);
        *hash = nameHash;
        return hashedAscii;
    }

    // FNV-1a over the lower-case spelling of a name of ASCII bytes; false for other names.
    static bool AsciiHash(const char* name, uint32_t* hash)
    {
        uint32_t h = 2166136261u;
        for (const unsigned char* p = (const unsigned char*)name; *p != '\0'; ++p) {
            if (*p >= 0x80) return false;
            h = (h ^ (uint32_t)AsciiLower(*p)) * 16777619u;
        }
        *hash = h;
        return true;
    }

    static bool AsciiEqualNoCase(const char* a, const char* b) { return CompareAsciiNoCase(a, b) == 0; }

    // An earlier group of the name stays the one found: a later one is never entered.
    bool Insert(uint32_t hash, const Group& group)
    {
        if ((used + 1) * 4 > capacity * 3 && !Grow()) return false;
        size_t i = hash & mask;
        for (; slots[i].group.item != nullptr; i = (i + 1) & mask) {
            if (slots[i].hash == hash &&
                AsciiEqualNoCase(slots[i].group.node->GetDisplayName(), group.node->GetDisplayName())) {
                return true;
            }
        }
        slots[i] = Slot{hash, group};
        ++used;
        return true;
    }

    bool Grow()
    {
        size_t grown = capacity == 0 ? 64 : capacity * 2;
        if (grown > ((size_t)-1) / sizeof(Slot)) return false;
        Slot* fresh = (Slot*)calloc(grown, sizeof(Slot));
        if (fresh == nullptr) return false;
        size_t freshMask = grown - 1;
        for (size_t k = 0; k < capacity; ++k) {
            if (slots[k].group.item == nullptr) continue;
            size_t i = slots[k].hash & freshMask;
            while (fresh[i].group.item != nullptr) i = (i + 1) & freshMask;
            fresh[i] = slots[k];
        }
        free(slots);
        slots = fresh;
        capacity = grown;
        mask = freshMask;
        return true;
    }

    Slot* slots = nullptr;
    size_t capacity = 0;
    size_t mask = 0;
    size_t used = 0;
    std::vector<Group> others;
    Group last;
    const char* hashedName = nullptr;  // the text Prefetch was last given, unchanged since
    uint32_t nameHash = 0;
    bool hashedAscii = false;
};
