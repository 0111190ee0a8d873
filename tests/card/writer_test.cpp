// The writer and validation: cards made in memory, folding at exact byte positions, the
// escape-colon setting and the modified flags (how each line read is written back is in
// reader_test.cpp).
#include "card/format.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"
#include "tests/support/round_trip.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const char BEGIN[] = "BEGIN:VCARD\r\n";
const char END[] = "END:VCARD\r\n";

// The lines between BEGIN and END of the card read from lines and written again.
std::string Rewritten(std::initializer_list<const char*> lines, int escapeColon = -1)
{
    TestCard card;
    EXPECT_EQ(S_OK, card.Load(BEGIN + Lines(lines))) << card.Why();
    if (escapeColon >= 0) card.escapeColon = escapeColon;
    HRESULT result = S_OK;
    std::string text = card.Save(&result);
    EXPECT_EQ(S_OK, result);
    EXPECT_EQ(0u, text.rfind(BEGIN, 0));
    EXPECT_EQ(text.size() - strlen(END), text.rfind(END));
    return text.substr(strlen(BEGIN), text.size() - strlen(BEGIN) - strlen(END));
}

std::vector<std::string> PhysicalLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// ---------------------------------------------------------------- content lines

// What a save wrote obeys the round-trip law.
void ExpectRoundTrip(TestCard& card)
{
    std::string written = card.Save();
    EXPECT_EQ("", CheckRoundTrip(written.data(), written.size()).violation) << written;
}

TEST(Writer, CardMadeInMemoryIsWrittenAsItWillBeRead)
{
    // A property without values and a parameter without a value (read back as one absent
    // slot and an empty value), an empty group (not written), and line breaks in a value,
    // which stay in its line.
    TestCard card;
    PropertyNode* empty = (PropertyNode*)card.document.GetNode(card.document.AddOtherProperty(TVI_ROOT, "X-EMPTY"));
    empty->AppendParameter(new ParameterNode(ParameterKindType, nullptr))->Release();
    card.document.AddGroup("empty");
    HTREEITEM note = card.document.AddProperty(TVI_ROOT, FindPropertyKind("NOTE"));
    ((PropertyNode*)card.document.GetNode(note))->SetValue("first\nsecond\nthird: x", 0);
    EXPECT_EQ(BEGIN + Lines({"X-EMPTY;type=:", "NOTE:first\\nsecond\\nthird: x"}) + END, card.Save());
    TestCard again;
    ASSERT_EQ(S_OK, again.Load(card.Save()));
    EXPECT_EQ("- \"X-EMPTY\" ;\"type\"=\"\" :null\n- \"NOTE\" :\"first\\nsecond\\nthird: x\"\n", again.Dump());
}

// Deleting the named first value of a non-standard parameter: its further values keep
// their parameter instead of joining the one before, or being written without a name.
TEST(Writer, FurtherValuesKeepTheirNameWhenTheNamedValueIsDeleted)
{
    const struct { const char* line; int removed; const char* written; } rows[] = {
        {"TEL;X-A=1;X-B=2,3:x", 1, "TEL;X-A=1;X-B=3:x"},
        {"TEL;X-B=2,3,4:x", 0, "TEL;X-B=3,4:x"},
        {"TEL;X-B=2,3;TYPE=HOME:x", 0, "TEL;X-B=3;type=HOME:x"},
        {"TEL;X-A=1;X-B=2;X-C=3:x", 1, "TEL;X-A=1;X-C=3:x"},  // a named follower keeps its own
    };
    for (const auto& row : rows) {
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"VERSION:4.0", "FN:f", row.line}))) << card.Why();
        card.Property(2)->RemoveParameterAt(row.removed);
        EXPECT_EQ(BEGIN + Lines({"VERSION:4.0", "FN:f", row.written}) + END, card.Save()) << row.line;
    }
}

// ---------------------------------------------------------------- folding

