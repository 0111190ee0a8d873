// Card writer and validation: one content line per property in tree order, parameters
// merged into runs, values escaped, lines folded; VERSION first and FN present.
#include "card/document.h"

#include "card/charset.h"
#include "card/format.h"
#include "card/io.h"
#include "card/legacy_text.h"
#include "card/mbstring.h"
#include "card/text_buffer.h"
#include "card/tree.h"

#include <initializer_list>
#include <stdint.h>
#include <string.h>

namespace {

const char LINE_END[] = "\r\n";

// One flag per property kind, looked up by name once: the reader and the writer ask for
// every property, and a lookup by name costs a pass over the whole table.
struct KindFlags {
    bool flags[PROPERTY_NAME_COUNT] = {};
    KindFlags(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            PropertyKind kind = FindPropertyKind(name);
            if (kind >= 0 && kind < PROPERTY_NAME_COUNT) flags[kind] = true;
        }
    }
    bool Has(PropertyKind kind) const { return kind >= 0 && kind < PROPERTY_NAME_COUNT && flags[kind]; }
};

bool IsUriKind(PropertyKind kind)
{
    static const KindFlags uriKinds = {
        "SOURCE", "PHOTO", "IMPP", "GEO", "LOGO", "MEMBER", "SOUND", "UID", "URL", "KEY",
        "FBURL", "CALADRURI", "CALURI", "RELATED",
    };
    return uriKinds.Has(kind);
}

bool LastCharIsBackslash(const char* text, size_t length)
{
    bool last = false;
    for (size_t i = 0; i < length; i += CharWidth(text + i)) last = CharWidth(text + i) == 1 && text[i] == '\\';
    return last;
}

// Names in the head: a ':' is written "\:", which the reader turns back into ':'.
bool AppendHeadText(TextBuffer& line, const char* text)
{
    for (const char* p = text; *p != '\0';) {
        size_t width = CharWidth(p);
        if (width == 1 && *p == ':' && !line.AppendChar('\\')) return false;
        if (!line.Append(p, width)) return false;
        p += width;
    }
    return true;
}

bool NeedsQuotes(const char* value)
{
    const char* last = nullptr;
    for (const char* p = value; *p != '\0'; p += CharWidth(p)) {
        if (CharWidth(p) == 1 && (*p == ',' || *p == ':' || *p == ';')) return true;
        last = p;
    }
    if (last == nullptr || CharWidth(last) != 1) return false;
    // An unquoted value ending in '\' would escape the ':' or ';' after it. One ending in
    // a lone lead byte (the reader never makes one) takes the byte after it for its trail
    // byte whatever follows; in quotes the line at least keeps its separator.
    return *last == '\\' || MbsIsLeadByte((unsigned char)*last);
}

// A parameter value, RFC 6868-encoded (from 3.0 on, and in 2.1 when in quotes), and in
// double quotes when it holds , : or ;.
bool AppendParameterValue(TextBuffer& line, const char* value, bool carets)
{
    if (value == nullptr) return true;
    // 2.1 has caret escapes only in quotes: a quote or a line break takes them there.
    bool quoted = NeedsQuotes(value) || (!carets && strpbrk(value, "\"\n") != nullptr);
    if (quoted && !line.AppendChar('"')) return false;
    carets = carets || quoted;
    for (const char* p = value; *p != '\0';) {
        size_t width = CharWidth(p);
        const char* encoded = nullptr;
        if (width == 1 && carets) {
            if (*p == '^') encoded = "^^";
            else if (*p == '\n') encoded = "^n";
            else if (*p == '"') encoded = "^'";
        }
        if (!(encoded != nullptr ? line.Append(encoded, 2) : line.Append(p, width))) return false;
        p += width;
    }
    return !quoted || line.AppendChar('"');
}

