// Conversion between vCard 2.1, 3.0 and 4.0: each rule in both directions as written
// lines, and every corpus card converted to each version, valid when read back, and
// brought back to its own version meaning what it meant, but for what the reports named.
#include "card/card_file.h"
#include "card/convert.h"
#include "card/format.h"
#include "card/legacy_text.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using Change = ConversionChange;

std::string Card(const char* version, std::initializer_list<const char*> lines)
{
    std::string text = std::string("BEGIN:VCARD\r\nVERSION:") + version + "\r\n";
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text + "END:VCARD\r\n";
}

bool HasLine(const std::string& written, const std::string& line)
{
    return ("\r\n" + written).find("\r\n" + line + "\r\n") != std::string::npos;
}

struct Row {
    const char* what;
    std::string card;
    CardVersion to;
    std::vector<const char*> lines;    // written, each a whole line
    std::vector<const char*> absent;   // no line starts with these
    std::vector<Change> changes;       // each in the report
};

const CardVersion V21 = CardVersion::V21, V30 = CardVersion::V30, V40 = CardVersion::V40;

std::vector<Row> Rows()
{
    return {
        {"quoted-printable Latin-1 to UTF-8 text", Card("2.1", {"FN:x", "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:caf=E9"}),
         V40, {"NOTE:caf\xC3\xA9"}, {"NOTE;"}, {Change::EncodingRemoved}},
        {"3.0 loses its CHARSET too", Card("3.0", {"FN:x", "NOTE;CHARSET=ISO-8859-1:caf\xE9"}), V40,
         {"NOTE:caf\xC3\xA9"}, {"NOTE;"}, {Change::EncodingRemoved}},
        {"2.1 to 3.0: no quoted-printable, BASE64 is b", Card("2.1", {"FN:x", "NOTE;ENCODING=QUOTED-PRINTABLE:a=0Ab", "KEY;ENCODING=BASE64;PGP:QUJD", ""}),
         V30, {"NOTE:a\\nb", "KEY;ENCODING=b;type=PGP:QUJD"}, {}, {Change::EncodingRemoved, Change::EncodingRenamed}},
        {"inline data to a data: URI", Card("2.1", {"FN:x", "PHOTO;ENCODING=BASE64;JPEG:/9j/", ""}), V40,
         {"PHOTO:data:image/jpeg;base64,/9j/"}, {}, {Change::BinaryToDataUri}},
        {"a data: URI to 3.0's inline data", Card("4.0", {"FN:x", "PHOTO:data:image/png;base64,iVBO"}), V30,
         {"PHOTO;ENCODING=b;type=PNG:iVBO"}, {}, {Change::DataUriToBinary}},
        {"a data: URI to 2.1's inline data", Card("4.0", {"FN:x", "LOGO:data:image/gif;base64,R0lG"}), V21,
         {"LOGO;ENCODING=BASE64;GIF:R0lG"}, {}, {Change::DataUriToBinary, Change::ParameterMadeBare}},
        {"TYPE=PREF to PREF=1", Card("3.0", {"FN:x", "TEL;TYPE=WORK,PREF:1"}), V40, {"TEL;type=WORK;pref=1:1"}, {},
         {Change::TypePrefToPref}},
        {"PREF=1 to TYPE=PREF", Card("4.0", {"FN:x", "TEL;TYPE=work;PREF=1:1"}), V30, {"TEL;type=work,PREF:1"}, {},
         {Change::PrefToTypePref}},
        {"PREF=2 loses its rank", Card("4.0", {"FN:x", "EMAIL;PREF=2:a@b"}), V30, {"EMAIL;type=PREF:a@b"}, {},
         {Change::PrefRankLost}},
        {"bare TYPE values named", Card("2.1", {"FN:x", "TEL;WORK;VOICE:1"}), V40, {"TEL;type=WORK,VOICE:1"}, {},
         {Change::ParameterNamed}},
        {"TYPE values bare in 2.1", Card("4.0", {"FN:x", "TEL;TYPE=work,voice:1"}), V21, {"TEL;work;voice:1"}, {},
         {Change::ParameterMadeBare}},
        {"LABEL to the ADR of its TYPE", Card("3.0", {"FN:x", "ADR;TYPE=HOME:;;2 Side;Vale;;;", "ADR;TYPE=WORK:;;1 Main;Town;;;", "LABEL;TYPE=WORK:1 Main\\nTown"}),
         V40, {"ADR;type=WORK;LABEL=1 Main^nTown:;;1 Main;Town;;;", "ADR;type=HOME:;;2 Side;Vale;;;"}, {"LABEL"},
         {Change::LabelToAddress}},
        {"LABEL without its ADR stays", Card("2.1", {"FN:x", "ADR;WORK:;;1 Main;Town;;;", "LABEL;HOME:2 Side"}), V40,
         {"LABEL;type=HOME:2 Side", "ADR;type=WORK:;;1 Main;Town;;;"}, {}, {Change::LabelKept}},
        {"ADR's LABEL to a LABEL property", Card("4.0", {"FN:x", "ADR;TYPE=work;LABEL=\"1 Main^nTown\":;;1 Main;Town;;;"}), V30,
         {"ADR;type=work:;;1 Main;Town;;;", "LABEL;type=work:1 Main\\nTown"}, {}, {Change::AddressLabelToLabel}},
        {"SORT-STRING to SORT-AS", Card("3.0", {"FN:x", "N:van Gogh;Vincent;;;", "SORT-STRING:Gogh"}), V40,
         {"N;sort-as=Gogh:van Gogh;Vincent;;;"}, {"SORT-STRING"}, {Change::SortStringToSortAs}},
        {"SORT-AS to SORT-STRING", Card("4.0", {"FN:x", "N;SORT-AS=\"Gogh,Vincent\":van Gogh;Vincent;;;"}), V30,
         {"N:van Gogh;Vincent;;;", "SORT-STRING:Gogh\\,Vincent"}, {}, {Change::SortAsToSortString}},
        {"3.0's AGENT card to RELATED text", Card("3.0", {"FN:x", "AGENT:BEGIN:VCARD\\nFN:Bob\\nEND:VCARD"}), V40,
         {"RELATED;type=agent;value=text:BEGIN:VCARD\\nFN:Bob\\nEND:VCARD"}, {"AGENT"}, {Change::AgentToRelated}},
        {"RELATED;TYPE=agent to AGENT", Card("4.0", {"FN:x", "RELATED;TYPE=agent:urn:uuid:1"}), V30,
         {"AGENT;value=uri:urn:uuid:1"}, {"RELATED", "X-RELATED"}, {Change::RelatedToAgent}},
        {"2.1's card inside the card to AGENT's text", Card("2.1", {"FN:x", "AGENT:", "BEGIN:VCARD", "VERSION:2.1", "N:Bob", "END:VCARD", "TEL:1"}),
         V30, {"AGENT:BEGIN:VCARD\\nVERSION:2.1\\nN:Bob\\nEND:VCARD", "TEL:1"}, {"N:", "BEGIN:VCARD\r\nVERSION:2.1\r\nN"},
         {Change::NestedCardToText}},
        {"FN made from N as the picker names the card", Card("2.1", {"N:Doe;Jane;Q.;Dr.;Jr."}), V40,
         {"FN:Dr. Jane Q. Doe Jr."}, {}, {Change::FnMade}},
        {"4.0's names kept under X- names", Card("4.0", {"FN:x", "KIND:group", "GENDER:F", "TEL;ALTID=1;PID=1.1:1"}), V30,
         {"X-KIND:group", "X-GENDER:F", "TEL;X-ALTID=1;X-PID=1.1:1"}, {"KIND", "GENDER"}, {Change::PropertyRenamed, Change::ParameterRenamed}},
        {"X- names back to 4.0's", Card("3.0", {"FN:x", "X-KIND:group", "TEL;X-PID=1.1:1"}), V40,
         {"KIND:group", "TEL;pid=1.1:1"}, {"X-"}, {Change::PropertyRenamed, Change::ParameterRenamed}},
        {"4.0's names 2.1 lacks", Card("4.0", {"FN:x", "ANNIVERSARY:20090808", "NICKNAME:Jo,Jay"}), V21,
         {"X-ANNIVERSARY:20090808", "NICKNAME:Jo,Jay"}, {"ANNIVERSARY"}, {Change::PropertyRenamed}},
        {"2.1 text quoted-printable UTF-8", Card("4.0", {"FN:Gr\xC3\xBC\xC3\x9F" "e"}), V21,
         {"FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Gr=C3=BC=C3=9Fe"}, {}, {Change::EncodingAdded}},
        {"a comma inside a list value in 2.1", Card("4.0", {"FN:x", "ADR:;;1\\, Main;Town\\\\Gate;;;;"}), V21,
         {"ADR:;;1, Main;Town\\Gate;;;;"}, {}, {Change::ListCommaMerged}},
        {"2.1's backslash in a list", Card("2.1", {"FN:x", "ADR:;;Town\\Gate;x\\;y;;;"}), V40, {"ADR:;;Town\\\\Gate;x\\;y;;;"}, {}, {}},
        {"GEO to a geo: URI", Card("3.0", {"FN:x", "GEO:37.386013;-122.082932"}), V40, {"GEO:geo:37.386013,-122.082932"}, {},
         {Change::ValueRespelled}},
        {"3.0's extended dates to 4.0's basic form", Card("3.0", {"FN:x", "BDAY:1996-04-15", "REV:1995-10-31T22:27:10Z", "X-D:1996-04-15"}),
         V40, {"BDAY:19960415", "REV:19951031T222710Z", "X-D:1996-04-15"}, {}, {Change::ValueRespelled}},
        {"a VERSION of several components is the version alone",
         "BEGIN:VCARD\r\nVERSION:4.0;x\\nmore\r\nFN:x\r\nEND:VCARD\r\n", V21, {}, {"VERSION;"},
         {Change::ValueRespelled}},
        {"a geo: URI to 2.1's GEO", Card("4.0", {"FN:x", "GEO:geo:51.5,-0.15"}), V21, {"GEO:51.5,-0.15"}, {}, {Change::ValueRespelled}},
        {"a tel: URI to 2.1's number", Card("4.0", {"FN:x", "TEL;VALUE=uri;TYPE=\"home,voice\":tel:+33-1-23"}), V21, {"TEL;home;voice:+33-1-23"}, {},
         {Change::TelUriToText, Change::TypeListSplit}},
        {"2.1's CR LF to a line feed", Card("2.1", {"FN:x", "NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab"}), V40, {"NOTE:a\\nb"}, {}, {Change::LineBreaks}},
        {"a line feed to 2.1's CR LF", Card("3.0", {"FN:x", "NOTE:a\\nb"}), V21, {"NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab"}, {}, {Change::LineBreaks}},
        {"2.1 has no quote or line break in a parameter", Card("4.0", {"FN:x", "X-A;P=^'a^'^nb:1"}), V21, {"X-A;P='a' b:1"}, {},
         {Change::ParameterValueRespelled}},
        {"VALUE=URL to uri", Card("2.1", {"FN:x", "PHOTO;VALUE=URL:http://x/a.jpg"}), V40, {"PHOTO;value=uri:http://x/a.jpg"}, {},
         {Change::ValueTypeRenamed}},
        {"a URI named so in 2.1", Card("4.0", {"FN:x", "SOUND:http://x/a.wav"}), V21, {"SOUND;value=URL:http://x/a.wav"}, {},
         {Change::UriValueNamed, Change::ValueTypeRenamed}},
    };
}

