// The dump form of a card: one line per property in card order, in which two cards are
// compared (see the README for the form).
#pragma once

#include "card/document.h"
#include "card/text_buffer.h"

// Appends the dump of the whole card; false when memory ran out.
bool DumpCard(const CardDocument& document, TextBuffer& out);
