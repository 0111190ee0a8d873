// The values of a content line as the reader takes them: text split into components
// and unescaped by the version's rules, or one raw text (a URI, base64 data).
#pragma once

#include "card/arena.h"
#include "card/nodes.h"
#include "card/platform.h"
#include "card/text_buffer.h"

#include <stdlib.h>
#include <string.h>

// The bytes that end a run of plain characters; see the head scan.
struct RunStops;

// The values of one line as they are read: their texts are in the arena already, their
// array goes there once the count is known.
class ValueList {
public:
    ValueList() = default;
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;
    ~ValueList() { free(items); }

    bool Add(char* value)
    {
        if (count == capacity && !Grow()) return false;
        items[count++] = value;
        return true;
    }

    HRESULT GiveTo(CardArena& arena, PropertyNode* property)
    {
        if (count > (size_t)INT32_MAX) return E_OUTOFMEMORY;
        if (count == 1) {
            // The node keeps a single value's text without an array.
            property->AdoptArenaValues(items, 1);
            return S_OK;
        }
        char** placed = arena.PlacePointers(count);
        if (placed == nullptr) return E_OUTOFMEMORY;
        memcpy(placed, items, count * sizeof(char*));
        property->AdoptArenaValues(placed, (int)count);
        return S_OK;
    }

    void Clear() { count = 0; }

private:
    bool Grow()
    {
        size_t grown = capacity == 0 ? 16 : capacity * 2;
        if (grown > ((size_t)-1) / sizeof(char*)) return false;
        char** moved = (char**)realloc(items, grown * sizeof(char*));
        if (moved == nullptr) return false;
        items = moved;
        capacity = grown;
        return true;
    }

    // An array that every line reuses: adding a value is a store, not a buffer's append.
    char** items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
};

// Appends the value components of text: split at each ';' that no backslash escapes,
// with \\ \n \N \, \; \: decoded in one pass. Sets *escapedColon when "\:" occurred.
// A component of a list (N, ADR, CATEGORIES, NICKNAME) keeps the file's spelling, which
// is also what the user sees and types: there ',' separates the list's values and "\,"
// is a comma inside one, a difference that decoding would lose. Only "\:" becomes ':'
// there too, since the escape-colon setting decides how every colon is written.
HRESULT ParseTextValues(CardArena& arena, ValueList& values, TextBuffer& line, const char* text, const char* end,
                        TextBuffer& component, const RunStops& stops, bool list, bool* escapedColon);
// One raw text, kept where it stands when it is long: a URI, or base64 data.
HRESULT ParseRawValue(CardArena& arena, TextBuffer& line, const char* text, size_t length, ValueList& values);
// The components of a 2.1 value, where only "\;" is an escape; see the definition.
HRESULT ParseOldTextValues(CardArena& arena, ValueList& values, const char* text, const char* end,
                           TextBuffer& component, const unsigned char* leadBytes, bool list);