// In a component of a list, held in the file's own spelling, the bytes from a backslash
// that go out as they stand: an escape pair as the reader sees one (the backslash and any
// single-byte character but a line feed), so that an unedited component comes back byte
// for byte; or the backslash alone before a double-byte character, which the reader
// takes as it is too. 0 for a backslash at the end or before a line feed: it is escaped.
size_t ListEscapeLength(const unsigned char* leadBytes, const char* backslash)
{
    char next = backslash[1];
    if (next == '\0' || next == '\n') return 0;
    return CharWidthIn(leadBytes, backslash + 1) == 1 ? 2 : 1;
}

// Whether the backslash at p is written doubled: where the reader would otherwise take it
// with what follows for an escape, or with an escape the writer makes of what follows.
// Before any other character it is itself, so that Google's "\"" comes back as it was.
bool BackslashNeedsEscape(const unsigned char* leadBytes, const char* p)
{
    char next = p[1];
    if (next == '\0') return true;  // the ';' or line end after the text
    if (CharWidthIn(leadBytes, p + 1) != 1) return false;
    return next == '\\' || next == 'n' || next == 'N' || next == ';' || next == ',' || next == ':' || next == '\n';
}

// A 2.1 text value, where only "\;" is an escape: ';' is written "\;" and every other
// character as it is (a line break goes quoted-printable). In a component of a list,
// held in the file's own bytes, a ';' that a backslash comes before is already escaped.
bool AppendOldTextValue(TextBuffer& line, const char* value, bool list)
{
    const unsigned char* leadBytes = LeadByteTable();
    bool afterBackslash = false;
    for (const char* p = value; *p != '\0';) {
        size_t width = CharWidthIn(leadBytes, p);
        if (width == 1 && *p == ';' && !(list && afterBackslash) && !line.AppendChar('\\')) return false;
        if (!line.Append(p, width)) return false;
        afterBackslash = width == 1 && *p == '\\';
        p += width;
    }
    return true;
}

// A text value: \ , ; and a line feed escaped, ':' too when escapeColon is set. In the
// lists of N, ADR, CATEGORIES and NICKNAME ',' separates values and stays as it is, and
// the escape pairs of the file's spelling ("\," a comma in a value) stay as they are.
bool AppendTextValue(TextBuffer& line, const char* value, bool list, int escapeColon)
{
    const unsigned char* leadBytes = LeadByteTable();
    for (const char* p = value; *p != '\0';) {
        // A run of single-byte characters that need no escape goes over in one piece.
        const char* run = p;
        for (char c = *p; c != '\0' && c != '\\' && c != '\n' && c != ';' && c != ',' && c != ':' &&
                          !leadBytes[(unsigned char)c];
             c = *++p) {
        }
        if (p > run && !line.Append(run, (size_t)(p - run))) return false;
        if (*p == '\0') break;
        size_t width = CharWidthIn(leadBytes, p);
        if (width == 1) {
            char c = *p;
            const char* escaped = nullptr;
            size_t asItStands = list && c == '\\' ? ListEscapeLength(leadBytes, p) : 0;
            if (asItStands != 0) {
                if (!line.Append(p, asItStands)) return false;
                p += asItStands;
                continue;
            }
            size_t escapedLength = 2;
            if (c == '\\') {
                escaped = "\\\\";
                if (!BackslashNeedsEscape(leadBytes, p)) escapedLength = 1;
            } else if (c == '\n') {
                escaped = "\\n";
            } else if (c == ';') {
                escaped = "\\;";
            } else if (c == ',' && !list) {
                escaped = "\\,";
            } else if (c == ':' && escapeColon) {
                escaped = "\\:";
            }
            if (escaped != nullptr) {
                if (!line.Append(escaped, escapedLength)) return false;
                ++p;
                continue;
            }
        }
        if (!line.Append(p, width)) return false;
        p += width;
    }
    return true;
}

