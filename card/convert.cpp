// Conversion of a card between vCard 2.1, 3.0 and 4.0, in steps that each look at the
// whole card once: cards inside the card, names one version lacks, older encodings,
// binary data, preference, address labels, sort strings, agents, line breaks, bare
// parameters, the spelling of lists, GEO, dates and TEL, a missing FN, and VERSION. Each step
// records what it changed; the order matters where one step makes what a later one
// converts (a LABEL made from ADR's parameter is then encoded for 2.1).
#include "card/convert.h"

#include "card/charset.h"
#include "card/content_lines.h"
#include "card/format.h"
#include "card/io.h"
#include "card/legacy_text.h"
#include "card/mbstring.h"
#include "card/text.h"

#include <algorithm>
#include <new>
#include <string.h>

namespace {

const ParameterKind ParameterKindPref = FindParameterKind("pref");
const ParameterKind ParameterKindSortAs = FindParameterKind("sort-as");

struct Placed {
    HTREEITEM item;
    HTREEITEM parent;  // the group's item, or null at the root
    PropertyNode* property;
};

bool Same(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && CompareAsciiNoCase(a, b) == 0;
}

std::string Upper(std::string text)
{
    for (char& c : text) c = AsciiUpper(c);
    return text;
}

std::string Lower(std::string text)
{
    for (char& c : text) c = (char)AsciiLower((unsigned char)c);
    return text;
}

// A parameter run: its first node (which carries the name) and the further values that
// follow it without a name of their own, as the writer joins them.
struct ParameterRun {
    int index;  // of the first node in the chain
    int count;
    std::string name;
    std::vector<ParameterNode*> nodes;
    std::string Joined() const
    {
        std::string joined;
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (i > 0) joined += ',';
            joined += TextOrEmpty(nodes[i]->GetValue());
        }
        return joined;
    }
};

std::vector<ParameterRun> RunsOf(const PropertyNode* property)
{
    std::vector<ParameterRun> runs;
    int index = 0;
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext(), ++index) {
        bool further = p->GetKind() == ParameterKindOther && p->GetCustomName() == nullptr && !runs.empty() &&
                       !p->IsBare();
        if (further) {
            runs.back().nodes.push_back(p);
            ++runs.back().count;
            continue;
        }
        const char* name = p->GetCustomName() != nullptr ? p->GetCustomName() : GetParameterName(p->GetKind());
        runs.push_back(ParameterRun{index, 1, Upper(name), {p}});
    }
    return runs;
}

class Converter {
public:
    Converter(CardDocument& card, CardVersion target, ConversionReport& out)
        : document(card), from(card.GetVersion()), to(target), report(out)
    {
    }

    HRESULT Run();

private:
    std::vector<Placed> Properties() const;
    void Note(ConversionChange change, const PropertyNode* property, const std::string& parameter,
              const std::string& detail)
    {
        report.entries.push_back(ConversionEntry{change, property != nullptr ? property->GetDisplayName() : "",
                                                 parameter, detail});
    }

    // Parameter and property edits that fail only for want of memory.
    bool AddParameter(PropertyNode* property, ParameterKind kind, const char* name, const char* value);
    void RemoveRun(PropertyNode* property, const ParameterRun& run);
    PropertyNode* Remade(Placed& placed, PropertyKind kind, const char* name);
    bool SetText(PropertyNode* property, int index, const std::string& text)
    {
        return SUCCEEDED(property->SetValue(text.c_str(), index));
    }

    bool Encodings();
    bool BinaryData();
    bool NamedUris();
    bool SplitTypes();
    bool Preference();
    bool Labels();
    bool SortStrings();
    bool NestedCards();
    bool Agents();
    bool ValueTypes();
    bool Names(bool restore);
    bool Bareness();
    bool ListSpelling();
    bool MissingFn();
    bool OldEncodings();
    bool Geo();
    bool Dates();
    bool LineBreaks();
    bool Telephones();
    bool OldParameterValues();
    bool Utf8Bytes();
    bool Version();
    PropertyNode* VersionAlone(HTREEITEM item, PropertyNode* version);

    CardDocument& document;
    CardVersion from;
    CardVersion to;
    ConversionReport& report;
};

std::vector<Placed> Converter::Properties() const
{
    std::vector<Placed> placed;
    for (CardNode* node = document.FirstItem(); node != nullptr; node = node->NextItem()) {
        if (!node->IsGroup()) {
            placed.push_back({node->Item(), nullptr, (PropertyNode*)node});
            continue;
        }
        for (CardNode* child = ((GroupNode*)node)->FirstItem(); child != nullptr; child = child->NextItem()) {
            placed.push_back({child->Item(), node->Item(), (PropertyNode*)child});
        }
    }
    return placed;
}

bool Converter::AddParameter(PropertyNode* property, ParameterKind kind, const char* name, const char* value)
{
    ParameterNode* node = kind == ParameterKindOther ? new (std::nothrow) ParameterNode(name)
                                                     : new (std::nothrow) ParameterNode(kind, value);
    if (node == nullptr) return false;
    if (kind == ParameterKindOther) {
        char* copy = DuplicateText(value);
        if (copy == nullptr || (name != nullptr && node->GetCustomName() == nullptr)) {
            free(copy);
            node->Release();
            return false;
        }
        node->TakeValue(copy);
    } else if (node->GetValue() == nullptr) {
        node->Release();
        return false;
    }
    property->AppendParameter(node);
    node->Release();  // the chain holds it now
    return true;
}

void Converter::RemoveRun(PropertyNode* property, const ParameterRun& run)
{
    // From the last value back, so that no further value takes over the run's name.
    for (int i = run.count - 1; i >= 0; --i) property->RemoveParameterAt(run.index + i);
}

// The property under another name: a new node with the same values, parameters and text
// bytes in the old one's place. Null when memory ran out.
PropertyNode* Converter::Remade(Placed& placed, PropertyKind kind, const char* name)
{
    PropertyNode* old = placed.property;
    PropertyNode* node = new (std::nothrow) PropertyNode(kind, name);
    if (node == nullptr) return nullptr;
    for (int i = 0; i < old->GetValueCount(); ++i) {
        const char* value = old->GetValue(i);
        char* copy = DuplicateText(value);
        if ((copy == nullptr && value != nullptr) || FAILED(node->AppendOwnedValue(copy))) {
            node->Release();
            return nullptr;
        }
    }
    if (old->GetParameters() != nullptr) node->AppendParameter(old->GetParameters());
    node->SetTextBytes(old->GetTextBytes());
    HTREEITEM item = document.InsertNode(placed.item, node);
    if (item == nullptr) return nullptr;
    document.DeleteItem(placed.item);
    placed.item = item;
    placed.property = node;
    return node;
}

