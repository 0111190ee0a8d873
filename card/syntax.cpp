// The version a card's VERSION line names.
#include "card/syntax.h"

#include <string.h>

CardVersion VersionFromText(const char* text, size_t length)
{
    // The first component decides: a value of several ("2.1;x") is still that version.
    const char* semicolon = (const char*)memchr(text, ';', length);
    if (semicolon != nullptr) length = (size_t)(semicolon - text);
    while (length > 0 && (*text == ' ' || *text == '\t')) {
        ++text;
        --length;
    }
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
    if (length == 3 && memcmp(text, "2.1", 3) == 0) return CardVersion::V21;
    if (length == 3 && memcmp(text, "3.0", 3) == 0) return CardVersion::V30;
    return CardVersion::V40;
}

const char* VersionText(CardVersion version)
{
    switch (version) {
    case CardVersion::V21: return "2.1";
    case CardVersion::V30: return "3.0";
    case CardVersion::V40: break;
    }
    return "4.0";
}
