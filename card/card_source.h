// A card file opened as the editor's Open and vcardtool both open one: whether it holds
// one card or several is found without holding the bytes of a file of one; a file of one
// card is read from its stream when its card is asked for, the cards of a file of several
// from the bytes held.
#pragma once

#include "card/card_file.h"
#include "card/platform.h"

#include <stddef.h>

class CardDocument;

class CardSource {
public:
    CardSource() = default;
    ~CardSource();
    CardSource(const CardSource&) = delete;
    CardSource& operator=(const CardSource&) = delete;

    // Opens path and finds whether it holds several cards. S_OK; the run-time's error
    // when the file does not open (Opened() says so); else a failure of memory or of
    // reading.
    HRESULT Open(const char* path);
    bool Opened() const { return opened; }
    const char* Path() const { return path != nullptr ? path : ""; }

    bool HoldsSeveral() const { return cards != nullptr; }
    size_t Count() const { return cards != nullptr ? cards->CardCount() : 1; }
    const CardFile& Cards() const { return *cards; }
    // Hands the cards of a file of several to the caller, who deletes them; the source
    // then reads no card.
    CardFile* TakeCards();

    // Reads card index (0 for a file of one card) into the empty document.
    HRESULT ReadCard(size_t index, CardDocument& document) const;

private:
    char* path = nullptr;
    bool opened = false;
    CardFile* cards = nullptr;
};