// Older cards to 3.0 and 4.0: text is UTF-8 and quoted-printable is gone; 2.1's BASE64
// is 3.0's b (4.0 has no inline data: BinaryData makes URIs of it).
bool Converter::Encodings()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        std::vector<ParameterRun> runs = RunsOf(property);
        for (size_t r = runs.size(); r-- > 0;) {
            const ParameterRun& run = runs[r];
            ParameterNode* first = run.nodes[0];
            if (IsCharsetParameter(first)) {
                Note(ConversionChange::EncodingRemoved, property, "CHARSET", run.Joined());
                RemoveRun(property, run);
            } else if (IsEncodingParameter(first)) {
                const char* value = first->GetValue();
                bool data = Same(value, "BASE64") || Same(value, "B");
                if (!data) {
                    Note(ConversionChange::EncodingRemoved, property, "ENCODING", run.Joined());
                    RemoveRun(property, run);
                } else if (to == CardVersion::V30 && !Same(value, "B")) {
                    if (first->SetValue("b") != S_OK && value != nullptr) return false;
                    first->SetBare(false);
                    Note(ConversionChange::EncodingRenamed, property, "ENCODING", "b");
                }
            }
        }
        if (property->GetTextBytes() == PropertyNode::TextBytes::Windows1252) {
            property->SetTextBytes(PropertyNode::TextBytes::Program);
            Note(ConversionChange::TextBytesToUtf8, property, "", "windows-1252");
        } else if (property->GetTextBytes() == PropertyNode::TextBytes::AsRead) {
            Note(ConversionChange::TextKeptAsRead, property, "", "");
        }
    }
    return true;
}

struct MediaName {
    const char* type;
    const char* media;
};
const MediaName mediaNames[] = {
    {"JPEG", "image/jpeg"}, {"JPG", "image/jpeg"}, {"GIF", "image/gif"},  {"PNG", "image/png"},
    {"BMP", "image/bmp"},   {"TIFF", "image/tiff"}, {"WAVE", "audio/wav"}, {"WAV", "audio/wav"},
    {"MP3", "audio/mpeg"},  {"PGP", "application/pgp-keys"}, {"X509", "application/pkix-cert"},
};
const char OCTETS[] = "application/octet-stream";

std::string MediaTypeOf(const PropertyNode* property, const char* type)
{
    if (type == nullptr || *type == '\0') return OCTETS;
    if (strchr(type, '/') != nullptr) return Lower(type);
    for (const MediaName& name : mediaNames) {
        if (Same(type, name.type)) return name.media;
    }
    const char* name = property->GetDisplayName();
    const char* top = Same(name, "SOUND") ? "audio/" : Same(name, "PHOTO") || Same(name, "LOGO") ? "image/"
                                                                                                  : "application/";
    return top + Lower(type);
}

std::string TypeOfMedia(const std::string& media)
{
    for (const MediaName& name : mediaNames) {
        if (Same(media.c_str(), name.media)) return name.type;
    }
    if (Same(media.c_str(), OCTETS) || media.empty()) return "";
    size_t slash = media.find('/');
    std::string top = Lower(media.substr(0, slash == std::string::npos ? 0 : slash));
    if (top == "image" || top == "audio") return Upper(media.substr(slash + 1));
    return media;
}

// Inline base64 data and data: URIs, one into the other: 4.0 has only the URI, the older
// versions only inline data with its format as a TYPE value.
bool Converter::BinaryData()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (to == CardVersion::V40) {
            if (!EncodingOf(property).base64) continue;
            std::vector<ParameterRun> runs = RunsOf(property);
            const ParameterRun* type = nullptr;
            for (const ParameterRun& run : runs) {
                if (run.nodes[0]->GetKind() == ParameterKindType && type == nullptr) type = &run;
            }
            std::string media = MediaTypeOf(property, type != nullptr ? type->nodes[0]->GetValue() : nullptr);
            std::string data;
            for (int i = 0; i < property->GetValueCount(); ++i) {
                for (const char* p = TextOrEmpty(property->GetValue(i)); *p != '\0'; ++p) {
                    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') data += *p;
                }
            }
            for (size_t r = runs.size(); r-- > 0;) {
                const ParameterRun& run = runs[r];
                bool binaryValue = run.nodes[0]->GetKind() == ParameterKindValue && Same(run.nodes[0]->GetValue(), "binary");
                if (&run == type || IsEncodingParameter(run.nodes[0]) || binaryValue) RemoveRun(property, run);
            }
            if (!SetText(property, 0, "data:" + media + ";base64," + data)) return false;
            if (!IsUriValued(property) && !AddParameter(property, ParameterKindValue, nullptr, "uri")) return false;
            Note(ConversionChange::BinaryToDataUri, property, type != nullptr ? "TYPE" : "", media);
            continue;
        }
        if (to == CardVersion::V21 && from == CardVersion::V30) {
            for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
                if (!IsEncodingParameter(p) || !Same(p->GetValue(), "B")) continue;
                if (p->SetValue("BASE64") != S_OK) return false;
                Note(ConversionChange::EncodingRenamed, property, "ENCODING", "BASE64");
            }
            continue;
        }
        if (from != CardVersion::V40 || !IsUriValued(property) || property->GetValueCount() != 1) continue;
        const char* value = property->GetValue(0);
        if (value == nullptr || CompareAsciiNoCase(std::string(value, strnlen(value, 5)).c_str(), "data:") != 0) continue;
        const char* comma = strchr(value, ',');
        if (comma == nullptr) continue;
        std::string head(value + 5, (size_t)(comma - value - 5));
        const char BASE64[] = ";base64";
        if (head.size() < 7 || !Same(head.c_str() + head.size() - 7, BASE64)) continue;
        std::string media = head.substr(0, head.size() - 7);
        if (media.find(';') != std::string::npos) continue;  // parameters of its own: kept as a URI
        std::string data = comma + 1;
        for (const ParameterRun& run : RunsOf(property)) {
            if (run.nodes[0]->GetKind() == ParameterKindValue) {
                RemoveRun(property, run);
                break;
            }
        }
        if (!SetText(property, 0, data)) return false;
        if (!AddParameter(property, ParameterKindOther, "ENCODING", to == CardVersion::V21 ? "BASE64" : "b")) return false;
        std::string type = TypeOfMedia(media);
        if (!type.empty() && !AddParameter(property, ParameterKindType, nullptr, type.c_str())) return false;
        Note(ConversionChange::DataUriToBinary, property, "", media);
    }
    return from != CardVersion::V40 || NamedUris();
}

