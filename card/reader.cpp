// Card reader: physical lines, unfolding into content lines, and one property with its
// parameters and values per content line, placed at the root or in its group.
#include "card/document.h"

#include "card/charset.h"
#include "card/content_lines.h"
#include "card/format.h"
#include "card/legacy_text.h"
#include "card/syntax.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "card/text.h"
#include "card/text_buffer.h"
#include "card/tree.h"

#include <new>
#include <vector>

namespace {

const size_t READ_CHUNK = 64 * 1024;

// Physical lines of any length, without their line feed. A line that does not fit one
// read is gathered across reads, so memory follows the longest line.
class LineReader {
public:
    explicit LineReader(CardInput& cardInput) : input(cardInput) {}
    ~LineReader() { free(chunk); }

    bool Start()
    {
        chunk = (char*)malloc(READ_CHUNK);
        return chunk != nullptr;
    }

    // False at the end of the input, or when memory ran out (OutOfMemory then says so).
    bool Next(const char** line, size_t* length)
    {
        carry.Clear();
        for (;;) {
            if (begin == end) {
                if (!atEnd) {
                    end = input.Read(chunk, READ_CHUNK);
                    begin = 0;
                    if (end == 0) atEnd = true;
                }
                if (atEnd) {
                    if (carry.IsEmpty()) return false;
                    return Give(carry.Data(), carry.Length(), line, length);
                }
            }
            const char* start = chunk + begin;
            const char* feed = (const char*)memchr(start, '\n', end - begin);
            if (feed == nullptr) {
                if (!carry.Append(start, end - begin)) return Fail();
                begin = end;
                continue;
            }
            size_t count = (size_t)(feed - start);
            begin += count + 1;
            if (carry.IsEmpty()) return Give(start, count, line, length);
            if (!carry.Append(start, count)) return Fail();
            return Give(carry.Data(), carry.Length(), line, length);
        }
    }

    bool OutOfMemory() const { return outOfMemory; }

private:
    static bool Give(const char* text, size_t count, const char** line, size_t* length)
    {
        *line = text;
        *length = count;
        return true;
    }

    bool Fail()
    {
        outOfMemory = true;
        return false;
    }

    CardInput& input;
    char* chunk = nullptr;
    size_t begin = 0;
    size_t end = 0;
    bool atEnd = false;
    bool outOfMemory = false;
    TextBuffer carry;
};

// The text of a physical line as the card sees it: up to a NUL byte, without the CR and
// LF bytes at its end.
size_t ContentLength(const char* line, size_t length)
{
    const char* nul = (const char*)memchr(line, '\0', length);
    if (nul != nullptr) length = (size_t)(nul - line);
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) --length;
    return length;
}

bool StartsWith(const char* line, size_t length, const char* prefix, size_t prefixLength)
{
    return length >= prefixLength && memcmp(line, prefix, prefixLength) == 0;
}

// UTF-16 in either byte order: every other byte is NUL, so its lines mean nothing here.
bool StartsWithUtf16Mark(const char* line, size_t length)
{
    return StartsWith(line, length, "\xFF\xFE", 2) || StartsWith(line, length, "\xFE\xFF", 2);
}

// The input with its first lines read ahead, as far as the card's VERSION line: the
// version decides how every line is read, and KDE writes VERSION after other lines.
// What was read ahead is handed on first; for most cards that is their first chunk.
class VersionProbe : public CardInput {
public:
    explicit VersionProbe(CardInput& cardInput) : input(cardInput) {}

    // Reads ahead to the first VERSION line, the card's closing line or the end; false
    // when memory ran out. A file of UTF-16 text is read whole and handed on as the
    // program's text (utf16 says so); one that is not UTF-16 throughout hands on its
    // bytes, which the reader refuses.
    bool Probe(CardVersion* version, bool* utf16)
    {
        *version = CardVersion::V40;
        *utf16 = false;
        size_t scanned = 0;
        for (bool first = true;; first = false) {
            size_t before = ahead.Length();
            if (!ahead.Reserve(before + READ_CHUNK)) return false;
            size_t got = input.Read(ahead.Data() + before, READ_CHUNK);
            ahead.SetLength(before + got);
            if (first && StartsAsUtf16(ahead.Data(), ahead.Length())) {
                if (!ReadAll()) return false;
                TextBuffer text;
                *utf16 = Utf16FileToProgramText(ahead.Data(), ahead.Length(), text);
                if (!*utf16) return true;
                if (!ahead.Assign(text.Data(), text.Length())) return false;
                got = 0;  // all is read
            }
            const char* text = ahead.Data();
            for (;;) {
                const char* feed = (const char*)memchr(text + scanned, '\n', ahead.Length() - scanned);
                if (feed == nullptr && got != 0) break;  // the line goes on in the next chunk
                size_t end = feed != nullptr ? (size_t)(feed - text) : ahead.Length();
                size_t length = end - scanned;
                while (length > 0 && text[scanned + length - 1] == '\r') --length;
                size_t valueLength = 0;
                const char* value = VersionValue(text + scanned, length, &valueLength);
                if (value != nullptr) {
                    *version = VersionFromText(value, valueLength);
                    return true;
                }
                if (scanned > 0 && IsClosingLine(text + scanned, length)) return true;
                if (feed == nullptr) return true;
                scanned = end + 1;
            }
        }
    }

