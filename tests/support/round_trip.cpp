// The round-trip law: load, write, load again, compare, and write again.
#include "tests/support/round_trip.h"

#include "card/format.h"
#include "card/io.h"
#include "card/legacy_text.h"
#include "card/syntax.h"
#include "tools/dump.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace {

struct PlacedProperty {
    const char* group;  // null at the root
    const PropertyNode* property;
};

std::vector<PlacedProperty> PropertiesInCardOrder(const CardDocument& document)
{
    std::vector<PlacedProperty> placed;
    placed.reserve(64);
    document.ForEachProperty([&](const char* group, const PropertyNode* property) {
        placed.push_back({group, property});
        return true;
    });
    return placed;
}

std::string Shown(const char* text)
{
    if (text == nullptr) return "null";
    std::string shown = "\"";
    for (const unsigned char* p = (const unsigned char*)text; *p != '\0'; ++p) {
        if (*p < 0x20 || *p >= 0x7F || *p == '"' || *p == '\\') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", *p);
            shown += escaped;
        } else {
            shown += (char)*p;
        }
    }
    return shown + "\"";
}

// Both absent, or both present with the same bytes.
bool SameText(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr) return a == b;
    return strcmp(a, b) == 0;
}

// What a list component in the file's spelling means: its values, split at each ',' that
// no backslash escapes, each with its escapes decoded, as a stream of bytes with the
// value boundaries marked. Spellings of one meaning ("\N" and "\n", "\:" and ':', a lone
// backslash and "\\") compare equal; a comma inside a value and a comma between values do
// not. In 2.1 only "\;" is an escape, so there "\n" is a backslash and an 'n'.
class ListMeaning {
public:
    static const int END = -1;
    static const int BOUNDARY = 256;

    ListMeaning(const char* component, bool oldEscapes) : p(component), old(oldEscapes) {}

    // The next byte of a value (0..255), BOUNDARY between two values, or END.
    int Next()
    {
        if (trailBytes > 0) {
            --trailBytes;
            return (unsigned char)*p++;
        }
        if (*p == '\0') return END;
        size_t width = CharWidth(p);
        if (width > 1) {
            trailBytes = width - 1;
            return (unsigned char)*p++;
        }
        char c = *p++;
        if (c == ',') return BOUNDARY;
        if (c == '\\' && *p != '\0' && CharWidth(p) == 1) {
            const char* decoded = old ? (*p == ';' ? ";" : nullptr) : strchr(",\\;:", *p);
            if (decoded != nullptr || (!old && (*p == 'n' || *p == 'N'))) {
                ++p;
                return decoded != nullptr ? (unsigned char)*decoded : '\n';
            }
        }
        return (unsigned char)c;
    }

private:
    const char* p;
    bool old;
    size_t trailBytes = 0;
};

// The same slot: both absent, or the same text; for a list component, the same values.
bool SameSlot(const char* a, const char* b, bool list, bool oldEscapes)
{
    if (SameText(a, b)) return true;
    if (!list || a == nullptr || b == nullptr) return false;
    ListMeaning first(a, oldEscapes);
    ListMeaning second(b, oldEscapes);
    for (;;) {
        int c = first.Next();
        if (c != second.Next()) return false;
        if (c == ListMeaning::END) return true;
    }
}

const char* TextBytesName(PropertyNode::TextBytes bytes)
{
    switch (bytes) {
    case PropertyNode::TextBytes::Program: return "the program's";
    case PropertyNode::TextBytes::Windows1252: return "Windows-1252";
    case PropertyNode::TextBytes::AsRead: return "as read";
    }
    return "?";
}

// A 2.1 value has no escape for a line break: the write encodes a value that holds one
// as quoted-printable, adding ENCODING=QUOTED-PRINTABLE as the line's last parameter
// when the property had no such encoding. The card read back has that parameter more.
bool AddsQuotedPrintable(const PropertyNode* before, const ParameterNode* added, CardVersion version)
{
    if (version != CardVersion::V21 || added->GetNext() != nullptr || added->IsBare() ||
        added->GetCustomName() == nullptr || strcmp(added->GetCustomName(), "ENCODING") != 0 ||
        !SameText(added->GetValue(), "QUOTED-PRINTABLE")) {
        return false;
    }
    ValueEncoding encoding = EncodingOf(before);
    if (encoding.quotedPrintable || encoding.base64) return false;
    for (int i = 0; i < before->GetValueCount(); ++i) {
        const char* value = before->GetValue(i);
        if (value != nullptr && strpbrk(value, "\r\n") != nullptr) return true;
    }
    return false;
}