// Whether text starts as a URI does: a scheme (a letter, then letters, digits, + - .) and
// ':'. Android writes a name's reading into SOUND as text.
bool HasScheme(const char* text)
{
    if (text == nullptr || !((*text >= 'a' && *text <= 'z') || (*text >= 'A' && *text <= 'Z'))) return false;
    const char* p = text + 1;
    while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '+' || *p == '-' ||
           *p == '.') {
        ++p;
    }
    return *p == ':';
}

// A URI of PHOTO, LOGO, SOUND or KEY that no VALUE names: 4.0's default, but the older
// versions take such a value for inline data. (ValueTypes makes it VALUE=URL for 2.1.)
bool Converter::NamedUris()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        const char* name = property->GetDisplayName();
        bool media = Same(name, "PHOTO") || Same(name, "LOGO") || Same(name, "SOUND") || Same(name, "KEY");
        if (!media || !IsUriValued(property) || EncodingOf(property).base64 || !HasScheme(property->GetValue(0))) continue;
        bool named = false;
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
            named |= p->GetKind() == ParameterKindValue;
        }
        if (named) continue;
        if (!AddParameter(property, ParameterKindValue, nullptr, "uri")) return false;
        Note(ConversionChange::UriValueNamed, property, "VALUE", "uri");
    }
    return true;
}

// A TYPE value that holds a list ("work,voice", as RFC 6350's examples quote it) as one
// value of its own each: 2.1 writes each alone, and PREF among them is found.
bool Converter::SplitTypes()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        std::vector<std::string> added;
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
            const char* value = p->GetValue();
            if (p->GetKind() != ParameterKindType || value == nullptr || strchr(value, ',') == nullptr) continue;
            std::string list = value;
            size_t comma = list.find(',');
            for (size_t start = comma + 1, end; start <= list.size(); start = end + 1) {
                end = list.find(',', start);
                if (end == std::string::npos) end = list.size();
                if (end > start) added.push_back(list.substr(start, end - start));
            }
            Note(ConversionChange::TypeListSplit, property, "TYPE", list);
            if (p->SetValue(list.substr(0, comma).c_str()) != S_OK) return false;
        }
        for (const std::string& type : added) {
            if (!AddParameter(property, ParameterKindType, nullptr, type.c_str())) return false;
        }
    }
    return true;
}

// Whether a property has PREF or TYPE=PREF. Only a run's first node has a kind of its
// own, so the chain is looked at without gathering runs, which costs a copy of every
// parameter's name on lines of thousands of them.
bool HasAnyPreference(const PropertyNode* property)
{
    for (const ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetKind() == ParameterKindPref || (p->GetKind() == ParameterKindType && Same(p->GetValue(), "PREF"))) {
            return true;
        }
    }
    return false;
}

// TYPE=PREF of the older versions and 4.0's PREF=1.
bool Converter::Preference()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (!HasAnyPreference(property)) continue;
        std::vector<ParameterRun> runs = RunsOf(property);
        bool hasPref = false, hasTypePref = false;
        for (const ParameterRun& run : runs) {
            hasPref |= run.nodes[0]->GetKind() == ParameterKindPref;
            hasTypePref |= run.nodes[0]->GetKind() == ParameterKindType && Same(run.nodes[0]->GetValue(), "PREF");
        }
        if (to == CardVersion::V40 && hasTypePref) {
            for (size_t r = runs.size(); r-- > 0;) {
                if (runs[r].nodes[0]->GetKind() == ParameterKindType && Same(runs[r].nodes[0]->GetValue(), "PREF")) {
                    RemoveRun(property, runs[r]);
                }
            }
            if (!hasPref && !AddParameter(property, ParameterKindPref, nullptr, "1")) return false;
            Note(ConversionChange::TypePrefToPref, property, "TYPE", "PREF");
        } else if (from == CardVersion::V40 && to != CardVersion::V40 && hasPref) {
            std::string rank;
            for (size_t r = runs.size(); r-- > 0;) {
                if (runs[r].nodes[0]->GetKind() != ParameterKindPref) continue;
                rank = TextOrEmpty(runs[r].nodes[0]->GetValue());
                RemoveRun(property, runs[r]);
            }
            if (!hasTypePref && !AddParameter(property, ParameterKindType, nullptr, "PREF")) return false;
            Note(rank == "1" ? ConversionChange::PrefToTypePref : ConversionChange::PrefRankLost, property, "PREF", rank);
        }
    }
    return true;
}

// The TYPE values of a property, upper case and sorted, PREF left out: what ties a LABEL
// to its ADR.
std::vector<std::string> TypeSet(const PropertyNode* property)
{
    std::vector<std::string> types;
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetKind() == ParameterKindType && p->GetValue() != nullptr && !Same(p->GetValue(), "PREF")) {
            types.push_back(Upper(p->GetValue()));
        }
    }
    std::sort(types.begin(), types.end());
    return types;
}

std::string JoinedValues(const PropertyNode* property)
{
    std::string text;
    for (int i = 0; i < property->GetValueCount(); ++i) {
        if (i > 0) text += ';';
        text += TextOrEmpty(property->GetValue(i));
    }
    return text;
}

bool IsNamed(const PropertyNode* property, const char* name)
{
    return property->GetKind() == PropertyKindOther && Same(property->GetCustomName(), name);
}