// A URI value that cannot be written: one with a line feed. A URI has no escapes, so
// "\n" would read back as a backslash and an n, and a bare line feed would end the line.
// Base64 data of an older card is as raw as a URI.
bool HoldsLineBreakInUri(const PropertyNode* property, CardVersion version)
{
    if (AllowsLegacyEncodings(version)) {
        // Quoted-printable carries a line break: a URI read through it (or, in 2.1, one
        // that names its character set, which gets it for the line break) is written so.
        ValueEncoding encoding = EncodingOf(property);
        bool carried = encoding.CarriesUriAsText() && (encoding.quotedPrintable || version == CardVersion::V21);
        if (IsUriValued(property) && carried) return false;
    }
    if (!IsUriValued(property) && !(AllowsLegacyEncodings(version) && EncodingOf(property).base64)) return false;
    for (int i = 0; i < property->GetValueCount(); ++i) {
        const char* value = property->GetValue(i);
        if (value != nullptr && strchr(value, '\n') != nullptr) return true;
    }
    return false;
}

void RefuseLineBreakInUri(const PropertyNode* property, Refusal& refusal)
{
    refusal.Set(RefusalKind::LineBreakInUri, 0);
    refusal.SetText(0, property->GetDisplayName());
}

// The places where a logical line may be cut: between characters, so that a program
// that decodes each physical line before it joins them sees whole characters (RFC 6350
// 3.2), the characters being UTF-8 sequences when the line is UTF-8 throughout, else
// those of the code page; and never right after a CR, which the reader would take for
// part of the line end. In code page 65001 a line that is not UTF-8 throughout is still
// cut between sequences as a decoder takes them, so what is whole stays whole.
class FoldCuts {
public:
    FoldCuts(const char* text, size_t textLength)
        : line(text),
          length(textLength),
          utf8(IsUtf8((const unsigned char*)text, textLength)),
          sequences(utf8 || MbsGetCodePage() == CODE_PAGE_UTF8),
          leadBytes(LeadByteTable()),
          doubleByte(!sequences && memchr(leadBytes, 1, 256) != nullptr)
    {
    }

    // The last cut after start and at or before nominal; else the first one after it (a
    // character or a run of CRs that does not fit); length when the rest fits.
    size_t Next(size_t start, size_t nominal) const
    {
        if (nominal >= length) return length;
        if (doubleByte) return NextByWalking(start, nominal);
        // A UTF-8 boundary shows where it stands, and a single-byte code page has one
        // between any two bytes: the cut is found from nominal, at the cost of a few bytes.
        for (size_t cut = nominal; cut > start; --cut) {
            if (Allowed(cut)) return cut;
        }
        for (size_t cut = nominal + 1; cut < length; ++cut) {
            if (Allowed(cut)) return cut;
        }
        return length;
    }

private:
    bool Allowed(size_t cut) const
    {
        return line[cut - 1] != '\r' && (!sequences || !InsideSequence(cut));
    }

    // Whether the byte at cut continues a sequence begun before it: a lead byte at most
    // three bytes back whose sequence is that long (always so in a line of UTF-8).
    bool InsideSequence(size_t cut) const
    {
        if (((unsigned char)line[cut] & 0xC0) != 0x80) return false;
        if (utf8) return true;
        for (size_t back = 1; back <= 3 && back <= cut; ++back) {
            unsigned char c = (unsigned char)line[cut - back];
            if ((c & 0xC0) == 0x80) continue;
            size_t sequence = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return sequence > back;
        }
        return false;
    }

    // A trail byte of a double-byte code page may look like a lead byte, so characters
    // are told apart only from the start of the piece, itself a character's start.
    size_t NextByWalking(size_t start, size_t nominal) const
    {
        size_t best = start;
        for (size_t cut = start + CharWidthIn(leadBytes, line + start); cut < length;
             cut += CharWidthIn(leadBytes, line + cut)) {
            if (line[cut - 1] == '\r') continue;
            if (cut > nominal) return best > start ? best : cut;
            best = cut;
        }
        return best > start ? best : length;
    }

    const char* line;
    size_t length;
    bool utf8;
    bool sequences;  // cut between UTF-8 sequences
    const unsigned char* leadBytes;
    bool doubleByte;
};

