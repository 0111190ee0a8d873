// Real card files from other programs and from the standards: each one either loads, or
// is refused with the result and refusal the reader defines. Every file that loads is
// written again unchanged in meaning, and its written form is a fixed point.
#include "card/card_file.h"
#include "card/format.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <string>

namespace {

std::string CorpusPath(const std::string& name)
{
    return std::string(CORPUS_DIR) + "/" + name;
}

using Kind = RefusalKind;

struct Refused {
    HRESULT result;
    Kind kind;
    int line;
    const char* first;  // how the refusal's first text begins
    const char* why;
};

// Files the reader refuses, and why: vCard 2.1 parameters without a name ("TEL;WORK:"),
// quoted-printable soft line breaks (a line that continues without a leading blank), and
// UTF-16 are not vCard 4.0 and are refused.
const std::map<std::string, Refused> refusals = {
    {"android-v21-backslash-line-continuation.vcf", {E_INVALIDARG, Kind::InvalidParameter, 4, "HOME", "2.1 bare TYPE"}},
    {"android-v21-comment-lines-in-qp.vcf", {E_FAIL, Kind::MissingColon, 5, "# This line", "a comment line has no ':'"}},
    {"android-v21-complicated-qp-fold.vcf", {E_INVALIDARG, Kind::InvalidParameter, 8, "WORK", "2.1 bare TYPE"}},
    {"android-v21-mixed-case-x-params.vcf", {E_INVALIDARG, Kind::InvalidParameter, 3, "X-custom", "2.1 bare parameter"}},
    {"android-v21-shift-jis-three-cards.vcf", {E_INVALIDARG, Kind::InvalidParameter, 3, "X-IRMC-N", "2.1 bare parameter"}},
    {"android-v21-six-cards-qp-utf8.vcf", {E_INVALIDARG, Kind::InvalidParameter, 2, "PREF", "2.1 bare PREF"}},
    {"apple-addressbook-mixed-eol-base64.vcf", {E_INVALIDARG, Kind::InvalidParameter, 26, "BASE64", "2.1 bare BASE64"}},
    {"begin-with-trailing-space.vcf", {E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD", "blank after BEGIN:VCARD"}},
    {"evolution-evil-escapes-tab-fold.vcf", {E_INVALIDARG, Kind::InvalidParameter, 10, "HOME", "2.1 bare TYPE"}},
    {"evolution-truncated-mid-name.vcf", {E_FAIL, Kind::MissingColon, 7, "E", "cut off inside a name"}},
    {"evolution-v21-qp-cjk-bare-params.vcf", {E_INVALIDARG, Kind::InvalidParameter, 2, "QUOTED-PRINTABLE", "2.1 bare ENCODING"}},
    {"kde-v21-five-cards-qp-soft-breaks.vcf", {E_INVALIDARG, Kind::InvalidParameter, 3, "WORK", "2.1 bare TYPE"}},
    {"lowercase-v21-empty-values.vcf", {E_INVALIDARG, Kind::InvalidParameter, 6, "home", "2.1 bare TYPE"}},
    {"no-version-fn-without-colon.vcf", {E_FAIL, Kind::MissingColon, 2, "FN", "a line without ':'"}},
    {"outlook-2003-v21-qp-x509-key.vcf", {E_FAIL, Kind::MissingColon, 8, "=0A", "quoted-printable soft break"}},
    {"outlook-2003-value-url-latin1-qp.vcf", {E_INVALIDARG, Kind::InvalidParameter, 8, "WORK", "2.1 bare TYPE"}},
    {"outlook-2007-v21-qp-xml-design.vcf", {E_FAIL, Kind::MissingColon, 8, "I assume", "quoted-printable soft break"}},
    {"outlook-v21-bare-params-qp-label.vcf", {E_FAIL, Kind::MissingColon, 8, "=A4", "quoted-printable soft break"}},
    {"outlook-v21-cp1252-8bit-label.vcf", {E_INVALIDARG, Kind::InvalidParameter, 6, "WORK", "2.1 bare TYPE"}},
    {"utf16le-bom-two-cards.vcf", {E_FAIL, Kind::Utf16, 0, "", "UTF-16"}},
    {"utf8-bom-greek-cp1253-qp-label.vcf", {E_INVALIDARG, Kind::InvalidParameter, 5, "QUOTED-PRINTABLE", "past the byte-order mark, 2.1 bare ENCODING"}},
    {"v21-qp-soft-break-after-colon.vcf", {E_FAIL, Kind::MissingColon, 3, "Br=C3=BCning", "quoted-printable soft break"}},
};

// Files that load but that a save refuses, with the validation's refusal.
const std::map<std::string, Kind> invalidCards = {
    {"empty-utf8-bom-only.vcf", Kind::VersionAndFnMissing},
    {"android-v21-nested-vcards.vcf", Kind::FnMissing},
    {"kde-uppercase-N-newline-escape.vcf", Kind::VersionNotFirst},
    {"kde-v30-logo-photo-sound-binary.vcf", Kind::VersionNotFirst},
    {"v30-fold-splits-utf8-char.vcf", Kind::VersionNotFirst},
    {"v30-quoted-type-colon-comma-dot.vcf", Kind::FnMissing},
};

std::vector<std::string> CorpusFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(CORPUS_DIR)) {
        if (entry.path().extension() == ".vcf") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Corpus, RefusedFilesSayWhy)
{
    for (const auto& refused : refusals) {
        SCOPED_TRACE(refused.first + " (" + refused.second.why + ")");
        TestCard card;
        EXPECT_EQ(refused.second.result, card.Load(ReadBytes(CorpusPath(refused.first))));
        const Refusal& refusal = card.document.LastRefusal();
        EXPECT_EQ(refused.second.kind, refusal.kind) << card.Why();
        EXPECT_EQ(refused.second.line, refusal.line);
        EXPECT_EQ(0u, std::string(refusal.texts[0]).rfind(refused.second.first, 0)) << refusal.texts[0];
    }
}

int LinesEqualTo(const std::string& file, const std::string& line)
{
    int count = 0;
    for (size_t at = 0; (at = file.find(line + "\r\n", at)) != std::string::npos; at += line.size()) {
        if (at == 0 || file[at - 1] == '\n' || file.compare(0, at, "\xEF\xBB\xBF") == 0) ++count;
    }
    return count;
}

TEST(Corpus, LoadedFilesSurviveASaveAndALoad)
{
    int loaded = 0;
    for (const std::string& name : CorpusFiles()) {
        if (refusals.count(name) != 0) continue;
        SCOPED_TRACE(name);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(ReadBytes(CorpusPath(name)))) << card.Why();
        ++loaded;
        EXPECT_EQ(0, card.document.IsModified());

        auto invalid = invalidCards.find(name);
        EXPECT_EQ(invalid == invalidCards.end(), card.document.ValidateCard());
        Kind expected = invalid != invalidCards.end() ? invalid->second : Kind::None;
        EXPECT_EQ(expected, card.document.LastRefusal().kind);

        // Written, read back and written again: the same card and the same bytes. The
        // dump already shows the normalisations a save makes (names in table spelling,
        // one node per parameter value, no empty groups), so it must match exactly.
        HRESULT result = S_OK;
        std::string written = card.Save(&result);
        ASSERT_EQ(S_OK, result);
        TestCard again;
        ASSERT_EQ(S_OK, again.Load(written)) << again.Why();
        EXPECT_EQ(card.Dump(), again.Dump());
        EXPECT_EQ(card.escapeColon, again.escapeColon);
        EXPECT_TRUE(written == again.Save());
        // Every card opened is closed again, those inside the card (vCard 2.1's AGENT) too:
        // an inner closing line lost turns the cards after it into part of this one. (Read
        // whole, a file of several cards is one card that opens the others.)
        CardFile cards;
        std::string original = ReadBytes(CorpusPath(name));
        ASSERT_TRUE(cards.Assign(original.data(), original.size()));
        if (cards.CardCount() == 1) {
            EXPECT_EQ(LinesEqualTo(written, "BEGIN:VCARD"), LinesEqualTo(written, "END:VCARD"));
        }
    }
    EXPECT_EQ(38, loaded);
}

// The values of the N, ADR, CATEGORIES and NICKNAME lines of a card file, as written:
// lines unfolded, each value the text after the first ':' outside double quotes.
std::vector<std::string> ListValuesAsWritten(const std::string& file)
{
    std::vector<std::string> lines;
    std::istringstream stream(file);
    for (std::string line; std::getline(stream, line);) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
    }
    std::vector<std::string> values;
    for (const std::string& line : lines) {
        size_t colon = 0;
        for (bool quoted = false; colon < line.size() && (quoted || line[colon] != ':'); ++colon) {
            quoted ^= line[colon] == '"';
        }
        std::string name = line.substr(0, std::min(colon, line.find(';')));
        name = name.substr(name.find('.') + 1);
        for (char& c : name) c = (char)toupper((unsigned char)c);
        if (colon < line.size() && IsListValued(FindPropertyKind(name.c_str()))) values.push_back(line.substr(colon + 1));
    }
    std::sort(values.begin(), values.end());
    return values;
}

TEST(Corpus, ListValuesAreWrittenBackByteForByte)
{
    // "Flat 404\\, 100 Main RD" (one street with a comma) came back as two streets.
    int withLists = 0;
    for (const std::string& name : CorpusFiles()) {
        if (refusals.count(name) != 0) continue;
        SCOPED_TRACE(name);
        std::string original = ReadBytes(CorpusPath(name));
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(original));
        std::vector<std::string> before = ListValuesAsWritten(original);
        withLists += !before.empty();
        EXPECT_EQ(before, ListValuesAsWritten(card.Save()));
    }
    EXPECT_LE(20, withLists);
}

}  // namespace
