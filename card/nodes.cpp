// Card nodes: reference counting, modified flags, values and parameter chains.
#include "card/nodes.h"

#include "card/mbstring.h"
#include "card/text.h"

#include <stdlib.h>
#include <string.h>

namespace {
long constructedObjects = 0;
long destroyedObjects = 0;
}  // namespace

// ---------------------------------------------------------------- CardObject

CardObject::CardObject() : refCount(1), modified(0), storage(0)
{
    ++constructedObjects;
}

CardObject::~CardObject()
{
    ++destroyedObjects;
}

void CardObject::Release()
{
    if (--refCount != 0) return;
    if (!IsPlacedInArena()) {
        delete this;
        return;
    }
    this->~CardObject();
    CardArena::NodeDestroyed(this);  // by address only: the node is gone
}

void CardObject::DropText(char* text, uint8_t bit)
{
    if ((storage & bit) == 0) free(text);
    storage = (uint8_t)(storage & ~bit);
}

long CardObject::ConstructedCount()
{
    return constructedObjects;
}

long CardObject::DestroyedCount()
{
    return destroyedObjects;
}

// ---------------------------------------------------------------- GroupNode

GroupNode::GroupNode(const char* groupName) : name(DuplicateText(groupName)) {}

GroupNode::~GroupNode()
{
    DropText(name, FIRST_TEXT_IN_ARENA);
}

void GroupNode::AdoptArenaName(char* arenaName)
{
    DropText(name, FIRST_TEXT_IN_ARENA);
    name = arenaName;
    storage |= FIRST_TEXT_IN_ARENA;
}

const char* GroupNode::GetDisplayName() const
{
    return TextOrEmpty(name);
}

int GroupNode::GetImageIndex(UINT expanded) const
{
    return expanded != 0 ? IMAGE_GROUP_EXPANDED : IMAGE_GROUP_COLLAPSED;
}

// ---------------------------------------------------------------- ParameterNode

ParameterNode::ParameterNode()
    : customName(nullptr), value(nullptr), next(nullptr)
{
    kind = (int16_t)ParameterKindUnset;
}

ParameterNode::ParameterNode(const char* ownName)
    : customName(DuplicateText(ownName)), value(nullptr), next(nullptr)
{
    kind = (int16_t)ParameterKindOther;
}

ParameterNode::ParameterNode(ParameterKind parameterKind, const char* parameterValue)
    : customName(nullptr), value(DuplicateText(parameterValue)), next(nullptr)
{
    kind = (int16_t)parameterKind;
}

ParameterNode::~ParameterNode()
{
    DropText(customName, NAME_IN_ARENA);
    DropText(value, VALUE_IN_ARENA);
    ReleaseChain(next);
}

void ParameterNode::AdoptArenaName(char* arenaName)
{
    DropText(customName, NAME_IN_ARENA);
    customName = arenaName;
    storage |= NAME_IN_ARENA;
}

void ParameterNode::AdoptArenaValue(char* arenaValue)
{
    DropText(value, VALUE_IN_ARENA);
    value = arenaValue;
    storage |= VALUE_IN_ARENA;
}

void ParameterNode::ReleaseChain(ParameterNode* head)
{
    for (ParameterNode* node = head; node != nullptr;) {
        if (node->refCount > 1) {
            // Someone else holds this node, and through it the rest of the chain.
            node->Release();
            return;
        }
        // Unlinked before it goes, so that its destructor has no follower to release.
        ParameterNode* follower = node->next;
        node->next = nullptr;
        node->Release();
        node = follower;
    }
}

void ParameterNode::TakeNameOf(ParameterNode* from)
{
    if ((from->storage & NAME_IN_ARENA) != 0 && !IsPlacedInArena()) {
        // A node of the heap owns its texts: the arena may go before it does.
        customName = DuplicateText(from->customName);
        storage = (uint8_t)(storage & ~NAME_IN_ARENA);
        return;
    }
    customName = from->customName;
    storage = (uint8_t)((storage & ~NAME_IN_ARENA) | (from->storage & NAME_IN_ARENA));
    from->customName = nullptr;
    from->storage = (uint8_t)(from->storage & ~NAME_IN_ARENA);
}