// The older versions' LABEL property and 4.0's LABEL parameter of ADR.
bool Converter::Labels()
{
    std::vector<Placed> placed = Properties();
    if (to == CardVersion::V40) {
        std::vector<bool> taken(placed.size(), false);
        for (size_t at = 0; at < placed.size(); ++at) {
            Placed& label = placed[at];
            if (!IsNamed(label.property, "LABEL")) continue;
            std::vector<std::string> types = TypeSet(label.property);
            size_t match = placed.size();
            for (size_t i = 0; i < placed.size(); ++i) {
                if (taken[i] || placed[i].property->GetKind() != PropertyKindAdr) continue;
                bool sameGroup = label.parent != nullptr && placed[i].parent == label.parent;
                if (sameGroup || (label.parent == nullptr && TypeSet(placed[i].property) == types)) {
                    match = i;
                    break;
                }
            }
            if (match == placed.size()) {
                Note(ConversionChange::LabelKept, label.property, "", "");
                continue;
            }
            taken[match] = true;
            std::string text = JoinedValues(label.property);
            if (!AddParameter(placed[match].property, ParameterKindOther, "LABEL", text.c_str())) return false;
            Note(ConversionChange::LabelToAddress, label.property, "", text);
            for (const ParameterRun& run : RunsOf(label.property)) {
                ParameterKind kind = run.nodes[0]->GetKind();
                if (kind != ParameterKindType && kind != ParameterKindPref) {
                    Note(ConversionChange::LabelParameterLost, label.property, run.name, run.Joined());
                }
            }
            document.DeleteItem(label.item);
            taken[at] = true;  // gone: never looked at again
        }
        return true;
    }
    for (Placed& address : placed) {
        if (address.property->GetKind() != PropertyKindAdr) continue;
        std::vector<ParameterRun> runs = RunsOf(address.property);
        for (size_t r = runs.size(); r-- > 0;) {
            if (runs[r].name != "LABEL") continue;
            std::string text = runs[r].Joined();
            RemoveRun(address.property, runs[r]);
            PropertyNode* label = new (std::nothrow) PropertyNode(PropertyKindOther, "LABEL");
            if (label == nullptr || FAILED(label->AppendOwnedValue(DuplicateText(text.c_str())))) {
                if (label != nullptr) label->Release();
                return false;
            }
            for (ParameterNode* p = address.property->GetParameters(); p != nullptr; p = p->GetNext()) {
                if (p->GetKind() == ParameterKindType && !AddParameter(label, ParameterKindType, nullptr, p->GetValue())) {
                    label->Release();
                    return false;
                }
            }
            if (document.InsertNode(address.item, label) == nullptr) return false;
            Note(ConversionChange::AddressLabelToLabel, address.property, "LABEL", text);
        }
    }
    return true;
}

// 3.0's SORT-STRING and 4.0's SORT-AS of N.
bool Converter::SortStrings()
{
    std::vector<Placed> placed = Properties();
    Placed* name = nullptr;
    for (Placed& p : placed) {
        if (p.property->GetKind() == PropertyKindN && name == nullptr) name = &p;
    }
    if (to == CardVersion::V40) {
        for (Placed& sort : placed) {
            if (!IsNamed(sort.property, "SORT-STRING")) continue;
            if (name == nullptr) {
                Note(ConversionChange::SortStringKept, sort.property, "", "");
                continue;
            }
            std::string text = JoinedValues(sort.property);
            if (!AddParameter(name->property, ParameterKindSortAs, nullptr, text.c_str())) return false;
            Note(ConversionChange::SortStringToSortAs, sort.property, "", text);
            document.DeleteItem(sort.item);
            break;  // N has one SORT-AS
        }
        return true;
    }
    if (name == nullptr) return true;
    for (const ParameterRun& run : RunsOf(name->property)) {
        if (run.nodes[0]->GetKind() != ParameterKindSortAs) continue;
        // A list of components, written as the one text SORT-STRING holds.
        std::string text;
        for (ParameterNode* p = run.nodes[0]; p != nullptr && p->GetKind() == ParameterKindSortAs; p = p->GetNext()) {
            if (!text.empty()) text += ',';
            text += TextOrEmpty(p->GetValue());
        }
        PropertyNode* sort = new (std::nothrow) PropertyNode(PropertyKindOther, "SORT-STRING");
        if (sort == nullptr || FAILED(sort->AppendOwnedValue(DuplicateText(text.c_str())))) {
            if (sort != nullptr) sort->Release();
            return false;
        }
        if (document.InsertNode(name->item, sort) == nullptr) return false;
        for (int index = run.index; name->property->GetParameterAt(index) != nullptr &&
                                    name->property->GetParameterAt(index)->GetKind() == ParameterKindSortAs;) {
            name->property->RemoveParameterAt(index);
        }
        Note(ConversionChange::SortAsToSortString, name->property, "SORT-AS", text);
        break;
    }
    return true;
}

bool IsCardLine(const PropertyNode* property, const char* name)
{
    return IsNamed(property, name) && property->GetParameters() == nullptr && property->GetValueCount() == 1 &&
           Same(property->GetValue(0), "VCARD");
}

// A card written inside the card (2.1's AGENT) as lines of its own becomes the text of
// an AGENT property, in its own version's lines: 3.0 writes such a card as AGENT's text,
// and 4.0 takes it over from there.
bool Converter::NestedCards()
{
    CardNode* previous = nullptr;
    for (CardNode* node = document.FirstItem(); node != nullptr;) {
        if (node->IsGroup() || !IsCardLine((PropertyNode*)node, "BEGIN")) {
            previous = node;
            node = node->NextItem();
            continue;
        }
        MemoryOutput output;
        output.version = from;
        Refusal refusal;
        std::vector<HTREEITEM> lines;
        int depth = 0;
        CardNode* line = node;
        for (; line != nullptr; line = line->NextItem()) {
            lines.push_back(line->Item());
            if (FAILED(line->Write(nullptr, output, FOLD_WIDTH, refusal))) return false;
            bool property = !line->IsGroup();
            if (property && IsCardLine((PropertyNode*)line, "BEGIN")) ++depth;
            if (property && IsCardLine((PropertyNode*)line, "END") && --depth == 0) break;
        }
        if (depth != 0) {
            // Never closed: the rest of the card is no inner card's, and stays as it is.
            previous = node;
            node = node->NextItem();
            continue;
        }
        std::string text;
        for (char c : output.text) {
            if (c != '\r') text += c;
        }
        while (!text.empty() && text.back() == '\n') text.pop_back();
        CardNode* next = line->NextItem();
        PropertyNode* agent = previous != nullptr && !previous->IsGroup() ? (PropertyNode*)previous : nullptr;
        bool emptyAgent = agent != nullptr && IsNamed(agent, "AGENT") && JoinedValues(agent).empty();
        if (emptyAgent) {
            if (!SetText(agent, 0, text)) return false;
        } else {
            agent = new (std::nothrow) PropertyNode(PropertyKindOther, "AGENT");
            if (agent == nullptr || FAILED(agent->AppendOwnedValue(DuplicateText(text.c_str())))) {
                if (agent != nullptr) agent->Release();
                return false;
            }
            if (document.InsertNode(previous != nullptr ? previous->Item() : TVI_FIRST, agent) == nullptr) return false;
            previous = agent;
        }
        for (HTREEITEM each : lines) document.DeleteItem(each);
        Note(ConversionChange::NestedCardToText, agent, "", "");
        node = next;
    }
    return true;
}

const char* ValueOf(const PropertyNode* property)
{
    for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetKind() == ParameterKindValue) return TextOrEmpty(p->GetValue());
    }
    return nullptr;
}