    size_t Read(char* buffer, size_t size) override
    {
        if (served < ahead.Length()) {
            size_t count = ahead.Length() - served < size ? ahead.Length() - served : size;
            memcpy(buffer, ahead.Data() + served, count);
            served += count;
            return count;
        }
        return input.Read(buffer, size);
    }

private:
    bool ReadAll()
    {
        for (;;) {
            size_t before = ahead.Length();
            if (!ahead.Reserve(before + READ_CHUNK)) return false;
            size_t got = input.Read(ahead.Data() + before, READ_CHUNK);
            ahead.SetLength(before + got);
            if (got == 0) return true;
        }
    }

    CardInput& input;
    TextBuffer ahead;
    size_t served = 0;
};

// ---------------------------------------------------------------- the head of a line

// What the scan of a line's head found. The head is copied with every "\:" outside
// quotes turned into ':' and each ';' that separates two tokens turned into a NUL.
struct HeadLayout {
    char* head = nullptr;      // copy of the head (or of the whole line without separator),
                               // in the read's scratch buffer
    size_t headLength = 0;
    bool hasSeparator = false;
    size_t valueStart = 0;     // in the line: the byte after the separator
    bool hasGroup = false;
    size_t groupLength = 0;    // in the head copy: the group name's bytes before its '.'
};

enum class HeadState { Name, ParameterName, ValueStart, Value };

// The closing quote of a quote that opens at text[0], or null when none follows in the
// line: a quote that is never closed is an ordinary character. The search goes by
// characters, as every other search of the line does: a '"' that is the trail byte of a
// double-byte character closes nothing, so a value written in quotes reads back whole.
const char* ClosingQuote(const char* text, const char* lineEnd)
{
    for (const char* p = text + 1; p < lineEnd; p += CharWidth(p)) {
        if (*p == '"') return p;
    }
    return nullptr;
}

// The bytes that end a run of plain characters, for the loops that look at every byte of
// a line: those the loop acts on, and the lead bytes of the code page.
struct RunStops {
    unsigned char head[256];
    unsigned char value[256];
    const unsigned char* leadBytes;

    void Prepare(const unsigned char* codePageLeadBytes)
    {
        leadBytes = codePageLeadBytes;
        for (int c = 0; c < 256; ++c) head[c] = value[c] = leadBytes[c];
        // The NUL that ends every line the reader hands on stops a run as well, so that
        // the run needs no second test for its end.
        for (unsigned char c : {'\0', ':', '"', ';', '.', '=', ',', '\\'}) head[c] = 1;
        for (unsigned char c : {'\0', ';', '\\'}) value[c] = 1;
    }
};

// The line is terminated at length and holds no NUL before it.
bool ScanHead(const char* line, size_t length, TextBuffer& buffer, const RunStops& stops, HeadLayout* layout)
{
    // One buffer serves every line of a read: it grows to the longest head and stays.
    if (!buffer.Reserve(length)) return false;
    char* head = buffer.Data();
    const char* lineEnd = line + length;
    size_t out = 0;
    HeadState state = HeadState::Name;
    bool afterBackslash = false;
    // Quotes protect parameter values only: in the property name, the first token after
    // the group prefix (which a head that starts with ';' also has after an '='), a '"'
    // is an ordinary character.
    bool namePassed = false;
    size_t tokenStart = 0;
    size_t i = 0;
    const unsigned char* leadBytes = stops.leadBytes;
    while (i < length) {
        if (!stops.head[(unsigned char)line[i]]) {
            // A run of plain characters goes over as it is: it ends an escape, and it
            // starts a parameter value.
            do {
                head[out++] = line[i++];
            } while (!stops.head[(unsigned char)line[i]]);
            afterBackslash = false;
            if (state == HeadState::ValueStart) state = HeadState::Value;
            continue;
        }
        char c = line[i];
        size_t width = CharWidthIn(leadBytes, line + i);
        if (width == 2) {
            head[out++] = line[i];
            head[out++] = line[i + 1];
            i += 2;
            if (state == HeadState::ValueStart) state = HeadState::Value;
            afterBackslash = false;
            continue;
        }
        if (c == ':') {
            if (!afterBackslash) {
                layout->hasSeparator = true;
                layout->valueStart = i + 1;
                break;
            }
            head[out - 1] = ':';  // the escape "\:" in the head stands for a plain colon
            afterBackslash = false;
            ++i;
            continue;
        }
        if (c == '"' && state == HeadState::ValueStart && namePassed) {
            const char* closing = ClosingQuote(line + i, lineEnd);
            if (closing != nullptr) {
                size_t quoted = (size_t)(closing - (line + i)) + 1;
                memcpy(head + out, line + i, quoted);
                out += quoted;
                i += quoted;
                state = HeadState::Value;
                afterBackslash = false;
                continue;
            }
        }
        switch (c) {
        case ';':
            state = HeadState::ParameterName;
            if (out > tokenStart) namePassed = true;
            tokenStart = out + 1;
            c = '\0';
            break;
        case '.':
            if (state == HeadState::Name && !layout->hasGroup) {
                layout->hasGroup = true;
                layout->groupLength = out;
                tokenStart = out + 1;  // the group prefix is no token of its own
            }
            break;
        case '=':
            if (state == HeadState::ParameterName) state = HeadState::ValueStart;
            else if (state == HeadState::ValueStart) state = HeadState::Value;
            break;
        case ',':
            if (state == HeadState::Value) state = HeadState::ValueStart;
            break;
        default:
            if (state == HeadState::ValueStart) state = HeadState::Value;
            break;
        }
        head[out++] = c;
        afterBackslash = (c == '\\');
        ++i;
    }
    head[out] = '\0';
    layout->head = head;
    layout->headLength = out;
    return true;
}