// Bytes of folded lines gathered before they go to the stream in one write.
const size_t FOLD_STAGE_SIZE = 64 * 1024;

// Writes the logical line in physical lines; a line that needs no fold goes in one write
// with its line end, a folded one in pieces of up to FOLD_STAGE_SIZE bytes.
HRESULT WriteFolded(CardOutput& output, TextBuffer& logical, int budget)
{
    size_t length = logical.Length();
    if (length <= (size_t)budget) {
        if (!logical.Append(LINE_END, 2)) return E_OUTOFMEMORY;
        return output.Write(logical.Data(), logical.Length());
    }
    const char* line = logical.Data();
    FoldCuts cuts(line, length);
    TextBuffer stage;
    size_t folded = length + (length / FOLD_WIDTH + 2) * 3;
    if (!stage.Reserve(folded < FOLD_STAGE_SIZE ? folded : FOLD_STAGE_SIZE + FOLD_WIDTH + 3)) return E_OUTOFMEMORY;
    size_t start = 0;
    bool first = true;
    while (first || start < length) {
        size_t room = first ? (size_t)budget : (size_t)FOLD_WIDTH;
        size_t cut = cuts.Next(start, start + room);
        if ((!first && !stage.AppendChar(' ')) || !stage.Append(line + start, cut - start) ||
            !stage.Append(LINE_END, 2)) {
            return E_OUTOFMEMORY;
        }
        start = cut;
        first = false;
        if (stage.Length() >= FOLD_STAGE_SIZE || start >= length) {
            HRESULT result = output.Write(stage.Data(), stage.Length());
            if (FAILED(result)) return result;
            stage.Clear();
        }
    }
    return S_OK;
}

// Whether the property is written as the line that opens ("BEGIN") or closes ("END") a card.
bool IsCardLine(const PropertyNode* property, bool grouped, const char* name)
{
    return !grouped && property->GetKind() == PropertyKindOther &&
           MbsCompareNoCase(property->GetDisplayName(), name) == 0 && property->GetParameters() == nullptr &&
           property->GetValueCount() == 1 && property->GetValue(0) != nullptr &&
           MbsCompareNoCase(property->GetValue(0), "VCARD") == 0;
}

// Whether the property's line needs a leading ';' so that the reader takes the name back
// whole: a name at the root with a '.' or a ';', one that starts with a blank, or a line
// that would read as the card's closing line.
bool NeedsLeadingSemicolon(const PropertyNode* property, bool grouped, bool closesInnerCard)
{
    if (grouped || property->GetKind() != PropertyKindOther) return false;
    const char* name = property->GetDisplayName();
    if (name[0] == ' ' || name[0] == '\t') return true;
    if (MbsFindChar(name, '.') != nullptr || MbsFindChar(name, ';') != nullptr) return true;
    return !closesInnerCard && IsCardLine(property, grouped, "END");
}

}  // namespace

bool IsUriValued(const PropertyNode* property)
{
    bool hasValueParameter = false;
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetKind() != ParameterKindValue) continue;
        hasValueParameter = true;
        if (p->GetValue() != nullptr && MbsCompareNoCase(p->GetValue(), "uri") == 0) return true;
    }
    return !hasValueParameter && IsUriKind(property->GetKind());
}

const unsigned char* LeadByteTable()
{
    // The card code runs on one thread; the table follows the code page it last saw.
    static unsigned char table[256];
    static int tableCodePage = -1;
    int codePage = MbsGetCodePage();
    if (codePage != tableCodePage) {
        for (int c = 0; c < 256; ++c) table[c] = MbsIsLeadByte((unsigned char)c) ? 1 : 0;
        tableCodePage = codePage;
    }
    return table;
}

bool IsListValued(PropertyKind kind)
{
    static const KindFlags listKinds = {"N", "ADR", "CATEGORIES", "NICKNAME"};
    return listKinds.Has(kind);
}