void RemoveParameters(PropertyNode* property, ParameterKind kind, const char* value)
{
    std::vector<ParameterRun> runs = RunsOf(property);
    for (size_t r = runs.size(); r-- > 0;) {
        if (runs[r].nodes[0]->GetKind() == kind && (value == nullptr || Same(runs[r].nodes[0]->GetValue(), value))) {
            property->RemoveParameterAt(runs[r].index);
        }
    }
}

// The older versions' AGENT and 4.0's RELATED;TYPE=agent: a card as text (VALUE=text),
// or a URI.
bool Converter::Agents()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (to == CardVersion::V40 && IsNamed(property, "AGENT")) {
            const char* value = ValueOf(property);
            bool uri = Same(value, "uri") || Same(value, "URL");
            RemoveParameters(property, ParameterKindValue, nullptr);
            if (!AddParameter(property, ParameterKindType, nullptr, "agent") ||
                (!uri && !AddParameter(property, ParameterKindValue, nullptr, "text"))) {
                return false;
            }
            Note(ConversionChange::AgentToRelated, property, "", uri ? "uri" : "text");
            if (Remade(placed, PropertyKindRelated, nullptr) == nullptr) return false;
        } else if (from == CardVersion::V40 && property->GetKind() == PropertyKindRelated) {
            bool agent = false;
            for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
                agent |= p->GetKind() == ParameterKindType && Same(p->GetValue(), "agent");
            }
            if (!agent) continue;
            const char* value = ValueOf(property);
            bool text = Same(value, "text");
            RemoveParameters(property, ParameterKindType, "agent");
            RemoveParameters(property, ParameterKindValue, nullptr);
            if (!text && !AddParameter(property, ParameterKindValue, nullptr, to == CardVersion::V21 ? "URL" : "uri")) {
                return false;
            }
            Note(ConversionChange::RelatedToAgent, property, "", text ? "text" : "uri");
            if (Remade(placed, PropertyKindOther, "AGENT") == nullptr) return false;
        }
    }
    return true;
}

// 2.1 names a URI value VALUE=URL, the later versions VALUE=uri.
bool Converter::ValueTypes()
{
    const char* old = to == CardVersion::V21 ? "uri" : "URL";
    const char* now = to == CardVersion::V21 ? "URL" : "uri";
    for (Placed& placed : Properties()) {
        for (ParameterNode* p = placed.property->GetParameters(); p != nullptr; p = p->GetNext()) {
            if (p->GetKind() != ParameterKindValue || !Same(p->GetValue(), old)) continue;
            if (p->SetValue(now) != S_OK) return false;
            Note(ConversionChange::ValueTypeRenamed, placed.property, "VALUE", now);
        }
    }
    return true;
}

// Names a version has no word for, and the versions that have one.
struct VersionedName {
    const char* name;
    bool in21;
    bool in30;
};
// 2.1 writers use NICKNAME, CATEGORIES and the other names of 3.0 without a word of 2.1's
// for them, and 2.1 readers take them: only what 4.0 added is kept under X- names.
const VersionedName propertyNames[] = {
    {"KIND", false, false},   {"GENDER", false, false},       {"ANNIVERSARY", false, false},
    {"MEMBER", false, false}, {"RELATED", false, false},      {"LANG", false, false},
    {"CLIENTPIDMAP", false, false}, {"XML", false, false},
};
const VersionedName parameterNames[] = {
    {"ALTID", false, false}, {"PID", false, false},      {"MEDIATYPE", false, false}, {"CALSCALE", false, false},
    {"SORT-AS", false, false}, {"GEO", false, false},    {"TZ", false, false},        {"INDEX", false, false},
    {"LEVEL", false, false}, {"LABEL", false, false},
};

template <size_t N>
const VersionedName* FindName(const VersionedName (&table)[N], const char* name)
{
    // The table's names are upper case: most names differ from all of them in the first letter.
    for (const VersionedName& entry : table) {
        if (AsciiUpper(name[0]) == entry.name[0] && Same(name, entry.name)) return &entry;
    }
    return nullptr;
}

bool Has(const VersionedName* entry, CardVersion version)
{
    return entry == nullptr || version == CardVersion::V40 || (version == CardVersion::V30 ? entry->in30 : entry->in21);
}

// Whether a parameter of the property has a name of the table, bare or after "X-": only
// those are renamed, and most lines have none.
bool HasVersionedParameter(const PropertyNode* property)
{
    for (const ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        const char* name = p->GetCustomName() != nullptr ? p->GetCustomName() : GetParameterName(p->GetKind());
        if (name == nullptr) continue;
        bool prefixed = (name[0] == 'X' || name[0] == 'x') && name[1] == '-' && name[2] != '\0';
        if (FindName(parameterNames, name) != nullptr || (prefixed && FindName(parameterNames, name + 2) != nullptr)) {
            return true;
        }
    }
    return false;
}

// A name the target has no word for is kept under "X-" and the name, which every reader
// ignores and a conversion back takes off again (restore).
bool Converter::Names(bool restore)
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        std::string name = property->GetDisplayName();
        bool prefixed = name.size() > 2 && Same(name.substr(0, 2).c_str(), "X-");
        const VersionedName* entry = FindName(propertyNames, prefixed && restore ? name.c_str() + 2 : name.c_str());
        if (restore && prefixed && entry != nullptr && Has(entry, to) && !Has(entry, from)) {
            std::string now = Upper(name.substr(2));
            Note(ConversionChange::PropertyRenamed, property, "", now);
            if (Remade(placed, FindPropertyKind(now.c_str()), now.c_str()) == nullptr) return false;
        } else if (!restore && !prefixed && entry != nullptr && !Has(entry, to)) {
            std::string now = "X-" + Upper(name);
            Note(ConversionChange::PropertyRenamed, property, "", now);
            if (Remade(placed, PropertyKindOther, now.c_str()) == nullptr) return false;
        }
        property = placed.property;
        if (!HasVersionedParameter(property)) continue;
        for (const ParameterRun& run : RunsOf(property)) {
            bool runPrefixed = run.name.size() > 2 && run.name.compare(0, 2, "X-") == 0;
            const VersionedName* known =
                FindName(parameterNames, runPrefixed && restore ? run.name.c_str() + 2 : run.name.c_str());
            if (known == nullptr || runPrefixed != restore || Has(known, to) == !restore) continue;
            if (restore && Has(known, from)) continue;
            std::string now = restore ? run.name.substr(2) : "X-" + run.name;
            ParameterKind kind = restore ? FindParameterKind(now.c_str()) : ParameterKindOther;
            for (size_t i = 0; i < run.nodes.size(); ++i) {
                ParameterNode* node = run.nodes[i];
                node->SetKind(kind);
                // A further value of an other parameter has no name: it joins the first.
                bool named = kind == ParameterKindOther && i == 0;
                if (FAILED(node->SetCustomName(named ? now.c_str() : nullptr))) return false;
            }
            Note(ConversionChange::ParameterRenamed, property, run.name, now);
        }
    }
    return true;
}