TEST(Convert, EachRuleAsWritten)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(row.card)) << card.Why();
        ConversionReport report;
        ASSERT_EQ(S_OK, ConvertCard(card.document, row.to, report));
        HRESULT result = S_OK;
        std::string written = card.Save(&result);
        ASSERT_EQ(S_OK, result);
        EXPECT_TRUE(HasLine(written, std::string("VERSION:") + VersionText(row.to))) << written;
        for (const char* line : row.lines) EXPECT_TRUE(HasLine(written, line)) << line << " not in\n" << written;
        for (const char* start : row.absent) EXPECT_EQ(std::string::npos, ("\r\n" + written).find(std::string("\r\n") + start)) << written;
        for (Change change : row.changes) {
            bool found = std::any_of(report.entries.begin(), report.entries.end(),
                                     [&](const ConversionEntry& entry) { return entry.change == change; });
            EXPECT_TRUE(found) << "change " << (int)change << " not reported";
        }
        TestCard again;
        ASSERT_EQ(S_OK, again.Load(written)) << again.Why();
        EXPECT_TRUE(again.document.ValidateCard()) << again.Why() << "\n" << written;
    }
}

TEST(Convert, SameVersionChangesNothing)
{
    TestCard card, unconverted;
    std::string text = Card("3.0", {"FN:x", "TEL;TYPE=PREF:1"});
    ASSERT_EQ(S_OK, card.Load(text));
    ASSERT_EQ(S_OK, unconverted.Load(text));
    ConversionReport report;
    ASSERT_EQ(S_OK, ConvertCard(card.document, V30, report));
    EXPECT_TRUE(report.entries.empty());
    EXPECT_EQ(unconverted.Save(), card.Save());
}

