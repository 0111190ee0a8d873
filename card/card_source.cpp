// Opening a card file, for the editor and vcardtool alike.
#include "card/card_source.h"

#include "card/document.h"
#include "card/io.h"

#include <errno.h>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

CardSource::~CardSource()
{
    free(path);
    delete cards;
}

HRESULT CardSource::Open(const char* filePath)
{
    free(path);
    path = (char*)malloc(strlen(filePath) + 1);
    if (path == nullptr) return E_OUTOFMEMORY;
    strcpy(path, filePath);
    // Bytes as they are on disk: the reader takes CR LF and LF alike, and nothing in the
    // file (such as a Ctrl+Z) ends the text early.
    errno = 0;
    FILE* file = fopen(path, "rb");
    opened = file != nullptr;
    if (file == nullptr) return ResultFromRuntimeError();
    FileInput input(file);
    // Whether there is more than one card is known without holding the file's bytes.
    long count = CountCards(input, 2);
    HRESULT result = count < 0 ? E_OUTOFMEMORY : S_OK;
    if (SUCCEEDED(result) && count > 1) {
        cards = new (std::nothrow) CardFile();
        result = cards == nullptr ? E_OUTOFMEMORY : cards->Read(file);
    }
    if (SUCCEEDED(result) && ferror(file)) result = ResultFromWin32(READ_FAULT);
    fclose(file);
    return result;
}

CardFile* CardSource::TakeCards()
{
    CardFile* taken = cards;
    cards = nullptr;
    return taken;
}

HRESULT CardSource::ReadCard(size_t index, CardDocument& document) const
{
    if (cards != nullptr) return cards->ReadCard(index, document);
    errno = 0;
    FILE* file = fopen(Path(), "rb");
    if (file == nullptr) return ResultFromRuntimeError();
    FileInput input(file);
    HRESULT result = document.ReadCard(input);
    if (SUCCEEDED(result) && ferror(file)) result = ResultFromWin32(READ_FAULT);
    fclose(file);
    return result;
}