// RFC 6868: ^' is a double quote, ^n a line feed and ^^ a caret in a parameter value.
void DecodeCarets(char* text)
{
    char* out = text;
    for (char* p = text; *p != '\0';) {
        if (CharWidth(p) == 2) {
            *out++ = *p++;
            *out++ = *p++;
            continue;
        }
        if (p[0] == '^' && (p[1] == '\'' || p[1] == 'n' || p[1] == '^')) {
            *out++ = p[1] == '\'' ? '"' : p[1] == 'n' ? '\n' : '^';
            p += 2;
            continue;
        }
        *out++ = *p++;
    }
    *out = '\0';
}

// One parameter value from text up to the next ',' outside quotes (or end, where the
// parameter's text ends): the quotes are not part of it. Returns a copy in the arena,
// and where the next value starts.
char* TakeParameterValue(CardArena& arena, const unsigned char* leadBytes, bool carets, const char* text,
                         const char* end, const char** next)
{
    const char* quoted = nullptr;  // the text between the quotes, when there are quotes
    size_t quotedLength = 0;
    const char* p = text;
    if (*p == '"') {
        const char* closing = ClosingQuote(p, end);
        if (closing != nullptr) {
            quoted = p + 1;
            quotedLength = (size_t)(closing - p - 1);
            p = closing + 1;
        }
    }
    const char* stop = p;
    while (stop < end && *stop != ',') stop += CharWidthIn(leadBytes, stop);
    *next = stop < end ? stop + 1 : nullptr;
    size_t restLength = (size_t)(stop - p);
    char* decoded;
    if (quotedLength == 0 && (!carets || memchr(p, '^', restLength) == nullptr)) {
        return arena.ShareText(p, restLength);  // nothing to decode
    }
    if (quotedLength == 0) {
        decoded = arena.CopyText(p, restLength);
    } else {
        decoded = arena.CopyText(quoted, quotedLength + restLength);
        if (decoded != nullptr) memcpy(decoded + quotedLength, p, restLength);
    }
    if (decoded != nullptr && carets) DecodeCarets(decoded);
    return decoded;
}

const char* NextToken(const char* from, const char* end)
{
    while (from < end && *from == '\0') ++from;
    return from < end ? from : nullptr;
}

// Kinds of property and parameter names by their spelling, for one read: an address
// book repeats a handful of names on every line, and the vocabulary compares each name
// it is asked with its table. The answer for a spelling cannot change within a read. A
// name longer than a slot's two words, or one whose slot holds another spelling, is
// looked up in the vocabulary.
class KindCache {
public:
    explicit KindCache(int (*lookUp)(const char*)) : find(lookUp) {}

    int Find(const char* name, size_t length)
    {
        if (length > sizeof(Slot::words)) return find(name);
        uint64_t words[2];
        ShortTextWords(name, length, words);
        uint64_t hash = (words[0] * 0x9E3779B97F4A7C15ull) ^ (words[1] * 0xC2B2AE3D27D4EB4Full) ^ length;
        Slot& slot = slots[(hash >> 32) & (SLOTS - 1)];
        if (slot.lengthAndOne == length + 1 && slot.words[0] == words[0] && slot.words[1] == words[1]) {
            return slot.kind;
        }
        int kind = find(name);
        slot = Slot{{words[0], words[1]}, length + 1, kind};
        return kind;
    }

private:
    static const size_t SLOTS = 64;
    struct Slot {
        uint64_t words[2];    // the spelling's bytes padded with zeros
        size_t lengthAndOne;  // 0: an empty slot
        int kind;
    };
    Slot slots[SLOTS] = {};
    int (*find)(const char*);
};

struct NameKinds {
    KindCache properties{FindPropertyKind};
    KindCache parameters{FindParameterKind};
};

// The root groups of the card being read, so that a grouped line finds its group without
// a walk over every root item (which made a card of many groups quadratic to read). It
// answers as FindGroup does, the first group whose name compares equal: a name of ASCII
// bytes only is kept in a hash table by its lower-case spelling, since the comparison
// folds nothing else in it and no name with other bytes equals it; any other name is
// compared with the groups of such names, in order, by the comparison itself. The table
// holds the items only and reads names from their nodes: an address book of tens of
// thousands of groups holds no second copy of every name.
class GroupIndex {
public:
    GroupIndex() = default;
    GroupIndex(const GroupIndex&) = delete;
    GroupIndex& operator=(const GroupIndex&) = delete;
    ~GroupIndex() { free(slots); }

