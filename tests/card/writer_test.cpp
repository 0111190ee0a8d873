// The writer and validation: content lines, parameter runs, escaping and quoting,
// folding at exact byte positions, and cards that come back whole after a save and a load.
#include "card/format.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"

#include <gtest/gtest.h>
#include <sstream>
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

// A card written, read back and written again: the dumps and the bytes must agree.
void ExpectRoundTrip(TestCard& card)
{
    std::string before = card.Dump();
    int escapeColon = card.escapeColon;
    HRESULT result = S_OK;
    std::string written = card.Save(&result);
    ASSERT_EQ(S_OK, result);
    TestCard again;
    ASSERT_EQ(S_OK, again.Load(written)) << again.Why() << "\n" << written;
    EXPECT_EQ(before, again.Dump()) << written;
    again.escapeColon = escapeColon;
    EXPECT_EQ(written, again.Save());
}

// ---------------------------------------------------------------- content lines

TEST(Writer, NamesInTableSpellingAndParameterRuns)
{
    EXPECT_EQ(Lines({"TEL;type=home:1"}), Rewritten({"tel;TYPE=home:1"}));
    EXPECT_EQ(Lines({"TEL;type=HOME,CELL;pref=1;type=WORK:1"}),
              Rewritten({"TEL;TYPE=HOME;type=CELL;PREF=1;TYPE=WORK:1"}));
    // Other parameters: one run per name; a list read under one name is written as one.
    EXPECT_EQ(Lines({"X-P;X-A=1;X-B=2;X-Q=a,b:v"}), Rewritten({"X-P;X-A=1;X-B=2;X-Q=a,b:v"}));
    EXPECT_EQ(Lines({"X-P;X-A=1;X-A=2:v"}), Rewritten({"X-P;X-A=1;X-A=2:v"}));
}

TEST(Writer, ValueSlotsAndAbsentValues)
{
    EXPECT_EQ(Lines({"N:Family;Given;;;"}), Rewritten({"N:Family;Given;;;"}));
    EXPECT_EQ(Lines({"FN:"}), Rewritten({"FN:"}));
    EXPECT_EQ(Lines({"ADR:;;Main St\\;5;Town"}), Rewritten({"ADR:;;Main St\\;5;Town"}));
}

TEST(Writer, PropertyWithoutValuesAndParameterWithoutValueStillRead)
{
    TestCard card;
    HTREEITEM item = card.document.AddOtherProperty(TVI_ROOT, "X-EMPTY");
    PropertyNode* property = (PropertyNode*)card.document.GetNode(item);
    ParameterNode* parameter = new ParameterNode(ParameterKindType, nullptr);
    property->AppendParameter(parameter);
    parameter->Release();
    EXPECT_EQ(BEGIN + Lines({"X-EMPTY;type=:"}) + END, card.Save());

    TestCard again;
    ASSERT_EQ(S_OK, again.Load(card.Save()));
    EXPECT_EQ("- \"X-EMPTY\" ;\"type\"=\"\" :null\n", again.Dump());
}

TEST(Writer, TextEscapes)
{
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 0));
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c\\:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 1));
    EXPECT_EQ(Lines({"NOTE:C:\\\\new\\nline"}), Rewritten({"NOTE:C:\\\\new\\Nline"}));
    EXPECT_EQ(Lines({"NOTE:\\\\q"}), Rewritten({"NOTE:\\q"}));
}

TEST(Writer, UrisAndListsKeepTheirMeaning)
{
    EXPECT_EQ(Lines({"PHOTO:data:image/jpeg;base64,AB\\,C"}), Rewritten({"PHOTO:data:image/jpeg;base64,AB\\,C"}));
    EXPECT_EQ(Lines({"TEL;value=uri:tel:+1-555-0100;ext=102"}),
              Rewritten({"TEL;VALUE=uri:tel:+1-555-0100;ext=102"}));
    EXPECT_EQ(Lines({"N:Perreault;Simon;;;ing. jr,M.Sc."}), Rewritten({"N:Perreault;Simon;;;ing. jr,M.Sc."}));
    EXPECT_EQ(Lines({"CATEGORIES:friends,work"}), Rewritten({"CATEGORIES:friends,work"}));
    EXPECT_EQ(Lines({"NICKNAME:a\\,b"}), Rewritten({"NICKNAME:a\\,b"}));
    EXPECT_EQ(Lines({"N:a\\Nb\\q\\;\\\\;\\:"}), Rewritten({"N:a\\Nb\\q\\;\\\\;\\:"}));
    EXPECT_EQ(Lines({"N:a:b"}), Rewritten({"N:a\\:b"}, 0));
    EXPECT_EQ(Lines({"ORG:a\\,b"}), Rewritten({"ORG:a\\,b"}));
}

