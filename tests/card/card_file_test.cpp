// The cards of a file: which blocks are cards, their names for the picker, and a save of
// one card that leaves every other byte of the file where it was.
#include "card/card_file.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string Name(const CardFile& file, size_t index)
{
    char name[64];
    file.CardName(index, name, sizeof name);
    return name;
}

std::string CardBytes(const CardFile& file, size_t index)
{
    const CardSpan& card = file.Card(index);
    return std::string(file.Bytes() + card.begin, card.end - card.begin);
}

// Everything a scan must tell apart: a byte-order mark, text before and between cards,
// folded opening, closing and name lines, LF and CR LF, a card inside an AGENT property,
// N without FN, neither, a lower-case card, a name past a group, and a last card that is
// never closed.
const std::string MIXED =
    "\xEF\xBB\xBFjunk before\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN;LANGUAGE=en:Ann\\, the\r\n  \"first\\\"\r\nEND:VC\r\n ARD\r\n"
    "\r\n\r\n"
    "BEGIN:VCARD\nVERSION:2.1\nAGENT:\nBEGIN:VCARD\nFN:Inner\nEND:VCARD\nN:Doe;John;Q.;Dr.;Jr.,MD\nEND:VCARD\n"
    "begin:vcard\r\nN:Solo\r\nend:vcard\r\n"
    "B\r\n EGIN:VCARD\r\nTEL:1\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nN:Wrong;Name\r\nitem1.fn:Grouped\r\n"
    "END:VCARD trailing\r\nTEL:2\r\n";

TEST(CardFile, FindsTopLevelCardsWithTheirLinesAndNames)
{
    CardFile file;
    ASSERT_TRUE(file.Assign(MIXED.data(), MIXED.size()));
    ASSERT_EQ(5u, file.CardCount());
    EXPECT_EQ("\xEF\xBB\xBFjunk before\r\n", std::string(file.Bytes(), file.Card(0).begin));
    EXPECT_EQ("\r\n\r\n", std::string(file.Bytes() + file.Card(0).end, file.Card(1).begin - file.Card(0).end));
    EXPECT_EQ(std::string::npos, CardBytes(file, 0).find("BEGIN:VCARD\nVERSION:2.1"));
    EXPECT_EQ('\n', CardBytes(file, 0).back());  // the folded closing line with its fold

    int lines[][2] = {{2, 7}, {10, 17}, {18, 20}, {21, 24}, {25, 29}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i][0], file.Card(i).firstLine) << i;
        EXPECT_EQ(lines[i][1], file.Card(i).lastLine) << i;
    }
    EXPECT_EQ("Ann, the \"first\"", Name(file, 0));
    EXPECT_EQ("Dr. John Q. Doe Jr. MD", Name(file, 1));  // not the inner card's FN
    EXPECT_EQ("Solo", Name(file, 2));
    EXPECT_EQ("", Name(file, 3));
    EXPECT_EQ("Grouped", Name(file, 4));  // FN wins over an earlier N
    EXPECT_EQ(MIXED.size(), file.Card(4).end);  // never closed: "END:VCARD trailing" closes nothing

    // The same count when the bytes come in pieces that cut lines anywhere.
    for (size_t step : {1u, 2u, 7u, 64u}) {
        TrickleInput input(MIXED, step);
        EXPECT_EQ(5, CountCards(input, 100)) << step;
    }
    TrickleInput limited(MIXED, 3);
    EXPECT_EQ(2, CountCards(limited, 2));
}

TEST(CardFile, FilesOfOneCardOrNone)
{
    CardFile file;
    for (const char* text : {"", "\xFF\xFE" "B\0E\0", "BEGIN:VCARDS\r\nFN:x\r\nEND:VCARD\r\n", "FN:x\r\n END:VCARD"}) {
        ASSERT_TRUE(file.Assign(text, strlen(text)));
        EXPECT_EQ(0u, file.CardCount()) << text;
    }
    // A long line is looked at by its head only, and a long FN still names the card.
    std::string longName(5000, 'x');
    std::string text = "BEGIN:VCARD\r\nNOTE:" + std::string(100000, 'n') + "\r\nFN:" + longName + "\r\nEND:VCARD\r\n";
    ASSERT_TRUE(file.Assign(text.data(), text.size()));
    ASSERT_EQ(1u, file.CardCount());
    EXPECT_EQ(std::string(63, 'x'), Name(file, 0));
    TrickleInput input(text, 1000);
    EXPECT_EQ(1, CountCards(input, 2));
}

// Rewrites card index of the file with its FN changed (or unchanged), and checks that
// every other byte stays and that the edited card reads back as edited.
void CheckSaveOfOneCard(const std::string& original, size_t index, const char* newName)
{
    CardFile file;
    ASSERT_TRUE(file.Assign(original.data(), original.size()));
    TestCard card;
    ASSERT_EQ(S_OK, file.ReadCard(index, card.document)) << card.Why();
    if (newName != nullptr) {
        bool changed = false;
        card.document.ForEachProperty([&](const char*, const PropertyNode* property) {
            if (property->GetKind() != PropertyKindFn) return true;
            changed = SUCCEEDED(((PropertyNode*)property)->SetValue(newName, 0));
            return false;
        });
        ASSERT_TRUE(changed);
    }
    MemoryOutput output;
    ASSERT_EQ(S_OK, file.WriteWithCard(index, card.document, output));

    const CardSpan& span = file.Card(index);
    std::string& saved = output.text;
    size_t tail = original.size() - span.end;
    ASSERT_GE(saved.size(), span.begin + tail);
    EXPECT_TRUE(saved.compare(0, span.begin, original, 0, span.begin) == 0);
    EXPECT_TRUE(saved.compare(saved.size() - tail, tail, original, span.end, tail) == 0);

    CardFile again;
    ASSERT_TRUE(again.Assign(saved.data(), saved.size()));
    ASSERT_EQ(file.CardCount(), again.CardCount());
    TestCard reread;
    ASSERT_EQ(S_OK, again.ReadCard(index, reread.document));
    EXPECT_EQ(card.Dump(), reread.Dump());
    if (newName != nullptr) {
        EXPECT_EQ(newName, Name(again, index));
    }
}

TEST(CardFile, MultiCardCorpusFilesKeepEveryOtherCard)
{
    const char* files[] = {"macos-addressbook-30-cards-latin1.vcf", "rfc2426-examples-two-cards.vcf",
                           "thunderbird-v4-export-tab-cr-in-values.vcf", "v30-empty-ablabels-two-cards.vcf",
                           "v40-two-cards-umlauts-uppercase-group.vcf"};
    size_t counts[] = {30, 2, 2, 2, 2};
    for (size_t f = 0; f < 5; ++f) {
        SCOPED_TRACE(files[f]);
        std::string original = ReadBytes(std::string(CORPUS_DIR) + "/" + files[f]);
        CardFile file;
        ASSERT_TRUE(file.Assign(original.data(), original.size()));
        ASSERT_EQ(counts[f], file.CardCount());
        for (size_t index = 0; index < file.CardCount(); ++index) {
            SCOPED_TRACE(index);
            CheckSaveOfOneCard(original, index, nullptr);
        }

        CheckSaveOfOneCard(original, file.CardCount() - 1, "Edited, Name");
    }
    // The nested card of AGENT stays inside the one card around it.
    CardFile nested;
    std::string text = ReadBytes(std::string(CORPUS_DIR) + "/android-v21-nested-vcards.vcf");
    ASSERT_TRUE(nested.Assign(text.data(), text.size()));
    EXPECT_EQ(1u, nested.CardCount());
}

}  // namespace