    // Takes in the groups that the document already holds; false when memory ran out.
    bool Start(const CardDocument& document)
    {
        TreeWindow tree = document.GetTree();
        for (HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD); item != nullptr;
             item = TreeGetNextItem(tree, item, TVGN_NEXT)) {
            CardNode* node = document.GetNode(item);
            if (node != nullptr && node->IsGroup() && !Add(document, node->GetDisplayName(), item)) return false;
        }
        last = nullptr;
        return true;
    }

    HTREEITEM Find(const CardDocument& document, const char* name)
    {
        HTREEITEM found = nullptr;
        uint32_t hash;
        if (HashOf(name, &hash)) {
            // Grouped lines mostly come in runs of one group.
            if (last != nullptr && AsciiEqualNoCase(document.GetNode(last)->GetDisplayName(), name)) return last;
            if (slots != nullptr) {
                for (size_t i = hash & mask; slots[i].item != nullptr; i = (i + 1) & mask) {
                    if (slots[i].hash == hash &&
                        AsciiEqualNoCase(document.GetNode(slots[i].item)->GetDisplayName(), name)) {
                        found = slots[i].item;
                        break;
                    }
                }
            }
        } else {
            if (last != nullptr && MbsCompareNoCase(document.GetNode(last)->GetDisplayName(), name) == 0) return last;
            for (HTREEITEM item : others) {
                if (MbsCompareNoCase(document.GetNode(item)->GetDisplayName(), name) == 0) {
                    found = item;
                    break;
                }
            }
        }
        if (found != nullptr) last = found;
        return found;
    }

    // Asks for the slot a name of ASCII bytes would be found in, before Find looks; Find
    // and Add then take the hash found here for the same text.
    void Prefetch(const char* name)
    {
        hashedName = name;
        hashedAscii = AsciiHash(name, &nameHash);
        if (slots != nullptr && hashedAscii) __builtin_prefetch(&slots[nameHash & mask]);
    }

    // Records a group made after Find found none; false when memory ran out.
    bool Add(const CardDocument& document, const char* name, HTREEITEM item)
    {
        uint32_t hash;
        if (HashOf(name, &hash)) {
            if (!Insert(document, hash, item)) return false;
        } else {
            try {
                others.push_back(item);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        last = item;
        return true;
    }

    // The text given to Prefetch is about to change.
    void ForgetPrefetched() { hashedName = nullptr; }

private:
    struct Slot {
        uint32_t hash;
        HTREEITEM item;  // null: free
    };

    // AsciiHash, without a second pass over the text Prefetch was given.
    bool HashOf(const char* name, uint32_t* hash) const
    {
        if (name != hashedName) return AsciiHash(name, hash);
        *hash = nameHash;
        return hashedAscii;
    }

    // FNV-1a over the lower-case spelling of a name of ASCII bytes; false for other names.
    static bool AsciiHash(const char* name, uint32_t* hash)
    {
        uint32_t h = 2166136261u;
        for (const unsigned char* p = (const unsigned char*)name; *p != '\0'; ++p) {
            if (*p >= 0x80) return false;
            h = (h ^ (uint32_t)(*p >= 'A' && *p <= 'Z' ? *p + ('a' - 'A') : *p)) * 16777619u;
        }
        *hash = h;
        return true;
    }

    static bool AsciiEqualNoCase(const char* a, const char* b)
    {
        for (;; ++a, ++b) {
            unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
            if (x >= 'A' && x <= 'Z') x = (unsigned char)(x + ('a' - 'A'));
            if (y >= 'A' && y <= 'Z') y = (unsigned char)(y + ('a' - 'A'));
            if (x != y) return false;
            if (x == '\0') return true;
        }
    }

    // An earlier group of the name stays the one found: a later one is never entered.
    bool Insert(const CardDocument& document, uint32_t hash, HTREEITEM item)
    {
        if ((used + 1) * 4 > capacity * 3 && !Grow()) return false;
        size_t i = hash & mask;
        for (; slots[i].item != nullptr; i = (i + 1) & mask) {
            if (slots[i].hash == hash &&
                AsciiEqualNoCase(document.GetNode(slots[i].item)->GetDisplayName(),
                                 document.GetNode(item)->GetDisplayName())) {
                return true;
            }
        }
        slots[i] = Slot{hash, item};
        ++used;
        return true;
    }

    bool Grow()
    {
        size_t grown = capacity == 0 ? 64 : capacity * 2;
        if (grown > ((size_t)-1) / sizeof(Slot)) return false;
        Slot* fresh = (Slot*)calloc(grown, sizeof(Slot));
        if (fresh == nullptr) return false;
        size_t freshMask = grown - 1;
        for (size_t k = 0; k < capacity; ++k) {
            if (slots[k].item == nullptr) continue;
            size_t i = slots[k].hash & freshMask;
            while (fresh[i].item != nullptr) i = (i + 1) & freshMask;
            fresh[i] = slots[k];
        }
        free(slots);
        slots = fresh;
        capacity = grown;
        mask = freshMask;
        return true;
    }

    Slot* slots = nullptr;
    size_t capacity = 0;
    size_t mask = 0;
    size_t used = 0;
    std::vector<HTREEITEM> others;
    HTREEITEM last = nullptr;
    const char* hashedName = nullptr;  // the text Prefetch was last given, unchanged since
    uint32_t nameHash = 0;
    bool hashedAscii = false;
};

}  // namespace

// ---------------------------------------------------------------- parameters

