// The reference-counted nodes of a card in memory: groups and properties (the items
// of the property tree) and the parameter chain of each property.
#pragma once

#include "card/arena.h"
#include "card/platform.h"
#include "card/syntax.h"
#include "card/vocabulary.h"

#include <new>
#include <stdio.h>

class CardOutput;
class TextBuffer;
struct Refusal;

// The reference-counted base of every node. A node starts with one reference held by
// whoever made it and is destroyed by the Release that drops the last one.
// A node the reader made lives in the card's arena, and so do the texts it read; the
// node never frees those one by one, and an edit replaces them with heap texts of its
// own. Nodes made later (the Add dialog, an edit) live on the heap as before.
class CardObject {
public:
    CardObject();
    CardObject(const CardObject&) = delete;
    CardObject& operator=(const CardObject&) = delete;

    virtual ~CardObject() = 0;
    virtual bool IsModified() const { return modified != 0; }

    void AddRef() { ++refCount; }
    void Release();

    // Nodes constructed and destroyed in this process: a leak or a double
    // destruction shows as a difference between the two.
    static long ConstructedCount();
    static long DestroyedCount();
    // How many times the mark of a change was set or cleared on any node in this process:
    // a document that found whether any of its nodes is marked keeps that answer for as
    // long as the count stands still, and walks its nodes again only then.
    static unsigned long ChangeCount() { return changeCount; }

    // Said once, right after the node was constructed in memory from arena.PlaceNode.
    void MarkPlacedInArena() { storage |= PLACED_IN_ARENA; }
    bool IsPlacedInArena() const { return (storage & PLACED_IN_ARENA) != 0; }

protected:
    // The bits of storage: the node itself, and up to two texts (or text arrays) of the
    // derived class, in the arena; the bits from FIRST_MARK up are the derived class's own
    // marks of how the node was written in the file, kept here since a byte of its own
    // would make every node a word larger.
    enum : uint8_t { PLACED_IN_ARENA = 1, FIRST_TEXT_IN_ARENA = 2, SECOND_TEXT_IN_ARENA = 4, FIRST_MARK = 8, SECOND_MARK = 16 };

    // Every change of a node is marked, and every mark cleared, through here, so that
    // ChangeCount counts it.
    void MarkModified() { SetModifiedMark(true); }
    void SetModifiedMark(bool on)
    {
        modified = on ? 1 : 0;
        ++changeCount;
    }

    bool HasMark(uint8_t mark) const { return (storage & mark) != 0; }
    void SetMark(uint8_t mark, bool on) { storage = (uint8_t)(on ? storage | mark : storage & ~mark); }

    // Frees a text of the node's own; one in the arena stays where it is. Either way the
    // bit is cleared for the text that takes its place.
    void DropText(char* text, uint8_t bit);

    // Small fields first, with the derived class's kind (a property's or a parameter's)
    // in the two bytes left after them: here rather than in the derived class, so that it
    // still fills them when a class between (CardNode) adds a field of its own.
    int32_t refCount;
    uint8_t modified;
    uint8_t storage;
    int16_t kind = 0;

private:
    static inline unsigned long changeCount = 0;
};

// Makes a node in the card's arena; null when no memory is left.
template <class Node, class... Arguments>
Node* PlaceNodeIn(CardArena& arena, Arguments... arguments)
{
    void* place = arena.PlaceNode(sizeof(Node), alignof(Node));
    if (place == nullptr) return nullptr;
    Node* node = new (place) Node(arguments...);
    node->MarkPlacedInArena();
    return node;
}

class GroupNode;

// A node that lives in the property tree: a group or a property.
// The document keeps the order of its items in the nodes as well (see CardDocument), and
// only the document changes it.
class CardNode : public CardObject {
public:
    // The item after this one under the same parent, in the card's order; null for the last.
    CardNode* NextItem() const { return nextItem; }
    // The node's item in its document's tree; null while it is in none.
    HTREEITEM Item() const { return item; }