// Windows before 1903 keeps its own code page: a 4.0 card's text is then its UTF-8 bytes.
TEST(Convert, TextOfAProgramNotInUtf8)
{
    CodePageScope ansi(1252);
    ASSERT_TRUE(ansi.Switched());
    TestCard older, newer;
    ConversionReport report;
    ASSERT_EQ(S_OK, older.Load(Card("2.1", {"FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:caf=E9", "ADR;HOME:;;x;;;;",
                                            "LABEL;HOME;ENCODING=QUOTED-PRINTABLE:caf=E9"})));
    ASSERT_EQ(S_OK, ConvertCard(older.document, V40, report));
    EXPECT_TRUE(HasLine(older.Save(), "FN:caf\xC3\xA9")) << older.Save();
    EXPECT_TRUE(HasLine(older.Save(), "ADR;type=HOME;LABEL=caf\xC3\xA9:;;x;;;;")) << older.Save();
    ASSERT_EQ(S_OK, newer.Load(Card("4.0", {"FN:caf\xC3\xA9"})));
    ASSERT_EQ(S_OK, ConvertCard(newer.document, V21, report));
    EXPECT_TRUE(HasLine(newer.Save(), "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:caf=C3=A9")) << newer.Save();
}

// ---------------------------------------------------------------- the corpus