// Formats the chain from node to its end as runs of ";name=value" and ",value"; returns
// the bytes added, or -1 when memory ran out. A bare parameter is its value alone; 2.1
// has no lists of values, so there a standard parameter's every value is a parameter of
// its own (a further value of another has no name to write, and stays in its run).
// charsetUsed, when not null, is written for the value of CHARSET.
static long FormatParameters(ParameterNode* node, TextBuffer& line, CardVersion version, const char* charsetUsed)
{
    size_t before = line.Length();
    bool carets = HasCaretEscapes(version);
    while (node != nullptr) {
        if (node->IsBare()) {
            if (!line.AppendChar(';') || (node->GetValue() != nullptr && !AppendHeadText(line, node->GetValue()))) {
                return -1;
            }
            node->ClearModified();
            node = node->GetNext();
            continue;
        }
        const char* name = node->GetCustomName() != nullptr ? node->GetCustomName()
                                                            : GetParameterName(node->GetKind());
        const char* value = charsetUsed != nullptr && IsCharsetParameter(node) ? charsetUsed : node->GetValue();
        if (!line.AppendChar(';') || !AppendHeadText(line, name) || !line.AppendChar('=') ||
            !AppendParameterValue(line, value, carets)) {
            return -1;
        }
        ParameterNode* run = node;
        node->ClearModified();
        node = node->GetNext();
        bool lists = version != CardVersion::V21 || run->GetKind() == ParameterKindOther;
        while (lists && node != nullptr && node->GetKind() == run->GetKind() && node->GetCustomName() == nullptr &&
               !node->IsBare()) {
            if (!line.AppendChar(',') || !AppendParameterValue(line, node->GetValue(), carets)) return -1;
            node->ClearModified();
            node = node->GetNext();
        }
    }
    return (long)(line.Length() - before);
}

// A quoted-printable content line: the head whole, then the encoded value in physical
// lines of at most 76 bytes, each but the last ended by the soft break '=', never inside
// an "=XX" (the only '=' an encoded value holds).
static HRESULT WriteSoftBroken(CardOutput& output, TextBuffer& line, const char* encoded, size_t length)
{
    const size_t WIDTH = 75;  // bytes before the '=' of a soft break
    size_t start = 0;
    size_t room = line.Length() < WIDTH ? WIDTH - line.Length() : 0;
    for (;;) {
        size_t take = length - start;
        if (take > room) {
            take = room;
            if (take >= 1 && encoded[start + take - 1] == '=') take -= 1;
            else if (take >= 2 && encoded[start + take - 2] == '=') take -= 2;
        }
        if (!line.Append(encoded + start, take)) return E_OUTOFMEMORY;
        start += take;
        if (start < length && !line.AppendChar('=')) return E_OUTOFMEMORY;
        if (!line.Append(LINE_END, 2)) return E_OUTOFMEMORY;
        if (start >= length) break;
        room = WIDTH;
    }
    return output.Write(line.Data(), line.Length());
}

// The head of the property's line up to its ':': the group's prefix (which belongs to
// the logical line and folds with it, however long), the name and the parameters.
bool PropertyNode::AppendHead(TextBuffer& line, const GroupNode* group, bool closesInnerCard, CardVersion version,
                              const char* charsetUsed, bool addsEncoding) const
{
    bool grouped = group != nullptr;
    bool ok = (!grouped || (AppendHeadText(line, group->GetDisplayName()) && line.AppendChar('.'))) &&
              (!NeedsLeadingSemicolon(this, grouped, closesInnerCard) || line.AppendChar(';')) &&
              AppendHeadText(line, GetDisplayName()) &&
              (parameters == nullptr || FormatParameters(parameters, line, version, charsetUsed) >= 0) &&
              (!addsEncoding || line.Append(";ENCODING=QUOTED-PRINTABLE"));
    // A head ending in '\' would escape the separator; an empty parameter ends it instead.
    if (ok && LastCharIsBackslash(line.Data(), line.Length())) ok = line.AppendChar(';');
    return ok && line.AppendChar(':');
}