TEST(Writer, ParameterValuesAreQuotedAndCaretEncoded)
{
    EXPECT_EQ(Lines({"ADR;geo=\"geo:12.3,45.6\":;;Main"}), Rewritten({"ADR;GEO=\"geo:12.3,45.6\":;;Main"}));
    EXPECT_EQ(Lines({"TEL;type=\"voice,home\":1"}), Rewritten({"TEL;TYPE=\"voice,home\":1"}));
    EXPECT_EQ(Lines({"X;P=a^'b^nc^^:v"}), Rewritten({"X;P=a\"b^nc^^:v"}));
    EXPECT_EQ(Lines({"X;P=\"a:b\":v"}), Rewritten({"X;P=a\\:b:v"}));
}

TEST(Writer, EmptyGroupsAreNotWritten)
{
    TestCard card;
    card.document.AddProperty(TVI_ROOT, PropertyKindVersion);
    HTREEITEM fn = card.document.AddProperty(TVI_ROOT, PropertyKindFn);
    ((PropertyNode*)card.document.GetNode(fn))->SetValue("x", 0);
    card.document.AddGroup("empty");
    EXPECT_EQ(BEGIN + Lines({"VERSION:4.0", "FN:x"}) + END, card.Save());
}

TEST(Writer, LineBreakInAValueStaysInItsLine)
{
    TestCard card;
    HTREEITEM note = card.document.AddProperty(TVI_ROOT, FindPropertyKind("NOTE"));
    ((PropertyNode*)card.document.GetNode(note))->SetValue("first\nsecond\nthird: x", 0);
    std::string written = card.Save();
    EXPECT_EQ(BEGIN + Lines({"NOTE:first\\nsecond\\nthird: x"}) + END, written);
    ExpectRoundTrip(card);
}

// ---------------------------------------------------------------- folding

TEST(Writer, FoldsAtExactBytePositions)
{
    struct {
        size_t logical;
        std::vector<size_t> physical;
    } rows[] = {
        {75, {75}},
        {76, {75, 2}},
        {200, {75, 76, 51}},
        {150, {75, 76}},
    };
    for (const auto& row : rows) {
        std::string line = "NOTE:" + std::string(row.logical - 5, 'x');
        std::string written = Rewritten({line.c_str()});
        std::vector<std::string> lines = PhysicalLines(written);
        ASSERT_EQ(row.physical.size(), lines.size()) << row.logical;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(row.physical[i], lines[i].size()) << row.logical << " line " << i;
            if (i > 0) {
                EXPECT_EQ(' ', lines[i][0]);
            }
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

TEST(Writer, GroupPrefixCountsOnTheFirstLineOfEachProperty)
{
    std::ostringstream card;
    for (int i = 0; i < 20; ++i) card << "work.NOTE:" << std::string(100, (char)('a' + i)) << "\r\n";
    TestCard loaded;
    ASSERT_EQ(S_OK, loaded.Load(BEGIN + card.str()));
    std::vector<std::string> lines = PhysicalLines(loaded.Save());
    // BEGIN, then 20 properties of two physical lines each: "work." + 70 bytes, then 35.
    ASSERT_EQ(42u, lines.size());
    for (int i = 0; i < 20; ++i) {
        const std::string& first = lines[(size_t)(1 + 2 * i)];
        EXPECT_EQ(75u, first.size()) << i;
        EXPECT_EQ(0u, first.find("work.NOTE:")) << i;
        EXPECT_EQ(" " + std::string(35, (char)('a' + i)), lines[(size_t)(2 + 2 * i)]) << i;
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

TEST(Writer, CutNeverLeavesACarriageReturnAtALineEnd)
{
    // The 75th byte of the logical line is a CR inside the value: the reader would strip
    // it as part of the line end, so the cut moves before it.
    std::string value = std::string(69, 'x') + "\r" + std::string(10, 'y');
    TestCard card;
    HTREEITEM note = card.document.AddProperty(TVI_ROOT, FindPropertyKind("NOTE"));
    ((PropertyNode*)card.document.GetNode(note))->SetValue(value.c_str(), 0);
    std::vector<std::string> lines = PhysicalLines(card.Save());
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(74u, lines[1].size());
    EXPECT_NE('\r', lines[1].back());
    ExpectRoundTrip(card);
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

// ---------------------------------------------------------------- state

TEST(Writer, WritingClearsNodeFlagsButNotTheStructureFlag)
{
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"VERSION:4.0", "TEL;TYPE=HOME;PREF=1:1"})));
    PropertyNode* tel = card.Property(1);
    tel->GetParameterAt(1)->SetValue("2");
    tel->SetValue("2", 0);
    card.document.AddProperty(TVI_ROOT, PropertyKindFn);
    EXPECT_EQ(1, tel->IsModified());
    card.Save();
    EXPECT_EQ(0, tel->IsModified());
    EXPECT_EQ(0, card.document.IsAnyNodeModified(TVI_ROOT));
    EXPECT_EQ(1, card.document.IsModified()) << "the writer leaves the structure flag";
}

TEST(Writer, FailingStreamStopsTheWrite)
{
    class FailingOutput : public CardOutput {
    public:
        explicit FailingOutput(int allowed) : left(allowed) {}
        HRESULT Write(const char*, size_t) override { return left-- > 0 ? S_OK : ResultFromWin32(112); }
        int left;
    };
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"VERSION:4.0", "FN:x", "g.NOTE:y"})));
    for (int allowed = 0; allowed < 12; ++allowed) {
        FailingOutput output(allowed);
        HRESULT result = card.document.WriteCard(output);
        if (output.left >= 0) {
            EXPECT_EQ(S_OK, result) << allowed;
        } else {
            EXPECT_EQ(ResultFromWin32(112), result) << allowed;
        }
    }
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
        {"FN:x\r\nVERSION:4.0\r\n", Kind::VersionNotFirst},
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

