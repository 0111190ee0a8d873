// The head of a content line: scanning it, and the nodes made from its tokens.
#include "card/property_head.h"

#include "card/content_lines.h"
#include "card/format.h"
#include "card/head_grammar.h"
#include "card/mbstring.h"

namespace {

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
    // A 2.1 card has no caret escapes, except in a value in quotes, which 2.1 does not
    // have either: that is how a save writes a value that needs quotes and holds a quote.
    bool decode = carets || quoted != nullptr;
    char* decoded;
    if (quotedLength == 0 && (!decode || memchr(p, '^', restLength) == nullptr)) {
        return arena.ShareText(p, restLength);  // nothing to decode
    }
    if (quotedLength == 0) {
        decoded = arena.CopyText(p, restLength);
    } else {
        decoded = arena.CopyText(quoted, quotedLength + restLength);
        if (decoded != nullptr) memcpy(decoded + quotedLength, p, restLength);
    }
    if (decoded != nullptr && decode) DecodeCarets(decoded);
    return decoded;
}

const char* NextToken(const char* from, const char* end)
{
    while (from < end && *from == '\0') ++from;
    return from < end ? from : nullptr;
}

}  // namespace

// The line is terminated at length and holds no NUL before it.
bool ScanHead(const char* line, size_t length, TextBuffer& buffer, const RunStops& stops, HeadLayout* layout)
{
    // One buffer serves every line of a read: it grows to the longest head and stays.
    if (!buffer.Reserve(length)) return false;
    char* head = buffer.Data();
    const char* lineEnd = line + length;
    size_t out = 0;
    HeadGrammar grammar;
    bool afterBackslash = false;
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
            grammar.Character();
            continue;
        }
        char c = line[i];
        size_t width = CharWidthIn(leadBytes, line + i);
        if (width == 2) {
            head[out++] = line[i];
            head[out++] = line[i + 1];
            i += 2;
            grammar.Character();
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
        if (c == '"' && grammar.QuoteMayOpen()) {
            const char* closing = ClosingQuote(line + i, lineEnd);
            if (closing != nullptr) {
                size_t quoted = (size_t)(closing - (line + i)) + 1;
                memcpy(head + out, line + i, quoted);
                out += quoted;
                i += quoted;
                grammar.Quoted();
                afterBackslash = false;
                continue;
            }
        }
        if (grammar.Punctuation(c)) {
            layout->hasGroup = true;
            layout->groupLength = out;
        }
        head[out++] = c == ';' ? '\0' : c;
        afterBackslash = (c == '\\');
        ++i;
    }
    head[out] = '\0';
    layout->head = head;
    layout->headLength = out;
    return true;
}

// A parameter written as its value alone: an encoding is ENCODING's value, anything
// else a TYPE value, as 2.1 defines them.
static HRESULT ParseBareParameter(CardArena& arena, ParameterNode* node, const char* token, size_t length)
{
    if (IsBareEncodingName(token, length)) {
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
PropertyNode* ParsePropertyHead(CardArena& arena, NameKinds& kinds, const unsigned char* leadBytes,
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