    virtual const char* GetDisplayName() const = 0;
    virtual bool IsGroup() const = 0;
    // expanded: the item's state masked with TVIS_EXPANDED.
    virtual int GetImageIndex(UINT expanded) const = 0;
    // Writes the node's content lines; lineBudget is what the first physical line of each
    // property may carry, its group's prefix included (FOLD_WIDTH at the start of a line).
    // A node that cannot be written says why in refusal.
    // group: the group the node stands in, or null.
    virtual HRESULT Write(const GroupNode* group, CardOutput& output, int lineBudget, Refusal& refusal) = 0;

private:
    friend class CardDocument;
    CardNode* nextItem = nullptr;
    HTREEITEM item = nullptr;
};

// Tree images: indexes into the property tree's image list.
enum : int {
    IMAGE_GROUP_EXPANDED = 0,
    IMAGE_GROUP_COLLAPSED = 1,
    IMAGE_PROPERTY = 2,
};

class GroupNode : public CardNode {
public:
    explicit GroupNode(const char* name);
    ~GroupNode() override;

    const char* GetDisplayName() const override;
    bool IsGroup() const override { return true; }
    int GetImageIndex(UINT expanded) const override;
    HRESULT Write(const GroupNode* group, CardOutput& output, int lineBudget, Refusal& refusal) override;

    // The group's first property in the card's order; null when it has none.
    CardNode* FirstItem() const { return firstItem; }

    // Reader support: a name in the card's arena (see CardObject).
    void AdoptArenaName(char* arenaName);

private:
    friend class CardDocument;
    char* name;
    CardNode* firstItem = nullptr;
    CardNode* lastItem = nullptr;
};

class ParameterNode : public CardObject {
public:
    ParameterNode();                                  // kind unset, to be filled by the reader
    explicit ParameterNode(const char* ownName);      // kind other, with its own name
    ParameterNode(ParameterKind kind, const char* value);
    ~ParameterNode() override;

    virtual const char* GetDisplayName() const;

    ParameterKind GetKind() const { return (ParameterKind)kind; }
    const char* GetCustomName() const { return customName; }
    const char* GetValue() const { return value; }
    ParameterNode* GetNext() const { return next; }

    // S_OK when stored, S_FALSE when unchanged (values compare without regard to case),
    // E_OUTOFMEMORY when the text could not be copied (the value is then gone).
    HRESULT SetValue(const char* text);

    // On a chain's first node: links node (and whatever follows it) after the last node.
    ParameterNode* Append(ParameterNode* node);
    // Releases the chain's first node and, link by link, every follower that no one else
    // holds. A loop, not a recursion: a line may carry hundreds of thousands of values.
    static void ReleaseChain(ParameterNode* head);
    // Unlinks and releases the node at index; returns the chain's new first node.
    static ParameterNode* RemoveAt(ParameterNode* head, int index);
    // On a chain's first node: the node at index, or null past the end.
    ParameterNode* GetAt(int index);

    // A parameter written as its value alone ("TEL;WORK:"), as vCard 2.1 writes TYPE and
    // ENCODING values; a save writes it so again.
    bool IsBare() const { return HasMark(BARE); }
    void SetBare(bool bare) { SetMark(BARE, bare); }

    // Reader and writer support.
    void SetKind(ParameterKind newKind) { kind = (int16_t)newKind; }
    HRESULT SetCustomName(const char* name);
    HRESULT TakeValue(char* ownedValue);
    void SetNext(ParameterNode* node);   // takes over the caller's reference
    void ClearModified() { SetModifiedMark(false); }
    // Texts in the card's arena (see CardObject).
    void AdoptArenaName(char* arenaName);
    void AdoptArenaValue(char* arenaValue);

private:
    static const uint8_t NAME_IN_ARENA = FIRST_TEXT_IN_ARENA;
    static const uint8_t VALUE_IN_ARENA = SECOND_TEXT_IN_ARENA;
    static const uint8_t BARE = FIRST_MARK;