std::string Upper(std::string text)
{
    for (char& c : text) c = (char)toupper((unsigned char)c);
    return text;
}

// A list component by what it lists: values apart by '\x01', escapes decoded by the
// card's version.
std::string ListMeaning(const char* component, CardVersion version)
{
    std::string out;
    for (const char* p = component; *p != '\0'; ++p) {
        if (*p == ',') {
            out += '\x01';
        } else if (*p == '\\' && p[1] != '\0' && version == V21) {
            if (p[1] == ';') ++p;
            out += *p;
        } else if (*p == '\\' && p[1] != '\0' && strchr(",\\;:nN", p[1]) != nullptr) {
            ++p;
            out += *p == 'n' || *p == 'N' ? '\n' : *p;
        } else {
            out += *p;
        }
    }
    return out;
}

// What a card says, one line per property, sorted: group, name, parameters by name
// (ENCODING and CHARSET, which say how the bytes are written, left out), and values.
// Properties named in ignored are left out, and so are cards written inside the card
// when skipNested.
// CR LF, CR and LF are one line break, which each version writes its own way.
std::string OneLineBreak(std::string text)
{
    for (size_t at; (at = text.find('\r')) != std::string::npos;) text.replace(at, text.compare(at, 2, "\r\n") == 0 ? 2 : 1, "\n");
    return text;
}

// Names as the reports renamed them, in order, applied to the original's names.
using Renames = std::vector<std::pair<std::string, std::string>>;

std::string Renamed(std::string name, const Renames& renames)
{
    for (const auto& rename : renames) {
        if (name == rename.first) name = rename.second;
    }
    return name;
}

