// Where the reader gets its bytes and the writer puts them: files, or memory in tests.
#pragma once

#include "card/platform.h"
#include "card/syntax.h"

#include <stddef.h>
#include <stdio.h>
#include <string>

class CardInput {
public:
    virtual ~CardInput() = default;
    // Up to size bytes into buffer; 0 at the end of the input or on a failure.
    virtual size_t Read(char* buffer, size_t size) = 0;
};

class CardOutput {
public:
    virtual ~CardOutput() = default;
    // S_OK when all bytes were taken, else the failure.
    virtual HRESULT Write(const char* bytes, size_t length) = 0;

    // The EscapeColon setting the card is written with: 1 writes ':' in values as "\:".
    int escapeColon = 0;
    // Cards written inside the card and not yet closed (vCard 2.1's AGENT), so that the
    // line that closes one is written plainly and any other closing line is not.
    int nestedCards = 0;
    // The version the card is written in, whose rules decide escapes, encodings and folds.
    CardVersion version = CardVersion::V40;
};

// A stream opened by the caller, in binary mode: line ends are the bytes as written.
class FileInput : public CardInput {
public:
    explicit FileInput(FILE* stream) : file(stream) {}
    size_t Read(char* buffer, size_t size) override { return fread(buffer, 1, size, file); }

private:
    FILE* file;
};

class FileOutput : public CardOutput {
public:
    explicit FileOutput(FILE* stream) : file(stream) {}
    HRESULT Write(const char* bytes, size_t length) override;

private:
    FILE* file;
};

class MemoryInput : public CardInput {
public:
    MemoryInput(const char* bytes, size_t length) : data(bytes), left(length) {}
    explicit MemoryInput(const std::string& text) : MemoryInput(text.data(), text.size()) {}
    size_t Read(char* buffer, size_t size) override;

private:
    const char* data;
    size_t left;
};

class MemoryOutput : public CardOutput {
public:
    HRESULT Write(const char* bytes, size_t length) override
    {
        text.append(bytes, length);
        return S_OK;
    }
    std::string text;
};

// A run-time library failure (fopen, fwrite, fflush) as a result code: the
// operating-system error the library recorded for it, converted like a Win32 error.
HRESULT ResultFromRuntimeError();