// 2.1 writes TYPE values alone (TEL;WORK;VOICE:), the later versions name every parameter.
bool Converter::Bareness()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        std::string changed;
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
            // A value that names an encoding would read back as ENCODING's.
            bool bare = to == CardVersion::V21 && p->GetKind() == ParameterKindType && IsValidName(p->GetValue()) &&
                        !IsBareEncodingName(p->GetValue(), strlen(p->GetValue()));
            if (p->IsBare() == bare) continue;
            if (!bare && p->GetKind() == ParameterKindOther && p->GetCustomName() == nullptr) continue;
            p->SetBare(bare);
            if (!changed.empty()) changed += ',';
            changed += TextOrEmpty(p->GetValue());
        }
        if (!changed.empty()) {
            Note(to == CardVersion::V21 ? ConversionChange::ParameterMadeBare : ConversionChange::ParameterNamed,
                 property, "", changed);
        }
    }
    return true;
}

// A list component (N, ADR, CATEGORIES, NICKNAME) is held in its file's spelling, and
// 2.1 spells differently: only "\;" is an escape there. toOld: from 3.0 and 4.0's
// spelling to 2.1's. *commaMerged: a comma inside a value, which 2.1 cannot hold apart.
std::string Respelled(const char* component, bool toOld, bool* commaMerged)
{
    std::string out;
    for (const char* p = component; *p != '\0';) {
        size_t width = CharWidth(p);
        if (width != 1 || *p != '\\' || p[1] == '\0') {
            out.append(p, width);
            p += width;
            continue;
        }
        char next = p[1];
        if (!toOld) {
            out += next == ';' ? "\\;" : "\\\\";
            p += next == ';' ? 2 : 1;
            continue;
        }
        if (CharWidth(p + 1) != 1) {
            out += '\\';
            ++p;
            continue;
        }
        p += 2;
        switch (next) {
        case ',': out += ','; *commaMerged = true; break;
        case '\\': out += '\\'; break;
        case 'n':
        case 'N': out += '\n'; break;
        case ';': out += "\\;"; break;
        case ':': out += ':'; break;
        default: out += '\\'; out += next; break;
        }
    }
    return out;
}

bool Converter::ListSpelling()
{
    bool toOld = to == CardVersion::V21;
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (!IsListValued(property->GetKind())) continue;
        bool merged = false;
        for (int i = 0; i < property->GetValueCount(); ++i) {
            const char* value = property->GetValue(i);
            if (value == nullptr) continue;
            if (!SetText(property, i, Respelled(value, toOld, &merged))) return false;
        }
        if (merged) Note(ConversionChange::ListCommaMerged, property, "", "");
    }
    return true;
}

// The name of a card without FN as the card picker shows it: N's prefix, given,
// additional, family and suffix, the values of each list apart by a blank.
std::string NameFromN(const PropertyNode* name, CardVersion version)
{
    static const int SPOKEN[] = {3, 1, 2, 0, 4};
    std::string spoken;
    for (int which : SPOKEN) {
        const char* component = name->GetValue(which);
        if (component == nullptr || *component == '\0') continue;
        std::string text;
        for (const char* p = component; *p != '\0'; ++p) {
            char c = *p;
            if (c == '\\' && p[1] != '\0' && (HasBackslashEscapes(version) || p[1] == ';')) {
                c = *++p;
                if (HasBackslashEscapes(version) && (c == 'n' || c == 'N')) c = ' ';
            } else if (c == ',') {
                c = ' ';
            }
            text += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (text.empty()) continue;
        if (!spoken.empty()) spoken += ' ';
        spoken += text;
    }
    return spoken;
}

bool Converter::MissingFn()
{
    if (!RequiresFn(to)) return true;
    std::vector<Placed> placed = Properties();
    const PropertyNode* name = nullptr;
    const PropertyNode* organization = nullptr;
    HTREEITEM version = nullptr;
    for (const Placed& p : placed) {
        PropertyKind kind = p.property->GetKind();
        if (kind == PropertyKindFn) return true;
        if (kind == PropertyKindN && name == nullptr) name = p.property;
        if (IsNamed(p.property, "ORG") && organization == nullptr) organization = p.property;
        if (kind == PropertyKindVersion && p.parent == nullptr && version == nullptr) version = p.item;
    }
    // N is in the target's spelling by now. Without N, the organisation's name.
    std::string text = name != nullptr ? NameFromN(name, to) : "";
    if (text.empty() && organization != nullptr) text = TextOrEmpty(organization->GetValue(0));
    PropertyNode* fn = new (std::nothrow) PropertyNode(PropertyKindFn);
    if (fn == nullptr || FAILED(fn->AppendOwnedValue(DuplicateText(text.c_str())))) {
        if (fn != nullptr) fn->Release();
        return false;
    }
    if (document.InsertNode(version != nullptr ? version : TVI_FIRST, fn) == nullptr) return false;
    Note(ConversionChange::FnMade, fn, "", text);
    return true;
}

bool IsCoordinate(const std::string& text)
{
    if (text.empty()) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+')) return false;
    }
    return true;
}

// GEO in each version's spelling: 2.1 "lat,lon", 3.0 "lat;lon", 4.0 a geo: URI. A URI
// with parameters of its own (u=, crs=) has no older spelling and stays as it is, and a
// value in no version's spelling is left alone.
bool Converter::Geo()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (!Same(property->GetDisplayName(), "GEO") || property->GetValueCount() != 1) continue;
        std::string value = TextOrEmpty(property->GetValue(0));
        std::string pair;
        char separator = from == CardVersion::V21 ? ',' : ';';
        if (from == CardVersion::V40) {
            if (value.size() < 4 || !Same(value.substr(0, 4).c_str(), "geo:")) continue;
            pair = value.substr(4);
            separator = ',';
        } else {
            pair = value;
        }
        size_t split = pair.find(separator);
        if (split == std::string::npos) continue;
        std::string latitude = pair.substr(0, split), longitude = pair.substr(split + 1);
        if (!IsCoordinate(latitude) || !IsCoordinate(longitude)) continue;
        std::string now = to == CardVersion::V40 ? "geo:" + latitude + "," + longitude
                          : to == CardVersion::V30 ? latitude + ";" + longitude
                                                   : latitude + "," + longitude;
        if (now == value) continue;
        if (!SetText(property, 0, now)) return false;
        Note(ConversionChange::ValueRespelled, property, "", value);
    }
    return true;
}