// Room for the values as they stand, so that a long value is not copied as it grows.
size_t PropertyNode::ValuesLength() const
{
    char* const* entries = Entries();
    size_t expected = 64;
    for (int i = 0; i < values.count; ++i) expected += entries[i] != nullptr ? strlen(entries[i]) + 1 : 1;
    return expected;
}

// A 4.0 line: the values go straight after the head, escaped, and the line is folded.
HRESULT PropertyNode::WriteLine(CardOutput& output, const GroupNode* group, bool closesInnerCard, int lineBudget) const
{
    bool uri = IsUriValued(this);
    bool list = IsListValued(kind);
    char* const* entries = Entries();
    TextBuffer line;
    bool ok = line.Reserve(ValuesLength()) && AppendHead(line, group, closesInnerCard, output.version, nullptr, false);
    for (int i = 0; ok && i < values.count; ++i) {
        if (i > 0) ok = line.AppendChar(';');
        const char* value = entries[i];
        if (ok && value != nullptr) {
            ok = uri ? line.Append(value) : AppendTextValue(line, value, list, output.escapeColon);
        }
    }
    if (!ok) return E_OUTOFMEMORY;
    return WriteFolded(output, line, lineBudget);
}

// A line of a 2.1 or 3.0 card: the values escaped by the version's rules, in the bytes of
// their character set, quoted-printable where the line says so (or, in 2.1, where a line
// break needs it); they are gathered before the head, whose parameters they may change.
HRESULT PropertyNode::WriteOlderLine(CardOutput& output, const GroupNode* group, bool closesInnerCard,
                                     int lineBudget) const
{
    CardVersion version = output.version;
    ValueEncoding encoding = EncodingOf(this);
    bool uri = IsUriValued(this);
    bool raw = uri || encoding.base64;
    bool list = IsListValued(kind);
    char* const* entries = Entries();
    TextBuffer text;
    bool ok = text.Reserve(ValuesLength());
    for (int i = 0; ok && i < values.count; ++i) {
        if (i > 0) ok = text.AppendChar(';');
        const char* value = entries[i];
        if (!ok || value == nullptr) continue;
        if (raw) ok = text.Append(value);
        else if (HasBackslashEscapes(version)) ok = AppendTextValue(text, value, list, output.escapeColon);
        else ok = AppendOldTextValue(text, value, list);
    }
    const char* valueBytes = text.Data();
    size_t valueLength = text.Length();
    const char* charsetUsed = nullptr;
    bool quotedPrintable = false;
    bool addsEncoding = false;
    TextBuffer bytes;
    TextBuffer encoded;
    // A URI goes as it is, unless its line is quoted-printable or names a character set,
    // which it was read through.
    if (ok && (!raw || (uri && encoding.CarriesUriAsText()))) {
        ok = EncodeLegacyText(encoding.charset, GetTextBytes(), valueBytes, valueLength, bytes, &charsetUsed);
        valueBytes = bytes.Data();
        valueLength = bytes.Length();
        bool lineBreak =
            memchr(valueBytes, '\n', valueLength) != nullptr || memchr(valueBytes, '\r', valueLength) != nullptr;
        // VERSION is read ahead of every rule, soft breaks too: it is not encoded unless a
        // line break needs it (then it is no card's version of any use).
        quotedPrintable = encoding.quotedPrintable && (kind != PropertyKindVersion || lineBreak);
        // 2.1 has no escape for a line break: quoted-printable carries it.
        if (version == CardVersion::V21 && !quotedPrintable && lineBreak) quotedPrintable = addsEncoding = true;
        if (ok && quotedPrintable) {
            ok = EncodeQuotedPrintable(valueBytes, valueLength, encoded);
            valueBytes = encoded.Data();
            valueLength = encoded.Length();
        }
    }
    TextBuffer line;
    ok = ok && line.Reserve(valueLength + 64) &&
         AppendHead(line, group, closesInnerCard, version, charsetUsed, addsEncoding);
    if (!ok) return E_OUTOFMEMORY;
    if (quotedPrintable) return WriteSoftBroken(output, line, valueBytes, valueLength);
    if (!line.Append(valueBytes, valueLength)) return E_OUTOFMEMORY;
    if (FoldsTextLines(version)) return WriteFolded(output, line, lineBudget);
    if (!encoding.base64) return line.Append(LINE_END, 2) ? output.Write(line.Data(), line.Length()) : E_OUTOFMEMORY;
    // 2.1 folds base64 data and ends it with an empty line.
    HRESULT result = WriteFolded(output, line, lineBudget);
    return SUCCEEDED(result) ? output.Write(LINE_END, 2) : result;
}

