// The round-trip law: load, write, load again, compare, and write again.
#include "tests/support/round_trip.h"

#include "card/format.h"
#include "card/io.h"
#include "tools/dump.h"
#include "tools/hidden_tree.h"

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
// no backslash escapes, each with its escapes decoded. Spellings of one meaning ("\N"
// and "\n", "\:" and ':', a lone backslash and "\\") compare equal; a comma inside a
// value and a comma between values do not.
std::vector<std::string> ListValues(const char* component)
{
    std::vector<std::string> values(1);
    for (const char* p = component; *p != '\0';) {
        size_t width = CharWidth(p);
        if (width == 1 && *p == ',') {
            values.emplace_back();
            ++p;
            continue;
        }
        if (width == 1 && *p == '\\' && p[1] != '\0' && CharWidth(p + 1) == 1) {
            const char* decoded = strchr(",\\;:", p[1]);
            if (decoded != nullptr || p[1] == 'n' || p[1] == 'N') {
                values.back() += decoded != nullptr ? *decoded : '\n';
                p += 2;
                continue;
            }
        }
        values.back().append(p, width);
        p += width;
    }
    return values;
}

// The same slot: both absent, or the same text; for a list component, the same values.
bool SameSlot(const char* a, const char* b, bool list)
{
    if (!list || a == nullptr || b == nullptr) return SameText(a, b);
    return ListValues(a) == ListValues(b);
}

std::string CompareProperties(const PropertyNode* a, const PropertyNode* b)
{
    if (a->GetKind() != b->GetKind()) {
        return "property kind " + std::to_string(a->GetKind()) + " became " + std::to_string(b->GetKind());
    }
    if (!SameText(a->GetCustomName(), b->GetCustomName())) {
        return "property name " + Shown(a->GetCustomName()) + " became " + Shown(b->GetCustomName());
    }
    const ParameterNode* p = a->GetParameters();
    const ParameterNode* q = b->GetParameters();
    for (int index = 0; p != nullptr || q != nullptr; ++index, p = p->GetNext(), q = q->GetNext()) {
        std::string where = "parameter " + std::to_string(index) + ": ";
        if (p == nullptr || q == nullptr) return where + (p == nullptr ? "one more after the write" : "lost");
        if (p->GetKind() != q->GetKind()) {
            return where + "kind " + std::to_string(p->GetKind()) + " became " + std::to_string(q->GetKind());
        }
        if (!SameText(p->GetCustomName(), q->GetCustomName())) {
            return where + "name " + Shown(p->GetCustomName()) + " became " + Shown(q->GetCustomName());
        }
        if (!SameText(p->GetValue(), q->GetValue())) {
            return where + "value " + Shown(p->GetValue()) + " became " + Shown(q->GetValue());
        }
    }
    if (a->GetValueCount() != b->GetValueCount()) {
        return std::to_string(a->GetValueCount()) + " value slots became " + std::to_string(b->GetValueCount());
    }
    bool list = IsListValued(a->GetKind());
    for (int i = 0; i < a->GetValueCount(); ++i) {
        if (!SameSlot(a->GetValue(i), b->GetValue(i), list)) {
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

struct LoadedCard {
    HiddenTree tree;
    int escapeColon = 0;
    CardDocument document{tree.Window(), &escapeColon};
    ~LoadedCard() { document.DeleteAll(); }
};

}  // namespace

std::string DifferenceBetweenCards(const CardDocument& first, const CardDocument& second)
{
    std::vector<PlacedProperty> a = PropertiesInCardOrder(first);
    std::vector<PlacedProperty> b = PropertiesInCardOrder(second);
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        std::string where = "property " + std::to_string(i) + ": ";
        if (i >= a.size()) return where + "one more after the write";
        if (i >= b.size()) return where + "lost";
        if (!SameText(a[i].group, b[i].group)) {
            return where + "group " + Shown(a[i].group) + " became " + Shown(b[i].group);
        }
        std::string difference = CompareProperties(a[i].property, b[i].property);
        if (!difference.empty()) return where + difference;
    }
    return "";
}

RoundTripOutcome CheckRoundTrip(const char* bytes, size_t length)
{
    RoundTripOutcome outcome;
    LoadedCard card;
    if (card.tree.Window() == nullptr) {
        outcome.violation = "no card container";
        return outcome;
    }
    MemoryInput input(bytes, length);
    if (FAILED(card.document.ReadCard(input))) return outcome;
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
    MemoryInput written(first.text);
    result = again.document.ReadCard(written);
    if (FAILED(result)) {
        outcome.violation = "the written card does not load (" + std::to_string(result) + "), refusal " +
                            std::to_string((int)again.document.LastRefusal().kind) + " at line " +
                            std::to_string(again.document.LastRefusal().line);
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
