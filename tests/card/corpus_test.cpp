// Real card files from other programs and from the standards: each one either loads, or
// is refused with the result and refusal the reader defines. Every file that loads is
// written again unchanged in meaning, and its written form is a fixed point.
#include "card/card_file.h"
#include "card/charset.h"
#include "card/content_lines.h"
#include "card/format.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"
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

// Files the reader refuses, and why: lines that are not content lines (Android's comment
// lines and its backslash at a line's end, a file cut off inside a name, a line without
// its colon).
const std::map<std::string, Refused> refusals = {
    {"android-v21-backslash-line-continuation.vcf", {E_FAIL, Kind::MissingColon, 6, "9999999", "a backslash continues a line"}},
    {"android-v21-comment-lines-in-qp.vcf", {E_FAIL, Kind::MissingColon, 5, "# This line", "a comment line has no ':'"}},
    {"evolution-truncated-mid-name.vcf", {E_FAIL, Kind::MissingColon, 7, "E", "cut off inside a name"}},
    {"no-version-fn-without-colon.vcf", {E_FAIL, Kind::MissingColon, 2, "FN", "a line without ':'"}},
};

// Files that load but that a save refuses, with the validation's refusal.
const std::map<std::string, Kind> invalidCards = {
    {"empty-utf8-bom-only.vcf", Kind::VersionAndFnMissing},
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
    // The editor's own code page, which every character of every file fits.
    CodePageScope utf8(CODE_PAGE_UTF8);
    int loaded = 0;
    for (const std::string& name : CorpusFiles()) {
        if (refusals.count(name) != 0) continue;
        SCOPED_TRACE(name);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(ReadBytes(CorpusPath(name)))) << card.Why();
        ++loaded;
        EXPECT_FALSE(card.document.IsModified());

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
    EXPECT_EQ(56, loaded);
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
        // A quoted-printable value is written in an encoding of its own, compared elsewhere.
        bool quotedPrintable = EncodingsOfHead(line.data(), colon).quotedPrintable;
        if (colon < line.size() && IsListValued(FindPropertyKind(name.c_str())) && !quotedPrintable) {
            values.push_back(line.substr(colon + 1));
        }
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
        if (StartsAsUtf16(original.data(), original.size())) continue;  // written as UTF-8
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(original));
        std::vector<std::string> before = ListValuesAsWritten(original);
        withLists += !before.empty();
        EXPECT_EQ(before, ListValuesAsWritten(card.Save()));
    }
    EXPECT_LE(20, withLists);
}

}  // namespace