HRESULT PropertyNode::Write(const GroupNode* group, CardOutput& output, int lineBudget, Refusal& refusal)
{
    if (HoldsLineBreakInUri(this, output.version)) {
        RefuseLineBreakInUri(this, refusal);
        return E_FAIL;
    }
    bool grouped = group != nullptr;
    bool opensCard = IsCardLine(this, grouped, "BEGIN");
    bool closesInnerCard = output.nestedCards > 0 && IsCardLine(this, grouped, "END");
    HRESULT result = AllowsLegacyEncodings(output.version) ? WriteOlderLine(output, group, closesInnerCard, lineBudget)
                                                           : WriteLine(output, group, closesInnerCard, lineBudget);
    if (FAILED(result)) return result;
    ClearModified();
    output.nestedCards += (opensCard ? 1 : 0) - (closesInnerCard ? 1 : 0);
    return result;
}

HRESULT GroupNode::Write(const GroupNode*, CardOutput& output, int lineBudget, Refusal& refusal)
{
    // Each property writes the group's prefix on its own line: a group is no line itself.
    for (CardNode* node = firstItem; node != nullptr; node = node->NextItem()) {
        HRESULT result = node->Write(this, output, lineBudget, refusal);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

bool CardDocument::ValidateCard()
{
    refusal.Clear();
    if (firstItem == nullptr) {
        refusal.Set(RefusalKind::VersionAndFnMissing, 0);
        return false;
    }
    if (firstItem->IsGroup() || ((PropertyNode*)firstItem)->GetKind() != PropertyKindVersion) {
        refusal.Set(RefusalKind::VersionNotFirst, 0);
        return false;
    }
    bool foundFn = !ForEachProperty([](const char*, const PropertyNode* property) {
        return property->GetKind() != PropertyKindFn;
    });
    if (!foundFn && RequiresFn(version)) {
        refusal.Set(RefusalKind::FnMissing, 0);
        return false;
    }
    // What the writer would refuse, refused here, so that a check says what a save does.
    return ForEachProperty([&](const char*, const PropertyNode* property) {
        if (!HoldsLineBreakInUri(property, version)) return true;
        RefuseLineBreakInUri(property, refusal);
        return false;
    });
}

HRESULT CardDocument::WriteCard(CardOutput& output)
{
    output.escapeColon = GetEscapeColon();
    output.nestedCards = 0;
    output.version = version;
    refusal.Clear();
    HRESULT result = byteOrderMark ? output.Write(UTF8_MARK, sizeof UTF8_MARK - 1) : S_OK;
    if (SUCCEEDED(result)) result = output.Write(OPENING_LINE, sizeof OPENING_LINE - 1);
    if (SUCCEEDED(result)) result = output.Write("\r\n", 2);
    for (CardNode* node = firstItem; SUCCEEDED(result) && node != nullptr; node = node->NextItem()) {
        result = node->Write(nullptr, output, FOLD_WIDTH, refusal);
    }
    if (SUCCEEDED(result)) result = output.Write(CLOSING_LINE, sizeof CLOSING_LINE - 1);
    if (SUCCEEDED(result)) result = output.Write("\r\n", 2);
    // Each node written has had its mark cleared.
    if (SUCCEEDED(result)) NoteNodesUnchanged();
    return result;
}