// ---------------------------------------------------------------- round trips

TEST(RoundTrip, CardsComeBackWhole)
{
    const char* cards[] = {
        "NOTE:a\\,b\\;c\\:d\\\\e\\nf\\qg\r\n",
        ";b.c:dotted name at the root\r\n",
        "g.b.c:dotted name in a group\r\n",
        ";END:VCARD\r\n",
        "; X:name starting with a blank\r\n",
        "X\\;;P=1:name ending in a backslash\r\n",
        "X\\;:name ending in a backslash without parameters\r\n",
        "X-A\\:B:colon in a name\r\n",
        "a\\:b.X:colon in a group\r\n",
        "X;P=\"a;b\",c\\,\"d:e\";Q=f\\:g:v\r\n",
        "X;P=a\\;Q=\"b\\\":v\r\n",
        ";P=\"a\":quotes in a name are ordinary characters\r\n",
        "X;P=^^^'^n^x:carets\r\n",
        "PHOTO:data:a;b,c\\,d\\n\r\n",
        "N:a,b;c\\,d;;;\r\n",
        "NOTE:\\\\\r\n",
        "NOTE:a\\\\;\\\\b\r\n",
        "X-EMPTY:\r\n",
        "X:;;\r\n",
        ".X:empty group name\r\n",
        "BEGIN:VCARD\r\n",
    };
    for (const char* text : cards) {
        SCOPED_TRACE(text);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(BEGIN + std::string(text))) << card.Why();
        ExpectRoundTrip(card);
    }
}

TEST(RoundTrip, EscapeColonSurvivesOnlyWithAColon)
{
    TestCard withColon;
    ASSERT_EQ(S_OK, withColon.Load(BEGIN + Lines({"NOTE:a\\:b"})));
    ASSERT_EQ(1, withColon.escapeColon);
    TestCard again;
    ASSERT_EQ(S_OK, again.Load(withColon.Save()));
    EXPECT_EQ(1, again.escapeColon);

    TestCard withoutColon;
    withoutColon.escapeColon = 1;
    ASSERT_EQ(S_OK, withoutColon.Load(BEGIN + Lines({"NOTE:ab"})));
    withoutColon.escapeColon = 1;
    TestCard reloaded;
    ASSERT_EQ(S_OK, reloaded.Load(withoutColon.Save()));
    EXPECT_EQ(0, reloaded.escapeColon);
}

}  // namespace
