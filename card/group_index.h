// The root groups of a card being read, found by name without a walk over the tree.
#pragma once

#include "card/document.h"
#include "card/mbstring.h"

#include <new>
#include <stdint.h>
#include <stdlib.h>
#include <vector>

// The root groups of the card being read, so that a grouped line finds its group without
// a walk over every root item (which made a card of many groups quadratic to read). It
// answers as FindGroup does, the first group whose name compares equal: a name of ASCII
// bytes only is kept in a hash table by its lower-case spelling, since the comparison
// folds nothing else in it and no name with other bytes equals it; any other name is
// compared with the groups of such names, in order, by the comparison itself. The index
// holds the groups' nodes (each knows its item) in the order they were added, and reads
// names from them: an address book of tens of thousands of groups holds no second copy of every
// name, and no name is asked of the tree (a tree control checks each item handle against
// all its items). A slot of the table is a group's number and hash, eight bytes, so
// that the table of such a book stays small in the caches.
class GroupIndex {
public:
    GroupIndex() = default;
    GroupIndex(const GroupIndex&) = delete;
    GroupIndex& operator=(const GroupIndex&) = delete;
    ~GroupIndex()
    {
        free(slots);
        free(groups);
    }

    // Takes in the groups that the document already holds; false when memory ran out.
    bool Start(const CardDocument& document)
    {
        for (CardNode* node = document.FirstItem(); node != nullptr; node = node->NextItem()) {
            if (node->IsGroup() && !Add(node->GetDisplayName(), (GroupNode*)node)) return false;
        }
        last = NONE;
        return true;
    }

    // The group's node; null when there is none of the name.
    GroupNode* Find(const char* name)
    {
        uint32_t found = NONE;
        uint32_t hash;
        if (HashOf(name, &hash)) {
            // Grouped lines mostly come in runs of one group.
            if (last != NONE && AsciiEqualNoCase(NameOf(last), name)) return groups[last];
            if (slots != nullptr) {
                for (size_t i = hash & mask; slots[i].numberAndOne != 0; i = (i + 1) & mask) {
                    uint32_t number = slots[i].numberAndOne - 1;
                    if (slots[i].hash == hash && AsciiEqualNoCase(NameOf(number), name)) {
                        found = number;
                        break;
                    }
                }
            }
        } else {
            if (last != NONE && MbsCompareNoCase(NameOf(last), name) == 0) return groups[last];
            for (uint32_t number : others) {
                if (MbsCompareNoCase(NameOf(number), name) == 0) {
                    found = number;
                    break;
                }
            }
        }
        if (found == NONE) return nullptr;
        last = found;
        return groups[found];
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
    bool Add(const char* name, GroupNode* group)
    {
        if (groupCount == groupCapacity && !GrowGroups()) return false;
        uint32_t added = (uint32_t)groupCount;
        groups[groupCount++] = group;
        uint32_t hash;
        bool entered = true;
        if (HashOf(name, &hash)) {
            entered = Insert(hash, added);
        } else {
            try {
                others.push_back(added);
            } catch (const std::bad_alloc&) {
                entered = false;
            }
        }
        if (!entered) {
            --groupCount;
            return false;
        }
        last = added;
        return true;
    }

    // The text given to Prefetch is about to change.
    void ForgetPrefetched() { hashedName = nullptr; }

private:
    static const uint32_t NONE = UINT32_MAX;

    struct Slot {
        uint32_t hash;
        uint32_t numberAndOne;  // 0: free
    };

    const char* NameOf(uint32_t number) const { return groups[number]->GetDisplayName(); }

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
    bool Insert(uint32_t hash, uint32_t number)
    {
        if ((used + 1) * 4 > capacity * 3 && !Grow()) return false;
        size_t i = hash & mask;
        for (; slots[i].numberAndOne != 0; i = (i + 1) & mask) {
            if (slots[i].hash == hash && AsciiEqualNoCase(NameOf(slots[i].numberAndOne - 1), NameOf(number))) {
                return true;
            }
        }
        slots[i] = Slot{hash, number + 1};
        ++used;
        return true;
    }

    // By realloc: a large array grows where it is or is moved by its pages, never copied
    // into fresh memory that must be faulted in again.
    bool GrowGroups()
    {
        size_t grown = groupCapacity == 0 ? 64 : groupCapacity * 2;
        if (grown >= NONE || grown > ((size_t)-1) / sizeof(GroupNode*)) return false;
        GroupNode** fresh = (GroupNode**)realloc(groups, grown * sizeof(GroupNode*));
        if (fresh == nullptr) return false;
        groups = fresh;
        groupCapacity = grown;
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
            if (slots[k].numberAndOne == 0) continue;
            size_t i = slots[k].hash & freshMask;
            while (fresh[i].numberAndOne != 0) i = (i + 1) & freshMask;
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
    GroupNode** groups = nullptr;  // by number, in the order added
    size_t groupCount = 0;
    size_t groupCapacity = 0;
    std::vector<uint32_t> others;  // the numbers of groups whose names are not ASCII
    uint32_t last = NONE;
    const char* hashedName = nullptr;  // the text Prefetch was last given, unchanged since
    uint32_t nameHash = 0;
    bool hashedAscii = false;
};