    // The name of a removed first value passes to the value after it, with its storage.
    void TakeNameOf(ParameterNode* from);

    char* customName;
    char* value;
    ParameterNode* next;
};

// The value components of a property; an entry may be null, meaning absent.
struct ValueArray {
    union {
        char** items;
        char* single;   // the one value read into the arena: it needs no array there
    };
    int count;
    int capacity;
};

class PropertyNode : public CardNode {
public:
    PropertyNode(PropertyKind kind, const char* ownName = nullptr);
    ~PropertyNode() override;

    bool IsModified() const override;
    const char* GetDisplayName() const override;
    bool IsGroup() const override { return false; }
    int GetImageIndex(UINT expanded) const override;
    HRESULT Write(const GroupNode* group, CardOutput& output, int lineBudget, Refusal& refusal) override;

    PropertyKind GetKind() const { return (PropertyKind)kind; }
    const char* GetCustomName() const { return customName; }

    int GetValueCount() const { return values.count; }
    const char* GetValue(int index) const;
    HRESULT InitValues();
    HRESULT AppendEmptyValue();
    // S_OK when stored, S_FALSE when unchanged (values compare exactly), E_OUTOFMEMORY.
    HRESULT SetValue(const char* text, int index);
    // Appends an owned text (or null) as the last entry; frees it when the array cannot grow.
    HRESULT AppendOwnedValue(char* text);

    ParameterNode* GetParameters() const { return parameters; }
    ParameterNode* AppendParameter(ParameterNode* node);
    ParameterNode* RemoveParameterAt(int index);
    ParameterNode* GetParameterAt(int index) const;

    void ClearModified() { SetModifiedMark(false); }

    // How the values of an older card's line were encoded beyond its parameters, so that
    // a save writes them as they came: 8-bit text without CHARSET that was not UTF-8 and
    // so was read as Windows-1252, or text whose character set could not be converted
    // and which is kept as the bytes read.
    enum class TextBytes : uint8_t { Program, Windows1252, AsRead };
    TextBytes GetTextBytes() const
    {
        return HasMark(READ_AS_1252) ? TextBytes::Windows1252 : HasMark(KEPT_AS_READ) ? TextBytes::AsRead : TextBytes::Program;
    }
    void SetTextBytes(TextBytes bytes)
    {
        SetMark(READ_AS_1252, bytes == TextBytes::Windows1252);
        SetMark(KEPT_AS_READ, bytes == TextBytes::AsRead);
    }

    // Reader support: a name, and the whole array of values with their texts, in the
    // card's arena (see CardObject). The first change of a value copies them all.
    // Of a single value the node keeps the text only, and items may be any array.
    void AdoptArenaName(char* arenaName);
    void AdoptArenaValues(char** arenaItems, int count);

private:
    static const uint8_t NAME_IN_ARENA = FIRST_TEXT_IN_ARENA;
    static const uint8_t VALUES_IN_ARENA = SECOND_TEXT_IN_ARENA;

    // Writing the property's line (see the writer).
    bool AppendHead(TextBuffer& line, const GroupNode* group, bool closesInnerCard, CardVersion version,
                    const char* charsetUsed, bool addsEncoding) const;
    size_t ValuesLength() const;
    HRESULT WriteLine(CardOutput& output, const GroupNode* group, bool closesInnerCard, int lineBudget) const;
    HRESULT WriteOlderLine(CardOutput& output, const GroupNode* group, bool closesInnerCard, int lineBudget) const;
    static const uint8_t READ_AS_1252 = FIRST_MARK;
    static const uint8_t KEPT_AS_READ = SECOND_MARK;

    HRESULT GrowValues();
    HRESULT OwnValues();
    char* const* Entries() const;

    char* customName;
    ParameterNode* parameters;
    ValueArray values;
};