// Builds no text unless the two differ: the fuzzer compares every card it loads.
std::string CompareProperties(const PropertyNode* a, const PropertyNode* b, CardVersion version)
{
    if (a->GetKind() != b->GetKind()) {
        return "property kind " + std::to_string(a->GetKind()) + " became " + std::to_string(b->GetKind());
    }
    if (!SameText(a->GetCustomName(), b->GetCustomName())) {
        return "property name " + Shown(a->GetCustomName()) + " became " + Shown(b->GetCustomName());
    }
    if (a->GetTextBytes() != b->GetTextBytes()) {
        return std::string("text bytes ") + TextBytesName(a->GetTextBytes()) + " became " +
               TextBytesName(b->GetTextBytes());
    }
    const ParameterNode* p = a->GetParameters();
    const ParameterNode* q = b->GetParameters();
    for (int index = 0; p != nullptr || q != nullptr; ++index, p = p->GetNext(), q = q->GetNext()) {
        if (p == nullptr && AddsQuotedPrintable(a, q, version)) break;
        if (p == nullptr || q == nullptr) {
            return "parameter " + std::to_string(index) + ": " + (p == nullptr ? "one more after the write" : "lost");
        }
        if (p->GetKind() == q->GetKind() && SameText(p->GetCustomName(), q->GetCustomName()) &&
            SameText(p->GetValue(), q->GetValue()) && p->IsBare() == q->IsBare()) {
            continue;
        }
        std::string where = "parameter " + std::to_string(index) + ": ";
        if (p->GetKind() != q->GetKind()) {
            return where + "kind " + std::to_string(p->GetKind()) + " became " + std::to_string(q->GetKind());
        }
        if (!SameText(p->GetCustomName(), q->GetCustomName())) {
            return where + "name " + Shown(p->GetCustomName()) + " became " + Shown(q->GetCustomName());
        }
        if (!SameText(p->GetValue(), q->GetValue())) {
            return where + "value " + Shown(p->GetValue()) + " became " + Shown(q->GetValue());
        }
        return where + (p->IsBare() ? "bare became named" : "named became bare");
    }
    if (a->GetValueCount() != b->GetValueCount()) {
        return std::to_string(a->GetValueCount()) + " value slots became " + std::to_string(b->GetValueCount());
    }
    bool list = IsListValued(a->GetKind());
    bool oldEscapes = !HasBackslashEscapes(version);
    for (int i = 0; i < a->GetValueCount(); ++i) {
        if (!SameSlot(a->GetValue(i), b->GetValue(i), list, oldEscapes)) {
            return "value " + std::to_string(i) + " " + Shown(a->GetValue(i)) + " became " + Shown(b->GetValue(i));
        }
    }
    return "";
}

std::string DumpText(const CardDocument& document)
{
    TextBuffer text;
    DumpCard(document, text);
    return std::string(text.Data(), text.Length());
}

}  // namespace

std::string DifferenceBetweenCards(const CardDocument& first, const CardDocument& second)
{
    if (first.GetVersion() != second.GetVersion()) {
        return std::string("version ") + VersionText(first.GetVersion()) + " became " + VersionText(second.GetVersion());
    }
    std::vector<PlacedProperty> a = PropertiesInCardOrder(first);
    std::vector<PlacedProperty> b = PropertiesInCardOrder(second);
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        if (i >= a.size() || i >= b.size()) {
            return "property " + std::to_string(i) + ": " + (i >= a.size() ? "one more after the write" : "lost");
        }
        if (!SameText(a[i].group, b[i].group)) {
            return "property " + std::to_string(i) + ": group " + Shown(a[i].group) + " became " + Shown(b[i].group);
        }
        std::string difference = CompareProperties(a[i].property, b[i].property, first.GetVersion());
        if (!difference.empty()) return "property " + std::to_string(i) + ": " + difference;
    }
    return "";
}

