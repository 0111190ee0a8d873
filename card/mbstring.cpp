// The multibyte operations that both builds share, written over the per-build ones.
#include "card/mbstring.h"

#include <string.h>

namespace {

// The bytes of the UTF-8 sequence a lead byte starts (1 for any other byte).
size_t SequenceLength(unsigned char c)
{
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

}  // namespace

size_t MbsFitLength(const char* text, size_t size)
{
    if (text == nullptr || size == 0) return 0;
    size_t length = strlen(text);
    if (length < size) return length;
    size_t room = size - 1;
    if (MbsGetCodePage() == CODE_PAGE_UTF8) {
        // A sequence shows where it starts: step back over the continuation bytes of
        // the one that the cut would split, and over its lead byte.
        size_t cut = room;
        size_t back = 0;
        while (cut > 0 && back < 3 && ((unsigned char)text[cut] & 0xC0) == 0x80) {
            --cut;
            ++back;
        }
        if (back > 0 && SequenceLength((unsigned char)text[cut]) > back) return cut;
        return room;
    }
    // A trail byte of a double-byte code page may look like a lead byte, so characters
    // are told apart only by walking from the start.
    size_t end = 0;
    while (end < room) {
        size_t width = (MbsIsLeadByte((unsigned char)text[end]) && text[end + 1] != '\0') ? 2 : 1;
        if (end + width > room) break;
        end += width;
    }
    return end;
}
