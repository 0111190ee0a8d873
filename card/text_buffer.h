// A growable, always terminated byte buffer on the run-time heap for building lines.
// Growth failures are reported, not thrown.
#pragma once

#include <stdlib.h>
#include <string.h>

class TextBuffer {
public:
    TextBuffer() = default;
    ~TextBuffer() { free(data); }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    char* Data() { return data != nullptr ? data : empty; }
    const char* Data() const { return data != nullptr ? data : empty; }
    size_t Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    // How many bytes may be written past the end before the buffer must grow.
    size_t Room() const { return capacity > length ? capacity - length - 1 : 0; }

    void Clear()
    {
        length = 0;
        if (data != nullptr) data[0] = '\0';
    }

    // False when memory runs out; the buffer then keeps what it had.
    bool Reserve(size_t size)
    {
        if (size + 1 <= capacity) return true;
        size_t grown = capacity == 0 ? 64 : capacity;
        while (grown < size + 1) {
            if (grown > ((size_t)-1) / 2) return false;
            grown *= 2;
        }
        char* moved = (char*)realloc(data, grown);
        if (moved == nullptr) return false;
        data = moved;
        capacity = grown;
        return true;
    }

    bool Append(const char* bytes, size_t count)
    {
        if (count > ((size_t)-1) - length - 1 || !Reserve(length + count)) return false;
        memcpy(data + length, bytes, count);
        length += count;
        data[length] = '\0';
        return true;
    }

    bool Append(const char* text) { return Append(text, strlen(text)); }

    bool AppendChar(char c) { return Append(&c, 1); }

    // After the caller wrote count bytes into room it reserved past the end: takes them in.
    void SetLength(size_t count)
    {
        length = count;
        if (data != nullptr) data[length] = '\0';
    }

    bool Assign(const char* bytes, size_t count)
    {
        Clear();
        return Append(bytes, count);
    }

    // Hands the text over to the caller, who frees it; the buffer is empty afterwards.
    char* Detach()
    {
        if (data == nullptr && !Reserve(0)) return nullptr;
        char* text = data;
        data = nullptr;
        length = capacity = 0;
        return text;
    }

private:
    char* data = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    char empty[1] = {'\0'};
};