TEST(Writer, FoldsAtExactBytePositions)
{
    // The lines read, and the lengths of the physical lines written (BEGIN and END left out).
    const struct { std::string lines; std::vector<size_t> physical; } rows[] = {
        {"NOTE:" + std::string(70, 'x'), {75}},
        {"NOTE:" + std::string(71, 'x'), {75, 2}},
        {"NOTE:" + std::string(145, 'x'), {75, 76}},
        {"NOTE:" + std::string(195, 'x'), {75, 76, 51}},
        // The group prefix counts on the first line of each property.
        {"work.NOTE:" + std::string(100, 'a') + "\r\nwork.NOTE:" + std::string(100, 'b'), {75, 36, 75, 36}},
        // A CR that would be the last byte of a line moves to the next: read back, it would
        // be taken for part of the line end.
        {"NOTE:" + std::string(69, 'x') + "\r" + std::string(10, 'y'), {74, 12}},
    };
    for (const auto& row : rows) {
        std::string text = BEGIN + row.lines + "\r\n";
        EXPECT_EQ("", CheckRoundTrip(text.data(), text.size()).violation) << row.lines;
        std::vector<std::string> lines = PhysicalLines(Rewritten({row.lines.c_str()}));
        std::vector<size_t> lengths;
        for (const std::string& line : lines) lengths.push_back(line.size());
        EXPECT_EQ(row.physical, lengths) << row.lines;
        for (size_t i = 1; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i][0] == ' ', lines[i].rfind("work.NOTE:", 0) != 0) << "a continuation starts with a blank";
        }
    }
}

// True when the piece ends in the first byte of a character whose rest is on the next
// physical line: a UTF-8 lead byte or the code page's lead byte.
bool EndsInsideACharacter(const std::string& piece, bool utf8)
{
    for (size_t i = 0; i < piece.size();) {
        unsigned char c = (unsigned char)piece[i];
        size_t width = utf8 ? (c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4) : (MbsIsLeadByte(c) ? 2 : 1);
        if (i + width > piece.size()) return true;
        i += width;
    }
    return false;
}

TEST(Writer, FoldsFallBetweenCharacters)
{
    const std::string greek = "\xCE\xB1";         // a 2-byte UTF-8 sequence
    const std::string bopomofo = "\xE3\x84\x85";  // 3 bytes
    const std::string emoji = "\xF0\x9F\x98\x80"; // 4 bytes
    const std::string hiragana = "\x82\xA0";      // one character in code page 932
    std::string mixed;
    std::string doubleBytes;
    for (int i = 0; i < 200; ++i) {
        mixed += i % 3 == 0 ? greek : i % 3 == 1 ? bopomofo : emoji;
        doubleBytes += hiragana;
    }
    struct {
        int codePage;
        std::string value;  // after "NOTE:", whose 5 bytes come first
        bool utf8;
        size_t firstLine;   // the bytes of the first physical line
    } rows[] = {
        {1252, std::string(69, 'x') + greek + greek, true, 74},
        {1252, std::string(68, 'x') + bopomofo + bopomofo, true, 73},
        {1252, std::string(67, 'x') + emoji + emoji, true, 72},
        {1252, std::string(70, 'x') + emoji, true, 75},
        {932, std::string(69, 'x') + hiragana + hiragana, false, 74},
        {932, std::string(70, 'x') + hiragana + hiragana, false, 75},
        // Not UTF-8 (a Latin-1 e acute): every byte is a character of code page 1252.
        {1252, std::string(69, 'x') + "\xE9\xE9", false, 75},
        {1252, "\xCE" + std::string(68, 'x') + greek + greek, false, 75},
        // In code page 65001 the sequences of a line that is not UTF-8 throughout stay whole.
        {CODE_PAGE_UTF8, "\xCE" + std::string(68, 'x') + greek + greek, true, 74},
        {CODE_PAGE_UTF8, "\xFF" + std::string(66, 'x') + emoji + emoji, true, 72},
        {1252, std::string(70, 'x') + mixed, true, 75},
        {932, "y" + doubleBytes, false, 74},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value.substr(0, 80));
        CodePageScope codePage(row.codePage);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({("NOTE:" + row.value).c_str()})));
        std::vector<std::string> lines = PhysicalLines(card.Save());
        ASSERT_LE(3u, lines.size());
        EXPECT_EQ(row.firstLine, lines[1].size());
        for (size_t i = 1; i + 1 < lines.size(); ++i) {
            std::string piece = i == 1 ? lines[i] : lines[i].substr(1);
            EXPECT_LE(piece.size(), 75u) << i;
            EXPECT_FALSE(EndsInsideACharacter(piece, row.utf8)) << i;
        }
        ExpectRoundTrip(card);
    }
}

