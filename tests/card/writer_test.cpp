// The writer and validation: cards made in memory, folding at exact byte positions, the
// escape-colon setting and the modified flags (how each line read is written back is in
// reader_test.cpp).
#include "card/format.h"
#include "card/io.h"
#include "tests/support/card_text.h"
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

TEST(Writer, GroupNameTooLongForTheFirstLine)
{
    // 73 bytes of name and the '.' leave one byte of the property on the first line.
    std::string ok = std::string(73, 'g') + ".FN:x";
    std::vector<std::string> lines = PhysicalLines(Rewritten({ok.c_str()}));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string(73, 'g') + ".F", lines[0]);
    EXPECT_EQ(" N:x", lines[1]);

    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + std::string(74, 'g') + ".FN:x\r\n"));
    HRESULT result = S_OK;
    card.Save(&result);
    EXPECT_EQ(E_FAIL, result);
    const Refusal& refusal = card.document.LastRefusal();
    EXPECT_EQ(RefusalKind::GroupTooLong, refusal.kind);
    EXPECT_EQ(std::string(74, 'g'), refusal.texts[0]);
    EXPECT_EQ(75, refusal.numbers[0]);
    EXPECT_EQ(75, refusal.numbers[1]);
}

TEST(Writer, EscapeColonSettingDecidesColonsInText)
{
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 0));
    EXPECT_EQ(Lines({"NOTE:a\\,b\\;c\\:d"}), Rewritten({"NOTE:a\\,b\\;c:d"}, 1));
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

}  // namespace