const char* ParameterNode::GetDisplayName() const
{
    if (customName != nullptr) return customName;
    // Further values of an other parameter carry no name; the list shows them under
    // the name of the run they belong to.
    if (kind == ParameterKindOther || kind == ParameterKindUnset) return "";
    return GetParameterName(kind);
}

HRESULT ParameterNode::SetValue(const char* text)
{
    if (text == nullptr && value == nullptr) return S_FALSE;
    if (text != nullptr && value != nullptr && MbsCompareNoCase(text, value) == 0) return S_FALSE;
    DropText(value, VALUE_IN_ARENA);
    value = DuplicateText(text);
    MarkModified();
    return text != nullptr && value == nullptr ? E_OUTOFMEMORY : S_OK;
}

ParameterNode* ParameterNode::Append(ParameterNode* node)
{
    ParameterNode* last = this;
    while (last->next != nullptr) last = last->next;
    last->next = node;
    node->AddRef();
    return node;
}

ParameterNode* ParameterNode::RemoveAt(ParameterNode* head, int index)
{
    ParameterNode* previous = nullptr;
    ParameterNode* node = head;
    for (int position = 0; node != nullptr; ++position) {
        if (position == index) {
            ParameterNode* follower = node->next;
            // The further values of a non-standard parameter carry no name and continue
            // the run before them: without its named first value they would join the
            // preceding parameter, or be written with an empty name.
            if (node->kind == ParameterKindOther && node->customName != nullptr && follower != nullptr &&
                follower->kind == ParameterKindOther && follower->customName == nullptr) {
                follower->TakeNameOf(node);
            }
            node->next = nullptr;
            if (previous != nullptr) previous->next = follower;
            node->Release();
            return node == head ? follower : head;
        }
        previous = node;
        node = node->next;
    }
    return head;
}

ParameterNode* ParameterNode::GetAt(int index)
{
    ParameterNode* node = this;
    for (int i = 0; i < index && node != nullptr; ++i) node = node->next;
    return node;
}

HRESULT ParameterNode::SetCustomName(const char* name)
{
    char* copy = DuplicateText(name);
    if (copy == nullptr && name != nullptr) return E_OUTOFMEMORY;
    DropText(customName, NAME_IN_ARENA);
    customName = copy;
    return S_OK;
}

HRESULT ParameterNode::TakeValue(char* ownedValue)
{
    DropText(value, VALUE_IN_ARENA);
    value = ownedValue;
    return S_OK;
}

void ParameterNode::SetNext(ParameterNode* node)
{
    ReleaseChain(next);
    next = node;
}

// ---------------------------------------------------------------- PropertyNode

PropertyNode::PropertyNode(PropertyKind propertyKind, const char* ownName)
    : customName(propertyKind == PropertyKindOther ? DuplicateText(ownName) : nullptr),
      parameters(nullptr),
      values{{nullptr}, 0, 0}
{
    kind = (int16_t)propertyKind;
}

PropertyNode::~PropertyNode()
{
    DropText(customName, NAME_IN_ARENA);
    if ((storage & VALUES_IN_ARENA) == 0) {
        for (int i = 0; i < values.count; ++i) free(values.items[i]);
        free(values.items);
    }
    ParameterNode::ReleaseChain(parameters);
}

void PropertyNode::AdoptArenaName(char* arenaName)
{
    DropText(customName, NAME_IN_ARENA);
    customName = arenaName;
    storage |= NAME_IN_ARENA;
}

void PropertyNode::AdoptArenaValues(char** arenaItems, int count)
{
    if ((storage & VALUES_IN_ARENA) == 0) {
        for (int i = 0; i < values.count; ++i) free(values.items[i]);
        free(values.items);
    }
    values = ValueArray{{arenaItems}, count, count};
    if (count == 1) values.single = arenaItems[0];
    storage |= VALUES_IN_ARENA;
}

char* const* PropertyNode::Entries() const
{
    return (storage & VALUES_IN_ARENA) != 0 && values.count == 1 ? &values.single : values.items;
}