TEST(Writer, GroupNameOfAnyLengthFoldsWithItsLine)
{
    // A name of 74 bytes or more left no room on the first line: the card loaded and
    // validated, and every save refused it. The prefix now folds like the rest.
    const std::string g73(73, 'g'), g74(74, 'g'), g100(100, 'g');
    struct {
        std::string line;
        std::vector<std::string> physical;
    } rows[] = {
        {g73 + ".FN:x", {g73 + ".F", " N:x"}},
        {g74 + ".FN:x", {g74 + ".", " FN:x"}},
        {g100 + ".FN:x", {g100.substr(0, 75), " " + g100.substr(75) + ".FN:x"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"VERSION:4.0", row.line.c_str()})));
        EXPECT_TRUE(card.document.ValidateCard()) << card.Why();
        std::vector<std::string> lines = PhysicalLines(card.Save());
        ASSERT_EQ(row.physical.size() + 3, lines.size());
        for (size_t i = 0; i < row.physical.size(); ++i) EXPECT_EQ(row.physical[i], lines[i + 2]);
        ExpectRoundTrip(card);
    }
}

TEST(Writer, ByteOrderMarkIsWrittenBackWhenTheFileHadOne)
{
    // Notepad saves UTF-8 with a mark; such a card was refused. The mark goes back where
    // it stood, and only there.
    const std::string card = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\xCE\xB1\r\nEND:VCARD\r\n";
    for (const std::string& text : {"\xEF\xBB\xBF" + card, card, "\xEF\xBB\xBF\r\n" + card}) {
        SCOPED_TRACE(text);
        TestCard loaded;
        ASSERT_EQ(S_OK, loaded.Load(text)) << loaded.Why();
        bool marked = text[0] == '\xEF';
        EXPECT_EQ(marked, loaded.document.HasByteOrderMark());
        std::string written = loaded.Save();
        EXPECT_EQ(marked ? "\xEF\xBB\xBF" + card : card, written);
        TestCard again;
        ASSERT_EQ(S_OK, again.Load(written));
        EXPECT_EQ(written, again.Save());
    }
}

TEST(Writer, EscapeColonSettingDecidesColonsInText)
{
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 0));
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c\\:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 1));
    // Lists keep the file's spelling, but for the colon, which the setting decides.
    EXPECT_EQ(Lines({"N:a\\Nb\\q\\;\\\\;\\:"}), Rewritten({"N:a\\Nb\\q\\;\\\\;\\:"}));
    EXPECT_EQ(Lines({"N:a:b"}), Rewritten({"N:a\\:b"}, 0));
}

// ---------------------------------------------------------------- state

TEST(Writer, WritingClearsNodeFlagsButNotTheStructureFlag)
{
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"VERSION:4.0", "TEL;TYPE=HOME;PREF=1:1"})));
    PropertyNode* tel = card.Property(1);
    tel->GetParameterAt(1)->SetValue("2");
    tel->SetValue("2", 0);
    card.document.AddProperty(TVI_ROOT, PropertyKindFn);
    EXPECT_TRUE(tel->IsModified());
    card.Save();
    EXPECT_FALSE(tel->IsModified());
    EXPECT_EQ(0, card.document.IsAnyNodeModified());
    EXPECT_TRUE(card.document.IsModified()) << "the writer leaves the structure flag";
}

// ---------------------------------------------------------------- validation

TEST(Validation, VersionFirstAndFnPresent)
{
    using Kind = RefusalKind;
    struct {
        const char* card;
        Kind refusal;
    } rows[] = {
        {"", Kind::VersionAndFnMissing},
        {"g.VERSION:4.0\r\nFN:x\r\n", Kind::VersionNotFirst},
        {"FN:x\r\nVERSION:4.0\r\n", Kind::None},  // the reader puts VERSION first
        {"VERSION:2.1\r\nNOTE:x\r\n", Kind::None},  // FN is optional in 2.1
        {"VERSION:3.0\r\nNOTE:x\r\n", Kind::FnMissing},
        {"VERSION:4.0\r\nNOTE:x\r\n", Kind::FnMissing},
        {"VERSION:4.0\r\n", Kind::FnMissing},
        {"VERSION:4.0\r\nFN:x\r\n", Kind::None},
        {"VERSION:4.0\r\nwork.FN:x\r\n", Kind::None},
        {"VERSION:4.0\r\nVERSION:3.0\r\nFN:x\r\nFN:y\r\n", Kind::None},
    };
    for (const auto& row : rows) {
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(BEGIN + std::string(row.card)));
        EXPECT_EQ(row.refusal == Kind::None, card.document.ValidateCard()) << row.card;
        EXPECT_EQ(row.refusal, card.document.LastRefusal().kind) << row.card;
    }
}

}  // namespace
