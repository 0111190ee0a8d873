// The values of a content line as the reader takes them.
#include "card/value_reader.h"

#include "card/format.h"
#include "card/property_head.h"

namespace {

// A value at least this long that ends its line is left where it was read, in the line's
// own buffer, which the arena takes over: a PHOTO of megabytes is not copied once more
// and not held twice.
const size_t KEPT_IN_LINE = 64 * 1024;

// The value at tail, the end of line's text, kept where it is; null when the arena could
// not take the buffer, which the caller then copies from as usual.
char* KeepLineTail(CardArena& arena, TextBuffer& line, const char* tail)
{
    char* whole = line.Data();
    if (!arena.AdoptHeapText(whole)) return nullptr;
    line.Detach();  // the arena frees it now
    return whole + (tail - whole);
}

}  // namespace

HRESULT ParseTextValues(CardArena& arena, ValueList& values, TextBuffer& line, const char* text,
                               const char* end, TextBuffer& component, const RunStops& stops, bool list, bool* escapedColon)
{
    const unsigned char* leadBytes = stops.leadBytes;
    const char* p = text;
    for (;;) {
        // Most components hold no escape and no double-byte character: they go to the
        // arena straight from the line.
        const char* start = p;
        while (!stops.value[(unsigned char)*p]) ++p;
        if (*p == '\0' || *p == ';') {
            char* value = nullptr;
            if (start == text && *p == '\0' && (size_t)(p - start) >= KEPT_IN_LINE) {
                value = KeepLineTail(arena, line, start);
            }
            if (value == nullptr && p > start) {
                value = arena.ShareText(start, (size_t)(p - start));
                if (value == nullptr) return E_OUTOFMEMORY;
            }
            if (!values.Add(value)) return E_OUTOFMEMORY;
            if (*p == '\0') return S_OK;
            ++p;
            continue;
        }
        // Decoding only ever shortens a component: room for the rest of the text is
        // reserved once, and the bytes are written without a buffer's append each.
        if (!component.Reserve((size_t)(end - start))) return E_OUTOFMEMORY;
        char* const decodedStart = component.Data();
        char* out = decodedStart;
        memcpy(out, start, (size_t)(p - start));
        out += p - start;
        while (*p != '\0' && *p != ';') {
            // A run of plain single-byte characters goes over as it is.
            while (!stops.value[(unsigned char)*p]) *out++ = *p++;
            if (*p == '\0' || *p == ';') break;
            size_t width = CharWidthIn(leadBytes, p);
            if (width == 1 && p[0] == '\\' && p[1] != '\0' && CharWidthIn(leadBytes, p + 1) == 1) {
                if (list && p[1] != ':') {
                    *out++ = p[0];
                    *out++ = p[1];
                    p += 2;
                    continue;
                }
                char decoded = '\0';
                switch (p[1]) {
                case '\\': decoded = '\\'; break;
                case 'n':
                case 'N': decoded = '\n'; break;
                case ',': decoded = ','; break;
                case ';': decoded = ';'; break;
                case ':': decoded = ':'; *escapedColon = true; break;
                default: break;
                }
                if (decoded != '\0') {
                    *out++ = decoded;
                    p += 2;
                    continue;
                }
            }
            *out++ = *p++;
            if (width == 2) *out++ = *p++;
        }
        char* value = nullptr;
        if (out > decodedStart) {
            value = arena.ShareText(decodedStart, (size_t)(out - decodedStart));
            if (value == nullptr) return E_OUTOFMEMORY;
        }
        if (!values.Add(value)) return E_OUTOFMEMORY;
        if (*p != ';') return S_OK;
        ++p;
    }
}

// One raw text, kept where it stands when it is long: a URI, or base64 data.
HRESULT ParseRawValue(CardArena& arena, TextBuffer& line, const char* text, size_t length, ValueList& values)
{
    char* value = nullptr;
    if (length >= KEPT_IN_LINE) value = KeepLineTail(arena, line, text);
    if (value == nullptr && length != 0) {
        value = arena.CopyText(text, length);
        if (value == nullptr) return E_OUTOFMEMORY;
    }
    return values.Add(value) ? S_OK : E_OUTOFMEMORY;
}

// The components of a 2.1 value, where only "\;" is an escape. A component of a list
// keeps the file's bytes, split at each ';' that no backslash comes before; any other
// component has its "\;" decoded. The search goes by characters: in a double-byte code
// page a trail byte may be a backslash.
HRESULT ParseOldTextValues(CardArena& arena, ValueList& values, const char* text, const char* end,
                                  TextBuffer& component, const unsigned char* leadBytes, bool list)
{
    const char* p = text;
    for (;;) {
        component.Clear();
        bool afterBackslash = false;
        while (p < end && !(*p == ';' && !afterBackslash)) {
            size_t width = CharWidthIn(leadBytes, p);
            if (width == 1 && *p == ';' && !list) {
                component.Data()[component.Length() - 1] = ';';  // "\;" is a semicolon
                afterBackslash = false;
                ++p;
                continue;
            }
            if (!component.Append(p, width)) return E_OUTOFMEMORY;
            afterBackslash = width == 1 && *p == '\\';
            p += width;
        }
        char* value = nullptr;
        if (!component.IsEmpty()) {
            value = arena.ShareText(component.Data(), component.Length());
            if (value == nullptr) return E_OUTOFMEMORY;
        }
        if (!values.Add(value)) return E_OUTOFMEMORY;
        if (p >= end) return S_OK;
        ++p;
    }
}
