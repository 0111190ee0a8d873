// Why the card code refused a card: the kind of refusal, the line it concerns and the
// texts that say what was wrong. The card code keeps no wording of its own:
// the program turns a refusal into the detail of its message.
#pragma once

#include <stddef.h>
#include <string.h>

enum class RefusalKind {
    None,
    FirstLine,            // the first line is not the opening line; text 0: the opening line
    FirstLineFolded,      // the first line starts with a blank
    Utf16,                // the file starts with a UTF-16 byte-order mark (FF FE or FE FF)
    MissingColon,         // a line without ':'; text 0: the whole line as read (unfolded)
    InvalidParameter,     // a parameter without '='; text 0: the parameter, text 1: the property
    VersionAndFnMissing,  // an empty card
    VersionNotFirst,
    FnMissing,
    LineBreakInUri,       // a URI value holding a line feed, which no URI holds and which
                          // would not read back; text 0: the property's name
    TextNotInCodePage,    // text of an older card that the program's double-byte code page
                          // cannot hold, whose bytes its characters would misread
};

const int REFUSAL_TEXTS = 2;
// A text is kept up to this many bytes, terminator included: a message shows less of it,
// and a refusal never needs memory of its own, even for a line of megabytes.
const size_t REFUSAL_TEXT_SIZE = 2048;

struct Refusal {
    RefusalKind kind = RefusalKind::None;
    // The content line, the opening line being line 0; 0 for refusals of the whole card.
    int line = 0;
    char texts[REFUSAL_TEXTS][REFUSAL_TEXT_SIZE] = {};

    // Starts a refusal without texts.
    void Set(RefusalKind refusalKind, int lineNumber)
    {
        kind = refusalKind;
        line = lineNumber;
        for (char* text : texts) text[0] = '\0';
    }

    void Clear() { Set(RefusalKind::None, 0); }

    void SetText(int index, const char* text)
    {
        size_t length = 0;
        while (length < REFUSAL_TEXT_SIZE - 1 && text[length] != '\0') ++length;
        memcpy(texts[index], text, length);
        texts[index][length] = '\0';
    }
};