// Before the first change of values read into the arena: heap copies of the array and
// of every text, which the node then owns as it owns values set by an edit.
HRESULT PropertyNode::OwnValues()
{
    if ((storage & VALUES_IN_ARENA) == 0) return S_OK;
    int ownCapacity = values.count > 0 ? values.count : 1;
    char** own = (char**)malloc((size_t)ownCapacity * sizeof(char*));
    if (own == nullptr) return E_OUTOFMEMORY;
    char* const* entries = Entries();
    for (int i = 0; i < values.count; ++i) {
        own[i] = DuplicateText(entries[i]);
        if (own[i] == nullptr && entries[i] != nullptr) {
            while (i > 0) free(own[--i]);
            free(own);
            return E_OUTOFMEMORY;
        }
    }
    values = ValueArray{{own}, values.count, ownCapacity};
    storage = (uint8_t)(storage & ~VALUES_IN_ARENA);
    return S_OK;
}

bool PropertyNode::IsModified() const
{
    if (modified) return true;
    for (ParameterNode* p = parameters; p != nullptr; p = p->GetNext()) {
        if (p->IsModified()) return true;
    }
    return false;
}

const char* PropertyNode::GetDisplayName() const
{
    if (kind == PropertyKindOther) return TextOrEmpty(customName);
    return GetPropertyName(kind);
}

int PropertyNode::GetImageIndex(UINT) const
{
    return IMAGE_PROPERTY;
}

const char* PropertyNode::GetValue(int index) const
{
    return (index >= 0 && index < values.count) ? Entries()[index] : nullptr;
}

// Makes room for one more entry: capacity 0 becomes 1, a full array doubles.
HRESULT PropertyNode::GrowValues()
{
    if (FAILED(OwnValues())) return E_OUTOFMEMORY;
    if (values.count < values.capacity) return S_OK;
    int newCapacity = values.capacity == 0 ? 1 : values.capacity * 2;
    if (newCapacity <= values.capacity) return E_OUTOFMEMORY;
    char** grown = (char**)realloc(values.items, (size_t)newCapacity * sizeof(char*));
    if (grown == nullptr) return E_OUTOFMEMORY;
    values.items = grown;
    values.capacity = newCapacity;
    return S_OK;
}

HRESULT PropertyNode::AppendOwnedValue(char* text)
{
    if (FAILED(GrowValues())) {
        free(text);
        return E_OUTOFMEMORY;
    }
    values.items[values.count++] = text;
    return S_OK;
}

HRESULT PropertyNode::AppendEmptyValue()
{
    char* empty = (char*)calloc(1, 1);
    if (empty == nullptr) return E_OUTOFMEMORY;
    return AppendOwnedValue(empty);
}

HRESULT PropertyNode::InitValues()
{
    int count = GetComponentCount(kind);
    for (int i = 0; i < count; ++i) {
        HRESULT result = AppendEmptyValue();
        if (FAILED(result)) return result;
    }
    if (kind == PropertyKindVersion) {
        // A failure here leaves value 0 absent; the property is still usable.
        SetValue(DEFAULT_VERSION, 0);
        ClearModified();
    }
    return S_OK;
}

HRESULT PropertyNode::SetValue(const char* text, int index)
{
    if (index < 0) return E_INVALIDARG;
    if (index < values.count) {
        // Unchanged: values read into the arena stay there.
        const char* entry = Entries()[index];
        if (entry == nullptr && text == nullptr) return S_FALSE;
        if (entry != nullptr && text != nullptr && strcmp(entry, text) == 0) return S_FALSE;
    }
    if (FAILED(OwnValues())) return E_OUTOFMEMORY;
    while (values.count <= index) {
        if (FAILED(AppendOwnedValue(nullptr))) return E_OUTOFMEMORY;
    }
    char*& entry = values.items[index];
    if (entry == nullptr && text == nullptr) return S_FALSE;
    if (entry != nullptr && text != nullptr && strcmp(entry, text) == 0) return S_FALSE;
    MarkModified();
    free(entry);
    entry = nullptr;
    if (text == nullptr) return S_OK;
    entry = DuplicateText(text);
    return entry != nullptr ? S_OK : E_OUTOFMEMORY;
}

ParameterNode* PropertyNode::AppendParameter(ParameterNode* node)
{
    if (parameters == nullptr) {
        parameters = node;
        node->AddRef();
    } else {
        parameters->Append(node);
    }
    MarkModified();
    return node;
}

ParameterNode* PropertyNode::RemoveParameterAt(int index)
{
    parameters = ParameterNode::RemoveAt(parameters, index);
    MarkModified();
    return parameters;
}

ParameterNode* PropertyNode::GetParameterAt(int index) const
{
    return parameters != nullptr ? parameters->GetAt(index) : nullptr;
}
