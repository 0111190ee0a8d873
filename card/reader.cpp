// Card reader: content lines from the physical lines, and one property with its
// parameters and values per content line, placed at the root or in its group. The
// pieces it is made of: physical_lines.h (reading and the version probe),
// content_lines.* (where a content line ends), property_head.* (the head and its
// parameters), value_reader.* (the values), group_index.h and legacy_text.* (the
// encodings of older cards).
#include "card/document.h"

#include "card/charset.h"
#include "card/content_lines.h"
#include "card/group_index.h"
#include "card/format.h"
#include "card/legacy_text.h"
#include "card/syntax.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "card/physical_lines.h"
#include "card/property_head.h"
#include "card/read_placement.h"
#include "card/text.h"
#include "card/text_buffer.h"
#include "card/tree.h"
#include "card/value_reader.h"

#include <new>
#include <vector>

// The buffers a read reuses from line to line, so that a line costs no allocation of
// its own beyond the nodes and texts it places in the arena.
struct LineScratch {
    TextBuffer head;
    TextBuffer component;
    ValueList values;
    NameKinds kinds;
    RunStops stops;
    TextBuffer* line = nullptr;  // the logical line being read, whose text the values point into
    ReadPlacement* placement = nullptr;
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

// An older card's value as the program's text: quoted-printable decoded, then its
// character set converted. Returns the text to split, which may be the line's own.
static HRESULT DecodeOldValue(PropertyNode* property, const ValueEncoding& encoding, const char** text,
                              size_t* length, TextBuffer** holder, LineScratch& scratch, int number)
{
    if (encoding.quotedPrintable) {
        scratch.decoded.Clear();
        if (!DecodeQuotedPrintable(*text, *length, scratch.decoded)) return E_OUTOFMEMORY;
        *text = scratch.decoded.Data();
        // A NUL it decodes to ends the value, as one ends a line: the text is kept up to
        // it, and read in its character set as kept.
        const char* nul = (const char*)memchr(*text, '\0', scratch.decoded.Length());
        *length = nul != nullptr ? (size_t)(nul - *text) : scratch.decoded.Length();
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
    // In a double-byte code page bytes kept as read may read as other characters (a line
    // feed after a lead byte is none): such a card is refused rather than misread.
    bool misread = bytes == PropertyNode::TextBytes::AsRead && memchr(scratch.stops.leadBytes, 1, 256) != nullptr;
    if ((notRepresentable || misread) && scratch.unconvertedLine == 0) scratch.unconvertedLine = number;
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
    if (encoding.base64) {
        // Data is one raw text: no components, no escapes.
        result = ParseRawValue(arena, *scratch.line, text, length, scratch.values);
    } else if (IsUriValued(property)) {
        // A URI is one raw text too, though an older card may write it quoted-printable
        // or in a character set.
        if (AllowsLegacyEncodings(scratch.version) && encoding.CarriesUriAsText()) {
            result = DecodeOldValue(property, encoding, &text, &length, &holder, scratch, number);
        }
        if (SUCCEEDED(result)) result = ParseRawValue(arena, *holder, text, length, scratch.values);
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

__attribute__((flatten)) static HRESULT ReadProperty(CardDocument& document, CardArena& arena, GroupIndex& groups, LineScratch& scratch,
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
    bool closing = (line[0] == 'E' || line[0] == 'e') && IsClosingLine(line, length);
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

    GroupNode* parent = nullptr;
    if (layout.hasGroup) {
        const char* name = layout.head;
        GroupNode* group = groups.Find(name);
        if (group == nullptr) {
            GroupNode* node = PlaceNodeIn<GroupNode>(arena, (const char*)nullptr);
            char* arenaName = node != nullptr ? arena.CopyText(name, layout.groupLength) : nullptr;
            if (arenaName == nullptr) {
                if (node != nullptr) node->Release();
                property->Release();
                return E_OUTOFMEMORY;
            }
            node->AdoptArenaName(arenaName);
            if (scratch.placement->PlaceGroup(node) == nullptr) {
                property->Release();
                result = ResultFromLastError();
                return FAILED(result) ? result : E_FAIL;
            }
            group = node;
            if (!groups.Add(name, group)) {
                property->Release();
                return E_OUTOFMEMORY;
            }
        }
        groups.ForgetPrefetched();
        parent = group;
    }

    // The card's VERSION goes first wherever the file had it (KDE writes it after other
    // lines), so that the card can be saved, which writes it first.
    bool cardVersion = !scratch.versionPlaced && parent == nullptr && scratch.nestedCards == 0 &&
                       property->GetKind() == PropertyKindVersion;
    if (cardVersion) scratch.versionPlaced = true;
    if (!scratch.placement->PlaceProperty(parent, property, cardVersion)) {
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
    ReadPlacement placement(*this);
    scratch.placement = &placement;
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
            length = ContentOf(line, length, WHOLE_LINE);
            if (length == 0) {
                // Empty lines never end a logical line, but they end a soft break.
                if (rules.EmptyLine()) logical.SetLength(logical.Length() - 1);
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
                    appended = logical.Append(line, WithoutTrailingBlanks(line, length));
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
    // What was read before a failure is placed too, as it was line by line.
    HRESULT placed = placement.Finish();
    if (SUCCEEDED(result)) result = placed;
    if (SUCCEEDED(result)) unconvertedLine = scratch.unconvertedLine;
    if (SUCCEEDED(result) && unconvertedLine > 0 && memchr(scratch.stops.leadBytes, 1, 256) != nullptr) {
        refusal.Set(RefusalKind::TextNotInCodePage, unconvertedLine);
        result = E_FAIL;
    }
    structureChanged = 0;
    NoteNodesUnchanged();
    return result;
}