// A date or date-time in ISO 8601's extended form ("1996-04-15", "1995-10-31T22:27:10Z"),
// which 3.0 allows and 4.0 does not, in the basic form ("19960415", "19951031T222710Z"):
// empty when the text is neither (a fraction of a second, which 4.0 has no form for, too).
std::string BasicDateTime(const std::string& text)
{
    // D a digit, '-' and ':' the separators the basic form drops, '?' a sign of the zone.
    static const char* const FORMS[] = {"DDDD-DD-DD", "DDDD-DD-DDTDD:DD", "DDDD-DD-DDTDD:DD:DD", "DDDD-DD-DDTDD:DDZ",
                                        "DDDD-DD-DDTDD:DD:DDZ", "DDDD-DD-DDTDD:DD?DD:DD", "DDDD-DD-DDTDD:DD:DD?DD:DD",
                                        "DDDD-DD-DDTDD:DD?DD", "DDDD-DD-DDTDD:DD:DD?DD"};
    for (const char* form : FORMS) {
        if (text.size() != strlen(form)) continue;
        std::string basic;
        size_t i = 0;
        for (; i < text.size(); ++i) {
            char c = text[i], f = form[i];
            bool fits = f == 'D' ? c >= '0' && c <= '9' : f == '?' ? c == '+' || c == '-' : c == f;
            if (!fits) break;
            if (f != '-' && f != ':') basic += c;
        }
        if (i == text.size()) return basic;
    }
    return std::string();
}

// 4.0 writes dates and times in the basic form alone.
bool Converter::Dates()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        const char* name = property->GetDisplayName();
        if (!(Same(name, "BDAY") || Same(name, "ANNIVERSARY") || Same(name, "REV")) || property->GetValueCount() != 1) continue;
        std::string value = TextOrEmpty(property->GetValue(0));
        std::string basic = BasicDateTime(value);
        if (basic.empty()) continue;
        if (!SetText(property, 0, basic)) return false;
        Note(ConversionChange::ValueRespelled, property, "", value);
    }
    return true;
}

// A line break in 3.0 and 4.0 is "\n", and a CR in a line of theirs would end it for
// many readers; 2.1's quoted-printable text has CR LF, as phones write it.
std::string WithLineBreaks(const char* text, bool crlf)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r') {
            if (p[1] == '\n') ++p;
            out += crlf ? "\r\n" : "\n";
        } else if (*p == '\n') {
            out += crlf ? "\r\n" : "\n";
        } else {
            out += *p;
        }
    }
    return out;
}

bool Converter::LineBreaks()
{
    bool crlf = to == CardVersion::V21;
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        bool changed = false;
        if (!IsUriValued(property) && !EncodingOf(property).base64) {
            for (int i = 0; i < property->GetValueCount(); ++i) {
                const char* value = property->GetValue(i);
                if (value == nullptr || strpbrk(value, "\r\n") == nullptr) continue;
                std::string now = WithLineBreaks(value, crlf);
                if (now == value) continue;
                if (!SetText(property, i, now)) return false;
                changed = true;
            }
        }
        for (ParameterNode* p = crlf ? nullptr : property->GetParameters(); p != nullptr; p = p->GetNext()) {
            const char* value = p->GetValue();
            if (value == nullptr || strpbrk(value, "\r\n") == nullptr) continue;
            std::string now = WithLineBreaks(value, false);
            if (now == value) continue;
            if (p->SetValue(now.c_str()) != S_OK) return false;
            changed = true;
        }
        if (changed) Note(ConversionChange::LineBreaks, property, "", crlf ? "CR LF" : "LF");
    }
    return true;
}

// Whether a parameter value of the property holds one of the bytes; the runs, with a
// copy of every name, are gathered only for a property that has one.
bool HasParameterValueOf(const PropertyNode* property, const char* bytes)
{
    for (const ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
        if (p->GetValue() != nullptr && strpbrk(p->GetValue(), bytes) != nullptr) return true;
    }
    return false;
}

// 2.1 has no escapes in parameter values: a double quote would end a quoted value, and
// a line break the line. An apostrophe and a blank stand for them.
bool Converter::OldParameterValues()
{
    for (Placed& placed : Properties()) {
        if (!HasParameterValueOf(placed.property, "\"\r\n")) continue;
        for (const ParameterRun& run : RunsOf(placed.property)) {
            for (ParameterNode* node : run.nodes) {
                const char* value = node->GetValue();
                if (value == nullptr || strpbrk(value, "\"\r\n") == nullptr) continue;
                std::string now;
                for (const char* p = value; *p != '\0'; ++p) {
                    if (*p == '\r' && p[1] == '\n') continue;
                    now += *p == '"' ? '\'' : *p == '\r' || *p == '\n' ? ' ' : *p;
                }
                Note(ConversionChange::ParameterValueRespelled, placed.property, run.name, value);
                if (node->SetValue(now.c_str()) != S_OK) return false;
            }
        }
    }
    return true;
}

// 4.0 writes a telephone number as a tel: URI; the older versions as its text.
bool Converter::Telephones()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        if (property->GetKind() != PropertyKindTel || !IsUriValued(property) || property->GetValueCount() != 1) continue;
        std::string value = TextOrEmpty(property->GetValue(0));
        if (value.size() < 4 || !Same(value.substr(0, 4).c_str(), "tel:")) continue;
        RemoveParameters(property, ParameterKindValue, nullptr);
        if (!SetText(property, 0, value.substr(4))) return false;
        Note(ConversionChange::TelUriToText, property, "", value);
    }
    return true;
}

// 2.1 text beyond ASCII goes quoted-printable with CHARSET=UTF-8, as phones write it.
bool Converter::OldEncodings()
{
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        ValueEncoding encoding = EncodingOf(property);
        // VERSION is read ahead of every rule, quoted-printable ones too: it stays plain.
        if (encoding.base64 || IsUriValued(property) || property->GetKind() == PropertyKindVersion) continue;
        bool eightBit = false;
        for (int i = 0; i < property->GetValueCount(); ++i) {
            const char* value = property->GetValue(i);
            eightBit |= value != nullptr && HasEightBitBytes(value, strlen(value));
        }
        bool asRead = property->GetTextBytes() == PropertyNode::TextBytes::AsRead;
        if (!eightBit || (asRead && from != CardVersion::V40)) continue;
        if (encoding.charset == nullptr) {
            if (!AddParameter(property, ParameterKindOther, "CHARSET", "UTF-8")) return false;
            property->SetTextBytes(PropertyNode::TextBytes::Program);
            Note(ConversionChange::EncodingAdded, property, "CHARSET", "UTF-8");
        }
        if (!encoding.quotedPrintable) {
            if (!AddParameter(property, ParameterKindOther, "ENCODING", "QUOTED-PRINTABLE")) return false;
            Note(ConversionChange::EncodingAdded, property, "ENCODING", "QUOTED-PRINTABLE");
        }
    }
    return true;
}