// The encodings a value of 2.1 may name without ENCODING=.
static bool IsEncodingName(const char* token)
{
    for (const char* name : {"QUOTED-PRINTABLE", "BASE64", "8BIT", "7BIT"}) {
        if (CompareAsciiNoCase(token, name) == 0) return true;
    }
    return false;
}

// A parameter written as its value alone: an encoding is ENCODING's value, anything
// else a TYPE value, as 2.1 defines them.
static HRESULT ParseBareParameter(CardArena& arena, ParameterNode* node, const char* token, size_t length)
{
    if (IsEncodingName(token)) {
        static const char ENCODING[] = "ENCODING";
        char* name = arena.ShareText(ENCODING, sizeof ENCODING - 1);
        if (name == nullptr) return E_OUTOFMEMORY;
        node->AdoptArenaName(name);
        node->SetKind(ParameterKindOther);
    } else {
        node->SetKind(ParameterKindType);
    }
    char* value = arena.ShareText(token, length);
    if (value == nullptr) return E_OUTOFMEMORY;
    node->AdoptArenaValue(value);
    node->SetBare(true);
    return S_OK;
}

// Fills this fresh node from name=value[,value...], the token up to end (its NUL, which
// the caller has found once: a search for it from each value made a long list quadratic);
// each further value becomes a node of the same kind linked after it.
static HRESULT ParseParameter(CardArena& arena, NameKinds& kinds, const unsigned char* leadBytes,
                              CardVersion version, ParameterNode* node, char* token, const char* end)
{
    char* equals = token;
    while (*equals != '\0' && *equals != '=') equals += CharWidthIn(leadBytes, equals);
    if (*equals == '\0') {
        if (!AllowsBareParameters(version)) return E_INVALIDARG;
        return ParseBareParameter(arena, node, token, (size_t)(end - token));
    }
    bool carets = HasCaretEscapes(version);
    // The name is looked up where it stands, cut off at its '=' for the moment.
    *equals = '\0';
    ParameterKind kind = kinds.parameters.Find(token, (size_t)(equals - token));
    if (kind == ParameterKindOther) {
        char* name = arena.ShareText(token, (size_t)(equals - token));
        if (name == nullptr) return E_OUTOFMEMORY;
        node->AdoptArenaName(name);
    }
    *equals = '=';
    node->SetKind(kind);

    const char* next = nullptr;
    char* value = TakeParameterValue(arena, leadBytes, carets, equals + 1, end, &next);
    if (value == nullptr) return E_OUTOFMEMORY;
    node->AdoptArenaValue(value);

    ParameterNode* last = node;
    while (next != nullptr) {
        ParameterNode* further = PlaceNodeIn<ParameterNode>(arena, kind, (const char*)nullptr);
        if (further == nullptr) return E_OUTOFMEMORY;
        last->SetNext(further);  // the link holds the only reference
        value = TakeParameterValue(arena, leadBytes, carets, next, end, &next);
        if (value == nullptr) return E_OUTOFMEMORY;
        further->AdoptArenaValue(value);
        last = further;
    }
    return S_OK;
}

// The parameter chain of one line as it is read: each parameter (with its further
// values) goes after the last node at once, so that a line of many parameters costs no
// walk over the chain per parameter, as a line of many values costs none.
class ChainBuilder {
public:
    ChainBuilder() = default;
    ChainBuilder(const ChainBuilder&) = delete;
    ChainBuilder& operator=(const ChainBuilder&) = delete;
    ~ChainBuilder() { ParameterNode::ReleaseChain(head); }

    // Takes over the caller's reference to the node, which may head a chain.
    void Add(ParameterNode* node)
    {
        if (tail == nullptr) {
            head = node;
        } else {
            tail->SetNext(node);
        }
        for (tail = node; tail->GetNext() != nullptr;) tail = tail->GetNext();
    }

    // Hands the chain to the property, which takes a reference of its own.
    void AppendTo(PropertyNode* property)
    {
        if (head != nullptr) property->AppendParameter(head);
    }

private:
    ParameterNode* head = nullptr;
    ParameterNode* tail = nullptr;
};

// A property with its parameter chain from the tokens of a head; null on failure, with
// a refusal for a parameter without '='.
static PropertyNode* ParsePropertyHead(CardArena& arena, NameKinds& kinds, const unsigned char* leadBytes,
                                       CardVersion version, char* head, size_t length, int number, Refusal& refusal, HRESULT* result)
{
    const char* end = head + length;
    char* token = (char*)NextToken(head, end);
    if (token == nullptr) {
        *result = E_INVALIDARG;
        return nullptr;
    }
    size_t tokenLength = strlen(token);
    PropertyKind kind = kinds.properties.Find(token, tokenLength);
    PropertyNode* property = PlaceNodeIn<PropertyNode>(arena, kind, (const char*)nullptr);
    if (property == nullptr) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    if (kind == PropertyKindOther) {
        char* name = arena.ShareText(token, tokenLength);
        if (name == nullptr) {
            property->Release();
            *result = E_OUTOFMEMORY;
            return nullptr;
        }
        property->AdoptArenaName(name);
    }
    ChainBuilder chain;
    for (token = (char*)NextToken(token + tokenLength, end); token != nullptr;
         token = (char*)NextToken(token + tokenLength, end)) {
        tokenLength = strlen(token);
        ParameterNode* parameter = PlaceNodeIn<ParameterNode>(arena);
        if (parameter == nullptr) {
            property->Release();
            *result = E_OUTOFMEMORY;
            return nullptr;
        }
        HRESULT parsed = ParseParameter(arena, kinds, leadBytes, version, parameter, token, token + tokenLength);
        if (FAILED(parsed)) {
            if (parsed == E_INVALIDARG) {
                refusal.Set(RefusalKind::InvalidParameter, number);
                refusal.SetText(0, token);
                refusal.SetText(1, property->GetDisplayName());
            }
            parameter->Release();
            property->Release();
            *result = parsed;
            return nullptr;
        }
        chain.Add(parameter);
    }
    chain.AppendTo(property);
    *result = S_OK;
    return property;
}

