// Heap text helpers shared by the card code: texts live on the run-time heap.
#pragma once

#include <stdlib.h>
#include <string.h>

// A heap copy of text, or null when text is null or the copy cannot be made.
// The caller frees the copy with free().
inline char* DuplicateText(const char* text)
{
    if (text == nullptr) return nullptr;
    size_t size = strlen(text) + 1;
    char* copy = (char*)malloc(size);
    if (copy != nullptr) memcpy(copy, text, size);
    return copy;
}

// The same for the first length bytes of text, terminated.
inline char* DuplicateTextN(const char* text, size_t length)
{
    char* copy = (char*)malloc(length + 1);
    if (copy == nullptr) return nullptr;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

// A text to show or write for a name or value that may be null: null shows as nothing.
inline const char* TextOrEmpty(const char* text)
{
    return text != nullptr ? text : "";
}