// In a program whose text is not UTF-8 (Windows before 1903) a 4.0 card's text is held
// as its file's UTF-8 bytes: text converted to 3.0 or 4.0 becomes such bytes, and the
// text of a 4.0 card converted to an older version is written as those bytes (which
// OldEncodings has named UTF-8 for 2.1).
bool Converter::Utf8Bytes()
{
    if (ProgramTextIsUtf8()) return true;
    // In a double-byte code page UTF-8 bytes would read as other characters to every
    // search of the text (a line feed after a lead byte is no line feed): there the text
    // stays the program's, which a 4.0 card is written in and a 3.0 save converts.
    if (memchr(LeadByteTable(), 1, 256) != nullptr) return true;
    // The program's text as UTF-8 bytes; empty when it has no 8-bit byte or does not
    // convert (then kept as it is, like any text that does not convert).
    auto utf8 = [](const char* text, std::string& out) {
        TextBuffer bytes;
        if (text == nullptr || !HasEightBitBytes(text, strlen(text)) ||
            ConvertFromProgramText("UTF-8", text, strlen(text), bytes) != ConvertResult::Done) {
            return false;
        }
        out.assign(bytes.Data(), bytes.Length());
        return true;
    };
    for (Placed& placed : Properties()) {
        PropertyNode* property = placed.property;
        bool changed = false;
        std::string now;
        for (ParameterNode* p = from == CardVersion::V40 ? nullptr : property->GetParameters(); p != nullptr; p = p->GetNext()) {
            if (!utf8(p->GetValue(), now)) continue;
            if (p->SetValue(now.c_str()) != S_OK) return false;
            changed = true;
        }
        bool text = !IsUriValued(property) && !(from != CardVersion::V40 && EncodingOf(property).base64) &&
                    property->GetTextBytes() != PropertyNode::TextBytes::AsRead;
        for (int i = 0; text && i < property->GetValueCount(); ++i) {
            const char* value = property->GetValue(i);
            if (from == CardVersion::V40) {
                // Already UTF-8 bytes: written as they are.
                if (value != nullptr && HasEightBitBytes(value, strlen(value))) property->SetTextBytes(PropertyNode::TextBytes::AsRead);
                continue;
            }
            if (!utf8(value, now)) continue;
            if (!SetText(property, i, now)) return false;
            changed = true;
        }
        if (!changed) continue;
        if (to == CardVersion::V30) property->SetTextBytes(PropertyNode::TextBytes::AsRead);
        Note(ConversionChange::TextBytesToUtf8, property, "", "the program's code page");
    }
    return true;
}

// A VERSION of several components (what a file wrote after its version) as a VERSION of
// one, which the version then fills, so that the card written is read back by the
// version it names. Null when memory ran out.
PropertyNode* Converter::VersionAlone(HTREEITEM item, PropertyNode* version)
{
    std::string had;
    for (int i = 0; i < version->GetValueCount(); ++i) {
        if (i > 0) had += ';';
        if (version->GetValue(i) != nullptr) had += version->GetValue(i);
    }
    PropertyNode* alone = new (std::nothrow) PropertyNode(PropertyKindVersion);
    if (alone == nullptr || FAILED(alone->AppendOwnedValue(nullptr))) {
        if (alone != nullptr) alone->Release();
        return nullptr;
    }
    if (version->GetParameters() != nullptr) alone->AppendParameter(version->GetParameters());
    if (document.InsertNode(item, alone) == nullptr) return nullptr;
    document.DeleteItem(item);
    Note(ConversionChange::ValueRespelled, alone, "", had);
    return alone;
}

bool Converter::Version()
{
    CardNode* node = document.FirstItem();
    HTREEITEM first = node != nullptr ? node->Item() : nullptr;
    PropertyNode* version = node != nullptr && !node->IsGroup() && ((PropertyNode*)node)->GetKind() == PropertyKindVersion
                                ? (PropertyNode*)node
                                : nullptr;
    if (version == nullptr) {
        HTREEITEM item = document.AddProperty(TVI_FIRST, PropertyKindVersion);
        if (item == nullptr) return false;
        version = (PropertyNode*)document.GetNode(item);
    } else if (version->GetValueCount() > 1 && (version = VersionAlone(first, version)) == nullptr) {
        return false;
    }
    if (FAILED(version->SetValue(VersionText(to), 0))) return false;
    document.SetVersion(to);
    Note(ConversionChange::Version, nullptr, "", VersionText(from));
    return true;
}

HRESULT Converter::Run()
{
    report.from = from;
    report.to = to;
    report.entries.clear();
    if (from == to) return S_OK;
    bool fromOld = from != CardVersion::V40;
    bool toOld = to != CardVersion::V40;
    bool touches21 = from == CardVersion::V21 || to == CardVersion::V21;
    // In this order: what a step makes, a later one may convert further.
    bool done = (to == CardVersion::V21 || NestedCards()) && Names(true) &&
                (to == CardVersion::V21 || !fromOld || Encodings()) && BinaryData() &&
                (fromOld || Telephones()) && SplitTypes() && Preference() && (fromOld == toOld || Labels()) &&
                (fromOld == toOld || SortStrings()) && Agents() && LineBreaks() && (!touches21 || ValueTypes()) &&
                Names(false) && Bareness() && ((from == CardVersion::V21) == (to == CardVersion::V21) || ListSpelling()) &&
                Geo() && (to != CardVersion::V40 || Dates()) && MissingFn() && (to != CardVersion::V21 || (OldEncodings() && OldParameterValues())) &&
                Utf8Bytes() && Version();
    return done ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT ConvertCard(CardDocument& document, CardVersion target, ConversionReport& report)
{
    // In a double-byte code page (a Windows before 1903 in East Asia) the text of one
    // version is no text of another: a conversion there would misread what it moves.
    const unsigned ERROR_NO_UNICODE_TRANSLATION_CODE = 1113;
    if (document.GetVersion() != target && memchr(LeadByteTable(), 1, 256) != nullptr) {
        return ResultFromWin32(ERROR_NO_UNICODE_TRANSLATION_CODE);
    }
    try {
        Converter converter(document, target, report);
        return converter.Run();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