// ---------------------------------------------------------------- values

// A value at least this long that ends its line is left where it was read, in the line's
// own buffer, which the arena takes over: a PHOTO of megabytes is not copied once more
// and not held twice.
const size_t KEPT_IN_LINE = 64 * 1024;

// The value at tail, the end of line's text, kept where it is; null when the arena could
// not take the buffer, which the caller then copies from as usual.
static char* KeepLineTail(CardArena& arena, TextBuffer& line, const char* tail)
{
    char* whole = line.Data();
    if (!arena.AdoptHeapText(whole)) return nullptr;
    line.Detach();  // the arena frees it now
    return whole + (tail - whole);
}

// Appends the value components of text: split at each ';' that no backslash escapes,
// with \\ \n \N \, \; \: decoded in one pass. Sets *escapedColon when "\:" occurred.
// A component of a list (N, ADR, CATEGORIES, NICKNAME) keeps the file's spelling, which
// is also what the user sees and types: there ',' separates the list's values and "\,"
// is a comma inside one, a difference that decoding would lose. Only "\:" becomes ':'
// there too, since the escape-colon setting decides how every colon is written.
// The values of one line as they are read: their texts are in the arena already, their
// array goes there once the count is known.
class ValueList {
public:
    ValueList() = default;
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;
    ~ValueList() { free(items); }

    bool Add(char* value)
    {
        if (count == capacity && !Grow()) return false;
        items[count++] = value;
        return true;
    }

    HRESULT GiveTo(CardArena& arena, PropertyNode* property)
    {
        if (count > (size_t)INT32_MAX) return E_OUTOFMEMORY;
        if (count == 1) {
            // The node keeps a single value's text without an array.
            property->AdoptArenaValues(items, 1);
            return S_OK;
        }
        char** placed = arena.PlacePointers(count);
        if (placed == nullptr) return E_OUTOFMEMORY;
        memcpy(placed, items, count * sizeof(char*));
        property->AdoptArenaValues(placed, (int)count);
        return S_OK;
    }

    void Clear() { count = 0; }

private:
    bool Grow()
    {
        size_t grown = capacity == 0 ? 16 : capacity * 2;
        if (grown > ((size_t)-1) / sizeof(char*)) return false;
        char** moved = (char**)realloc(items, grown * sizeof(char*));
        if (moved == nullptr) return false;
        items = moved;
        capacity = grown;
        return true;
    }

    // An array that every line reuses: adding a value is a store, not a buffer's append.
    char** items = nullptr;
    size_t count = 0;
    size_t capacity = 0;
};