std::string OrderDifference(const CardDocument& document)
{
    TreeWindow tree = document.GetTree();
    HTREEITEM item = TreeGetNextItem(tree, TVI_ROOT, TVGN_CHILD);
    CardNode* node = document.FirstItem();
    for (int index = 0; item != nullptr || node != nullptr; ++index) {
        std::string where = "root item " + std::to_string(index) + ": ";
        if (item == nullptr || node == nullptr || document.GetNode(item) != node || node->Item() != item) {
            return where + (item == nullptr ? "not in the tree" : node == nullptr ? "not in the nodes" : "another node");
        }
        HTREEITEM child = TreeGetNextItem(tree, item, TVGN_CHILD);
        CardNode* childNode = node->IsGroup() ? ((GroupNode*)node)->FirstItem() : nullptr;
        for (int at = 0; child != nullptr || childNode != nullptr; ++at) {
            if (child == nullptr || childNode == nullptr || document.GetNode(child) != childNode ||
                childNode->Item() != child) {
                return where + "its item " + std::to_string(at) + " differs";
            }
            child = TreeGetNextItem(tree, child, TVGN_NEXT);
            childNode = childNode->NextItem();
        }
        item = TreeGetNextItem(tree, item, TVGN_NEXT);
        node = node->NextItem();
    }
    return "";
}

RoundTripOutcome CheckRoundTrip(const char* bytes, size_t length)
{
    LoadedCard card;
    return CheckRoundTrip(bytes, length, card);
}

RoundTripOutcome CheckRoundTrip(const char* bytes, size_t length, LoadedCard& card)
{
    RoundTripOutcome outcome;
    if (card.tree.Window() == nullptr) {
        outcome.violation = "no card container";
        return outcome;
    }
    MemoryInput input(bytes, length);
    HRESULT read = card.document.ReadCard(input);
    std::string order = OrderDifference(card.document);
    if (!order.empty()) {
        outcome.violation = "after the read, the nodes' order and the tree's differ at " + order;
        return outcome;
    }
    if (FAILED(read)) return outcome;
    outcome.loaded = true;

    MemoryOutput first;
    HRESULT result = card.document.WriteCard(first);
    outcome.written = first.text;
    if (FAILED(result)) {
        outcome.violation = "the write failed with " + std::to_string(result) + ", refusal " +
                            std::to_string((int)card.document.LastRefusal().kind);
        return outcome;
    }

    LoadedCard again;
    // Read again in the editor's order, groups first, so that the law holds across both
    // orders of placing a card.
    again.document.SetReadGroupsFirst(true);
    MemoryInput written(first.text);
    result = again.document.ReadCard(written);
    if (FAILED(result)) {
        outcome.violation = "the written card does not load (" + std::to_string(result) + "), refusal " +
                            std::to_string((int)again.document.LastRefusal().kind) + " at line " +
                            std::to_string(again.document.LastRefusal().line);
        return outcome;
    }
    order = OrderDifference(again.document);
    if (!order.empty()) {
        outcome.violation = "after the second read, the nodes' order and the tree's differ at " + order;
        return outcome;
    }
    std::string difference = DifferenceBetweenCards(card.document, again.document);
    if (!difference.empty()) {
        outcome.violation = difference + "\nbefore:\n" + DumpText(card.document) + "after:\n" + DumpText(again.document);
        return outcome;
    }
    if (card.escapeColon != again.escapeColon) {
        outcome.violation = "escape-colon " + std::to_string(card.escapeColon) + " became " +
                            std::to_string(again.escapeColon);
        return outcome;
    }
    MemoryOutput second;
    result = again.document.WriteCard(second);
    if (FAILED(result)) {
        outcome.violation = "the reloaded card does not write: " + std::to_string(result);
    } else if (second.text != first.text) {
        outcome.violation = "the second write differs from the first";
    }
    return outcome;
}