std::vector<std::string> Meaning(const CardDocument& document, const std::set<std::string>& ignored, bool skipNested,
                                 const Renames& renames = {})
{
    std::vector<std::string> lines;
    int depth = 0;
    document.ForEachProperty([&](const char* group, const PropertyNode* property) {
        std::string name = Renamed(Upper(property->GetDisplayName()), renames);
        bool cardLine = group == nullptr && property->GetValueCount() == 1 && property->GetValue(0) != nullptr &&
                        Upper(property->GetValue(0)) == "VCARD";
        if (skipNested && cardLine && name == "BEGIN") ++depth;
        bool nested = depth > 0;
        if (skipNested && cardLine && name == "END") --depth;
        if (nested || ignored.count(name) != 0) return true;
        std::vector<std::pair<std::string, std::string>> parameters;
        bool base64 = EncodingOf(property).base64 && document.GetVersion() != V40;
        std::vector<std::string> types;  // a set: which TYPE values, not in what order
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
            const char* own = p->GetCustomName() != nullptr ? p->GetCustomName() : GetParameterName(p->GetKind());
            std::string value = p->GetValue() != nullptr ? OneLineBreak(p->GetValue()) : "(null)";
            // 4.0's default, which a conversion to an older version names: a URI either way.
            bool media = name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
            if (media && p->GetKind() == ParameterKindValue && Upper(value) == "URI") continue;
            if (p->GetKind() == ParameterKindType) {
                // Data's format: "image/png" and "PNG", "JPG" and "JPEG" name one.
                if (base64) value = value.substr(value.rfind('/') + 1);
                if (base64 && Upper(value) == "JPG") value = "JPEG";
                for (size_t start = 0, end; start <= value.size(); start = end + 1) {  // a quoted list too
                    end = std::min(value.find(',', start), value.size());
                    types.push_back(Upper(value.substr(start, end - start)));
                }
                continue;
            }
            if (*own == '\0' && !parameters.empty()) {
                parameters.back().second += "," + value;
            } else {
                parameters.push_back({Renamed(Upper(own), renames), value});
            }
        }
        std::sort(types.begin(), types.end());
        for (const std::string& type : types) parameters.push_back({"TYPE", type});
        std::stable_sort(parameters.begin(), parameters.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string line = (group != nullptr ? Upper(group) : std::string("-")) + " " + name;
        for (const auto& parameter : parameters) {
            if (parameter.first == "ENCODING" || parameter.first == "CHARSET") continue;
            line += ";" + parameter.first + "=" + parameter.second;
        }
        for (int i = 0; i < property->GetValueCount(); ++i) {
            const char* value = property->GetValue(i);
            line += i == 0 ? ":" : "\x02";
            if (value == nullptr) continue;
            std::string text = IsListValued(property->GetKind()) ? ListMeaning(value, document.GetVersion()) : value;
            if (!base64) text = OneLineBreak(text);
            // Blanks in base64 data are no part of it.
            if (base64) text.erase(std::remove_if(text.begin(), text.end(), isspace), text.end());
            line += text;
        }
        // Data of kilobytes shows as its length and a hash, so that a difference reads.
        if (line.size() > 300) line = line.substr(0, 100) + "... " + std::to_string(line.size()) + " bytes #" +
                                      std::to_string(std::hash<std::string>()(line));
        lines.push_back(line);
        return true;
    });
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Converted, written and read back into next, which must be valid.
void ConvertAndReload(TestCard& card, CardVersion to, TestCard& next, ConversionReport& report)
{
    ASSERT_EQ(S_OK, ConvertCard(card.document, to, report));
    HRESULT result = S_OK;
    std::string written = card.Save(&result);
    ASSERT_EQ(S_OK, result) << card.Why();
    ASSERT_EQ(S_OK, next.Load(written)) << next.Why() << "\n" << written;
    EXPECT_EQ(to, next.document.GetVersion());
    EXPECT_TRUE(next.document.ValidateCard()) << next.Why() << "\n" << written;
    if (to != V40) return;
    // 4.0 text is UTF-8: no parameter says otherwise.
    next.document.ForEachProperty([&](const char*, const PropertyNode* property) {
        for (ParameterNode* p = property->GetParameters(); p != nullptr; p = p->GetNext()) {
            EXPECT_FALSE(IsEncodingParameter(p) || IsCharsetParameter(p)) << property->GetDisplayName() << "\n" << written;
        }
        return true;
    });
}

// Changes that a conversion back does not undo: the properties they name may differ
// after a round trip. Everything else must come back as it was.
void NoteIrreversible(const ConversionReport& report, std::set<std::string>& ignored, bool& nested, Renames& renames,
                      const ConversionReport* there = nullptr)
{
    for (const ConversionEntry& entry : report.entries) {
        switch (entry.change) {
        case Change::ValueRespelled:
            // A date in 4.0's basic form stays in it: 3.0 reads both forms.
            if (entry.property != "GEO") {
                ignored.insert(Upper(entry.property));
                ignored.insert("X-" + Upper(entry.property));  // 3.0's X-ANNIVERSARY
                break;
            }
            // A GEO the way there left alone (in no spelling of its version) may be taken
            // for the older spelling on the way back.
            if (there != nullptr && std::none_of(there->entries.begin(), there->entries.end(), [](const ConversionEntry& e) {
                    return e.change == Change::ValueRespelled;
                })) {
                ignored.insert("GEO");
            }
            break;
        case Change::PropertyRenamed: renames.push_back({Upper(entry.property), Upper(entry.detail)}); break;
        case Change::ParameterRenamed: renames.push_back({Upper(entry.parameter), Upper(entry.detail)}); break;
        case Change::PrefRankLost:
        case Change::TelUriToText:
        case Change::ParameterValueRespelled:
        case Change::ListCommaMerged:
        case Change::TextKeptAsRead:
        case Change::LabelParameterLost:
            ignored.insert(Upper(entry.property));
            break;
        case Change::FnMade: ignored.insert("FN"); break;
        case Change::NestedCardToText:
            nested = true;
            ignored.insert("AGENT");
            break;
        default: break;
        }
    }
}

std::vector<std::string> CorpusFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(CORPUS_DIR)) {
        if (entry.path().extension() == ".vcf") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Convert, EveryCorpusCardToEachVersionAndBack)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    int cards = 0, roundTrips = 0;
    for (const std::string& path : CorpusFiles()) {
        std::string bytes = ReadBytes(path);
        CardFile file;
        ASSERT_TRUE(file.Assign(bytes.data(), bytes.size()));
        for (size_t index = 0; index < file.CardCount(); ++index) {
            SCOPED_TRACE(path + " card " + std::to_string(index + 1));
            TestCard original;
            if (FAILED(file.ReadCard(index, original.document))) continue;  // refused: the corpus test says why
            ++cards;
            CardVersion own = original.document.GetVersion();
            bool valid = original.document.ValidateCard();
            for (CardVersion to : {V21, V30, V40}) {
                if (to == own && !valid) continue;  // nothing changes, nor becomes valid
                TestCard card, converted;
                ASSERT_EQ(S_OK, file.ReadCard(index, card.document));
                ConversionReport report;
                ConvertAndReload(card, to, converted, report);
                if (to == own || (own != V40 && to != V40)) continue;
                // There and back: 4.0 through each older version, an older one through 4.0.
                TestCard back;
                ConversionReport returned;
                ConvertAndReload(converted, own, back, returned);
                std::set<std::string> ignored;
                bool nested = false;
                Renames renames;
                NoteIrreversible(report, ignored, nested, renames);
                NoteIrreversible(returned, ignored, nested, renames, &report);
                std::vector<std::string> before = Meaning(original.document, ignored, nested, renames);
                std::vector<std::string> after = Meaning(back.document, ignored, nested);
                std::vector<std::string> lost, gained;
                std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(lost));
                std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(gained));
                EXPECT_TRUE(lost.empty() && gained.empty())
                    << VersionText(own) << " to " << VersionText(to) << " and back\n lost: " << ::testing::PrintToString(lost)
                    << "\n gained: " << ::testing::PrintToString(gained);
                ++roundTrips;
            }
        }
    }
    EXPECT_LE(90, cards);
    EXPECT_LE(2 * 20, roundTrips);
}

}  // namespace