static HRESULT ParseTextValues(CardArena& arena, ValueList& values, TextBuffer& line, const char* text,
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

// ---------------------------------------------------------------- lines

// The buffers a read reuses from line to line, so that a line costs no allocation of
// its own beyond the nodes and texts it places in the arena.
struct LineScratch {
    TextBuffer head;
    TextBuffer component;
    ValueList values;
    NameKinds kinds;
    RunStops stops;
    TextBuffer* line = nullptr;  // the logical line being read, whose text the values point into
    // Cards opened inside the card and not yet closed: vCard 2.1 writes the card an AGENT
    // stands for as lines of its own. The closing line of such a card is held until
    // another line follows: the last closing line of the input always closes this card.
    int nestedCards = 0;
    TextBuffer heldClosing;
    int heldNumber = 0;
    // Older cards: the version's rules, the buffers a value is decoded through, whether
    // the card's own VERSION has been placed, and the first line whose text could not be
    // converted into the program's text.
    CardVersion version = CardVersion::V40;
    TextBuffer decoded;
    TextBuffer converted;
    bool versionPlaced = false;
    int unconvertedLine = 0;
};

// One raw text, kept where it stands when it is long: a URI, or base64 data.
static HRESULT ParseRawValue(CardArena& arena, TextBuffer& line, const char* text, size_t length, ValueList& values)
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
static HRESULT ParseOldTextValues(CardArena& arena, ValueList& values, const char* text, const char* end,
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

// An older card's value as the program's text: quoted-printable decoded, then its
// character set converted. Returns the text to split, which may be the line's own.
static HRESULT DecodeOldValue(PropertyNode* property, const ValueEncoding& encoding, const char** text,
                              size_t* length, TextBuffer** holder, LineScratch& scratch, int number)
{
    if (encoding.quotedPrintable) {
        scratch.decoded.Clear();
        if (!DecodeQuotedPrintable(*text, *length, scratch.decoded)) return E_OUTOFMEMORY;
        *text = scratch.decoded.Data();
        *length = scratch.decoded.Length();
        *holder = &scratch.decoded;
    }
    if (!HasEightBitBytes(*text, *length)) return S_OK;
    scratch.converted.Clear();
    PropertyNode::TextBytes bytes;
    bool notRepresentable = false;
    if (!DecodeLegacyText(encoding.charset, *text, *length, scratch.converted, &bytes, &notRepresentable)) {
        return E_OUTOFMEMORY;
    }
    property->SetTextBytes(bytes);
    if (notRepresentable && scratch.unconvertedLine == 0) scratch.unconvertedLine = number;
    *text = scratch.converted.Data();
    *length = scratch.converted.Length();
    *holder = &scratch.converted;
    return S_OK;
}

static HRESULT ParseValues(CardArena& arena, PropertyNode* property, const char* text, size_t length,
                           LineScratch& scratch, int number, bool* escapedColon)
{
    HRESULT result = S_OK;
    scratch.values.Clear();
    ValueEncoding encoding;
    if (AllowsLegacyEncodings(scratch.version)) encoding = EncodingOf(property);
    TextBuffer* holder = scratch.line;  // the buffer that holds text, to its end
    if (IsUriValued(property) || encoding.base64) {
        // A URI, or data, is one raw text: no components, no escapes.
        result = ParseRawValue(arena, *scratch.line, text, length, scratch.values);
    } else {
        if (AllowsLegacyEncodings(scratch.version)) {
            result = DecodeOldValue(property, encoding, &text, &length, &holder, scratch, number);
        }
        bool list = IsListValued(property->GetKind());
        if (FAILED(result)) {
        } else if (HasBackslashEscapes(scratch.version)) {
            result = ParseTextValues(arena, scratch.values, *holder, text, text + length, scratch.component,
                                     scratch.stops, list, escapedColon);
        } else {
            result = ParseOldTextValues(arena, scratch.values, text, text + length, scratch.component,
                                        scratch.stops.leadBytes, list);
        }
    }
    if (SUCCEEDED(result)) result = scratch.values.GiveTo(arena, property);
    if (SUCCEEDED(result)) property->ClearModified();
    return result;
}

static HRESULT ReadProperty(CardDocument& document, CardArena& arena, GroupIndex& groups, LineScratch& scratch,
                            Refusal& refusal, char* line, size_t length, int number);

// One content line into the document, its group found through the index.
static HRESULT ReadLine(CardDocument& document, CardArena& arena, GroupIndex& groups, LineScratch& scratch,
                        Refusal& refusal, char* line, size_t length, int number)
{
    if (number == 0) {
        if (IsOpeningLine(line, length)) return S_OK;
        refusal.Set(RefusalKind::FirstLine, number);
        refusal.SetText(0, OPENING_LINE);
        return E_FAIL;
    }
    // Only a line that starts like the closing line is compared with it.
    bool closing = (line[0] == 'E' || line[0] == 'e') && MbsCompareNoCase(line, CLOSING_LINE) == 0;
    if (!scratch.heldClosing.IsEmpty()) {
        // Another line follows, so the held line closed a card inside this one: keep it.
        HRESULT result = ReadProperty(document, arena, groups, scratch, refusal, scratch.heldClosing.Data(),
                                      scratch.heldClosing.Length(), scratch.heldNumber);
        scratch.heldClosing.Clear();
        if (FAILED(result)) return result;
    }
    if (closing) {
        if (scratch.nestedCards == 0) return S_OK;
        --scratch.nestedCards;
        scratch.heldNumber = number;
        return scratch.heldClosing.Assign(line, length) ? S_OK : E_OUTOFMEMORY;
    }
    if ((line[0] == 'B' || line[0] == 'b') && MbsCompareNoCase(line, OPENING_LINE) == 0) ++scratch.nestedCards;
    return ReadProperty(document, arena, groups, scratch, refusal, line, length, number);
}

// One content line that is a property, placed at the root or in its group.
static HRESULT ReadProperty(CardDocument& document, CardArena& arena, GroupIndex& groups, LineScratch& scratch,
                            Refusal& refusal, char* line, size_t length, int number)
{
    HeadLayout layout;
    if (!ScanHead(line, length, scratch.head, scratch.stops, &layout)) return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    if (!layout.hasSeparator) {
        refusal.Set(RefusalKind::MissingColon, number);
        refusal.SetText(0, line);  // as read: the head copy is already cut into tokens
        return E_FAIL;
    }

    // The group's slot in the index is most likely not in the cache: it is fetched while
    // the property is parsed, and looked at after.
    size_t nameStart = 0;
    if (layout.hasGroup) {
        layout.head[layout.groupLength] = '\0';
        groups.Prefetch(layout.head);
        nameStart = layout.groupLength + 1;
    }

    PropertyNode* property =
        ParsePropertyHead(arena, scratch.kinds, scratch.stops.leadBytes, scratch.version, layout.head + nameStart,
                          layout.headLength - nameStart, number, refusal, &result);
    if (property == nullptr) return result;

    bool escapedColon = false;
    result = ParseValues(arena, property, line + layout.valueStart, length - layout.valueStart, scratch, number,
                         &escapedColon);
    if (FAILED(result)) {
        property->Release();
        return result;
    }
    if (escapedColon) document.SetEscapeColon(1);

    HTREEITEM parent = TVI_ROOT;
    if (layout.hasGroup) {
        const char* name = layout.head;
        HTREEITEM group = groups.Find(document, name);
        if (group == nullptr) {
            GroupNode* node = PlaceNodeIn<GroupNode>(arena, (const char*)nullptr);
            char* arenaName = node != nullptr ? arena.CopyText(name, layout.groupLength) : nullptr;
            if (arenaName == nullptr) {
                if (node != nullptr) node->Release();
                property->Release();
                return E_OUTOFMEMORY;
            }
            node->AdoptArenaName(arenaName);
            group = document.InsertNode(TVI_ROOT, node);
            if (group == nullptr) {
                property->Release();
                result = ResultFromLastError();
                return FAILED(result) ? result : E_FAIL;
            }
            if (!groups.Add(document, name, group)) {
                property->Release();
                return E_OUTOFMEMORY;
            }
        }
        groups.ForgetPrefetched();
        parent = group;
    }

    // The card's VERSION goes first wherever the file had it (KDE writes it after other
    // lines), so that the card can be saved, which writes it first.
    bool cardVersion = !scratch.versionPlaced && parent == TVI_ROOT && scratch.nestedCards == 0 &&
                       property->GetKind() == PropertyKindVersion;
    if (cardVersion) {
        scratch.versionPlaced = true;
        parent = TVI_FIRST;
    }
    if (document.InsertNode(parent, property) == nullptr) {
        result = ResultFromLastError();
        return FAILED(result) ? result : E_FAIL;
    }
    return S_OK;
}

HRESULT CardDocument::ReadCard(CardInput& input)
{
    SetEscapeColon(0);
    refusal.Clear();
    byteOrderMark = false;
    fromUtf16 = false;
    version = CardVersion::V40;
    unconvertedLine = 0;
    HRESULT result = S_OK;
    VersionProbe probe(input);
    LineReader lines(probe);
    TextBuffer logical;
    GroupIndex groups;
    LineScratch scratch;
    int number = 0;
    // A fresh arena for this read; nodes of an earlier one keep theirs alive.
    AbandonArena();
    arena = CardArena::Create();
    scratch.stops.Prepare(LeadByteTable());
    scratch.line = &logical;
    if (arena == nullptr || !probe.Probe(&version, &fromUtf16) || !lines.Start() || !logical.Reserve(0) || !groups.Start(*this)) {
        result = E_OUTOFMEMORY;
    } else {
        scratch.version = version;
        ContentLineRules rules(version);
        const char* line;
        size_t length;
        bool firstPhysicalLine = true;
        while (lines.Next(&line, &length)) {
            if (firstPhysicalLine) {
                firstPhysicalLine = false;
                if (StartsWithUtf16Mark(line, length)) {
                    refusal.Set(RefusalKind::Utf16, 0);
                    result = E_FAIL;
                    break;
                }
                // Notepad's mark of UTF-8 stands before the first line, not in it.
                byteOrderMark = StartsWith(line, length, UTF8_MARK, 3);
                if (byteOrderMark) {
                    line += 3;
                    length -= 3;
                }
            }
            length = ContentLength(line, length);
            if (length == 0) {
                rules.EmptyLine();  // empty lines never end a logical line
                continue;
            }
            LineJoin join = rules.Classify(line, length, !logical.IsEmpty());
            if (number == 0) join = LineJoin::Starts;  // nothing continues the opening line
            if (join != LineJoin::Starts) {
                bool appended;
                if (join == LineJoin::Fold) {
                    appended = logical.Append(line + 1, length - 1);
                } else if (join == LineJoin::SoftBreak) {
                    logical.SetLength(logical.Length() - 1);  // the '=' of the soft break
                    appended = logical.Append(line, length);
                } else {
                    while (length > 0 && (*line == ' ' || *line == '\t')) {
                        ++line;
                        --length;
                    }
                    appended = logical.Append(line, length);
                }
                if (!appended) {
                    result = E_OUTOFMEMORY;
                    break;
                }
                rules.Gathered(logical.Data(), logical.Length(), join);
                continue;
            }
            if (line[0] == ' ' || line[0] == '\t') {
                // Before the first line was handed on: the opening line cannot be folded.
                refusal.Set(RefusalKind::FirstLineFolded, number);
                result = E_FAIL;
                break;
            }
            if (!logical.IsEmpty()) {
                result = ReadLine(*this, *arena, groups, scratch, refusal, logical.Data(), logical.Length(), number);
                ++number;
                if (FAILED(result)) break;
            }
            if (!logical.Assign(line, length)) {
                result = E_OUTOFMEMORY;
                break;
            }
            rules.Gathered(logical.Data(), logical.Length(), LineJoin::Starts);
        }
        if (SUCCEEDED(result) && lines.OutOfMemory()) result = E_OUTOFMEMORY;
        if (SUCCEEDED(result) && !logical.IsEmpty()) {
            result = ReadLine(*this, *arena, groups, scratch, refusal, logical.Data(), logical.Length(), number);
        }
    }
    if (SUCCEEDED(result)) unconvertedLine = scratch.unconvertedLine;
    structureChanged = 0;
    return result;
}
