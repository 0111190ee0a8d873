// The reader: unfolding, the opening line, groups, parameters, quoting and escapes, and
// the refusal that says why a card does not load.
#include "card/format.h"
#include "card/mbstring.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"

#include <gtest/gtest.h>

namespace {

const char BEGIN[] = "BEGIN:VCARD\r\n";

// The dump of a card read from BEGIN:VCARD followed by the lines given.
std::string DumpOf(std::initializer_list<const char*> lines, HRESULT expected = S_OK)
{
    TestCard card;
    HRESULT result = card.Load(BEGIN + Lines(lines));
    EXPECT_EQ(expected, result) << card.Why();
    return card.Dump();
}

struct RefusalRow {
    const char* text;
    HRESULT result;
    RefusalKind kind;
    int line;
    const char* first = "";
    const char* second = "";
};

// ---------------------------------------------------------------- lines and unfolding

TEST(Reader, EmptyInputsGiveAnEmptyCard)
{
    for (const char* text : {"", "\r\n\r\n\n", "BEGIN:VCARD", "BEGIN:VCARD\r\n", "begin:vcard\nEnd:VCard\n"}) {
        TestCard card;
        EXPECT_EQ(S_OK, card.Load(text)) << text;
        EXPECT_EQ("", card.Dump()) << text;
        EXPECT_EQ(0, card.document.IsModified());
    }
}

TEST(Reader, RefusalsSayWhy)
{
    using Kind = RefusalKind;
    const RefusalRow rows[] = {
        {"BEGIN:VCARD \r\nFN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"\xEF\xBB\xBF" "FN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "BEGIN:VCARD\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        // UTF-16 as far as a C string reaches: its mark and the byte before the first NUL.
        {"\xFF\xFE" "B", E_FAIL, Kind::Utf16, 0},
        {"\xFE\xFF", E_FAIL, Kind::Utf16, 0},
        {"BEGIN:VCARD\rVERSION:4.0\rFN:x\rEND:VCARD\r", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"FN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"BEGIN:VCARD\r\n X\r\n", E_FAIL, Kind::FirstLineFolded, 0},
        {" BEGIN:VCARD\r\n", E_FAIL, Kind::FirstLineFolded, 0},
        {"BEGIN:VCARD\r\nFN:x\r\nNOTE\r\n", E_FAIL, Kind::MissingColon, 2, "NOTE"},
        {"BEGIN:VCARD\r\n\r\nFN:x\r\n\r\nX-A\\:B\r\n", E_FAIL, Kind::MissingColon, 2, "X-A\\:B"},
        {"BEGIN:VCARD\r\nTEL;HOME:1\r\n", E_INVALIDARG, Kind::InvalidParameter, 1, "HOME", "TEL"},
        {"BEGIN:VCARD\r\nFN:x\r\nx-p;q:1\r\n", E_INVALIDARG, Kind::InvalidParameter, 2, "q", "x-p"},
        {"BEGIN:VCARD\r\n;P=\"a;b\":v\r\n", E_INVALIDARG, Kind::InvalidParameter, 1, "b\"", "P=\"a"},
        {"BEGIN:VCARD\r\n:value\r\n", E_INVALIDARG, Kind::None, 0},
        {"BEGIN:VCARD\r\ngrp.:value\r\n", E_INVALIDARG, Kind::None, 0},
        {"BEGIN:VCARD\r\n;;;:value\r\n", E_INVALIDARG, Kind::None, 0},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.text);
        TestCard card;
        EXPECT_EQ(row.result, card.Load(row.text));
        const Refusal& refusal = card.document.LastRefusal();
        EXPECT_EQ(row.kind, refusal.kind) << card.Why();
        EXPECT_EQ(row.line, refusal.line);
        EXPECT_STREQ(row.first, refusal.texts[0]);
        EXPECT_STREQ(row.second, refusal.texts[1]);
    }
}

TEST(Reader, LineFeedsAloneReadLikeCrLf)
{
    std::string crlf = DumpOf({"FN:x", "N:a;b", "work.TEL;TYPE=HOME:1"});
    TestCard card;
    ASSERT_EQ(S_OK, card.Load("BEGIN:VCARD\nFN:x\nN:a;b\nwork.TEL;TYPE=HOME:1\n"));
    EXPECT_EQ(crlf, card.Dump());
}

TEST(Reader, ContinuationDropsExactlyOneBlankAndSkipsEmptyLines)
{
    EXPECT_EQ("- \"NOTE\" :\"abcdef\"\n", DumpOf({"NOTE:abc", "", " def"}));
    EXPECT_EQ("- \"NOTE\" :\"abc def\"\n", DumpOf({"NOTE:abc", "  def"}));
    EXPECT_EQ("- \"NOTE\" :\"abcdef\"\n", DumpOf({"NOTE:abc", "\tdef"}));
    // A fold may fall inside an escape pair or a parameter: the pieces join byte for byte.
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"HOME\" :\"a;b\"\n", DumpOf({"TEL;TY", " PE=HO", " ME:a\\", " ;b"}));
}

TEST(Reader, LinesOfAnyLengthAreReadWhole)
{
    std::string longValue(70000, 'x');
    std::string physical = "NOTE:" + longValue;
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + physical + "\r\n"));
    ASSERT_EQ(1, card.PropertyCount());
    EXPECT_TRUE(longValue == card.Property(0)->GetValue(0));

    // A long logical line made of many continuation lines.
    std::string folded = std::string(BEGIN) + "NOTE:\r\n";
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        folded += " " + std::string(75, (char)('a' + i % 26)) + "\r\n";
        expected += std::string(75, (char)('a' + i % 26));
    }
    TestCard foldedCard;
    ASSERT_EQ(S_OK, foldedCard.Load(folded));
    EXPECT_TRUE(expected == foldedCard.Property(0)->GetValue(0));
}

TEST(Reader, EndLineIsIgnoredWhereverItStands)
{
    EXPECT_EQ("- \"FN\" :\"x\"\n- \"NOTE\" :\"after\"\n- \"BEGIN\" :\"VCARD\"\n",
              DumpOf({"FN:x", "end:vcard", "NOTE:after", "BEGIN:VCARD"}));
    // Without an END line the last property is read like the others.
    EXPECT_EQ("- \"FN\" :\"x\"\n", DumpOf({"FN:x"}));
}

// ---------------------------------------------------------------- groups and names

TEST(Reader, GroupsCollectTheirLinesAtTheirFirstPlace)
{
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"work.TEL:1", "FN:x", "WORK.EMAIL:e"})));
    EXPECT_EQ("\"work\" \"TEL\" :\"1\"\n\"work\" \"EMAIL\" :\"e\"\n- \"FN\" :\"x\"\n", card.Dump());
    EXPECT_EQ(0, card.document.IsModified());
}

TEST(Reader, GroupsAreFoundAmongManyWithoutRegardToCase)
{
    // Lines of 300 groups, each named again later in another spelling, and a name with
    // bytes beyond ASCII that comes back after others: every line joins its first group.
    std::string text = BEGIN;
    for (int i = 0; i < 300; ++i) text += "item" + std::to_string(i) + ".TEL:" + std::to_string(i) + "\r\n";
    text += "gr\xFC\xDF" ".NOTE:a\r\nFN:x\r\n";
    for (int i = 299; i >= 0; --i) text += "ITEM" + std::to_string(i) + ".X-ABLabel:L" + std::to_string(i) + "\r\n";
    text += "gr\xFC\xDF" ".NOTE:b\r\n";
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(text));
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        std::string group = "\"item" + std::to_string(i) + "\" ";
        expected += group + "\"TEL\" :\"" + std::to_string(i) + "\"\n";
        expected += group + "\"X-ABLabel\" :\"L" + std::to_string(i) + "\"\n";
    }
    expected += "\"gr\xFC\xDF\" \"NOTE\" :\"a\"\n\"gr\xFC\xDF\" \"NOTE\" :\"b\"\n- \"FN\" :\"x\"\n";
    EXPECT_TRUE(expected == card.Dump()) << card.Dump().substr(0, 400);
}

TEST(Reader, DotIsAGroupSeparatorOnlyInTheName)
{
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"a.b\" :\"1\"\n", DumpOf({"TEL;TYPE=a.b:1"}));
    EXPECT_EQ("- \"X-A\" :\"b.c\"\n", DumpOf({"X-A:b.c"}));
    EXPECT_EQ("\"a\" \"b.c\" :\"1\"\n", DumpOf({"a.b.c:1"}));
    EXPECT_EQ("\"\" \"FN\" :\"x\"\n", DumpOf({".FN:x"}));
}

TEST(Reader, NamesKeepTheirSpellingOnlyWhenTheyAreNotStandard)
{
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"tel;type=home:1", "x-Custom;X-Param=v:2"})));
    EXPECT_EQ(PropertyKindTel, card.Property(0)->GetKind());
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"home\" :\"1\"\n- \"x-Custom\" ;\"X-Param\"=\"v\" :\"2\"\n", card.Dump());
}

TEST(Reader, EscapedColonInTheHeadIsPartOfTheName)
{
    EXPECT_EQ("- \"X-A:B\" :\"Z\"\n", DumpOf({"X-A\\:B:Z"}));
    EXPECT_EQ("- \"X-P\" ;\"X-Q\"=\"a:b\" :\"v\"\n", DumpOf({"X-P;X-Q=a\\:b:v"}));
}

// ---------------------------------------------------------------- parameters

TEST(Reader, ParameterListsBecomeOneNodePerValue)
{
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"HOME\" ;\"type\"=\"CELL\" ;\"pref\"=\"1\" :\"1\"\n",
              DumpOf({"TEL;TYPE=HOME,CELL;PREF=1:1"}));
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"HOME\" :\"1\"\n", DumpOf({"TEL;;TYPE=HOME;:1"}));
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"\" ;\"type\"=\"a\" ;\"type\"=\"\" :\"1\"\n", DumpOf({"TEL;TYPE=,a,:1"}));

    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"X-P;X-Q=a,b:v"})));
    ParameterNode* first = card.Property(0)->GetParameterAt(0);
    ParameterNode* second = card.Property(0)->GetParameterAt(1);
    EXPECT_EQ(ParameterKindOther, first->GetKind());
    EXPECT_STREQ("X-Q", first->GetCustomName());
    EXPECT_EQ(ParameterKindOther, second->GetKind());
    EXPECT_EQ(nullptr, second->GetCustomName()) << "only the first node carries the name";
    EXPECT_STREQ("b", second->GetValue());
    EXPECT_EQ(0, card.document.IsModified());
}

TEST(Reader, QuotesProtectWhatTheyHold)
{
    EXPECT_EQ("- \"ADR\" ;\"geo\"=\"geo:12.3,45.6\" :null :null :\"Main\"\n",
              DumpOf({"ADR;GEO=\"geo:12.3,45.6\":;;Main"}));
    EXPECT_EQ("- \"TEL\" ;\"type\"=\"voice,home\" :\"1\"\n", DumpOf({"TEL;TYPE=\"voice,home\":1"}));
    EXPECT_EQ("- \"X\" ;\"P\"=\"a;b.c\" ;*=\"d\" :\"v\"\n", DumpOf({"X;P=\"a;b.c\",d:v"}));
    // Inside quotes a backslash is an ordinary character.
    EXPECT_EQ("- \"X\" ;\"P\"=\"a\\\\:b\" :\"v\"\n", DumpOf({"X;P=\"a\\:b\":v"}));
    // A quote that is not at the start of a value, or never closed, has no meaning.
    EXPECT_EQ("- \"X\" ;\"P\"=\"a\\\"b\" :\"v\"\n", DumpOf({"X;P=a\"b:v"}));
    EXPECT_EQ("- \"X\" ;\"P\"=\"\\\"a\" :\"b\"\n", DumpOf({"X;P=\"a:b"}));
}

TEST(Reader, QuotesInThePropertyNameProtectNothing)
{
    // Only parameter values are quoted: in the name, even one after a leading ';' and
    // an '=', a '"' is an ordinary character and ':' and ';' keep their meaning.
    EXPECT_EQ("- \"P=\\\"a\" :\"b\\\":v\"\n", DumpOf({";P=\"a:b\":v"}));
}

TEST(Reader, CaretEscapesInParameterValues)
{
    EXPECT_EQ("- \"ADR\" ;\"LABEL\"=\"a\\nb \\\"c\\\" ^ ^x\" :\"x\"\n",
              DumpOf({"ADR;LABEL=\"a^nb ^'c^' ^^ ^x\":x"}));
}

// ---------------------------------------------------------------- values

TEST(Reader, ValuesSplitAtUnescapedSemicolons)
{
    EXPECT_EQ("- \"NOTE\" :\"Main St;5\" :\"Town\"\n", DumpOf({"NOTE:Main St\\;5;Town"}));
    EXPECT_EQ("- \"ADR\" :null :null :\"Main St\\\\;5\" :\"Town\"\n", DumpOf({"ADR:;;Main St\\;5;Town"}));
    EXPECT_EQ("- \"FN\" :null\n", DumpOf({"FN:"}));
    EXPECT_EQ("- \"NOTE\" :\"a\" :\"b\"\n", DumpOf({"NOTE:a;b"}));
    EXPECT_EQ("- \"N\" :\"a\" :\"b\" :null\n", DumpOf({"N:a;b;"}));
}

TEST(Reader, EscapesInTextValues)
{
    EXPECT_EQ("- \"NOTE\" :\"a,b\"\n", DumpOf({"NOTE:a\\,b"}));
    EXPECT_EQ("- \"NOTE\" :\"line\\nbreak\\nand\"\n", DumpOf({"NOTE:line\\nbreak\\Nand"}));
    EXPECT_EQ("- \"NOTE\" :\"C:\\\\new\"\n", DumpOf({"NOTE:C:\\\\new"}));
    EXPECT_EQ("- \"NOTE\" :\"\\\\q\\\\\"\n", DumpOf({"NOTE:\\q\\"}));
    // An escaped backslash before ';' leaves the ';' to separate.
    EXPECT_EQ("- \"NOTE\" :\"a\\\\\" :\"b\"\n", DumpOf({"NOTE:a\\\\;b"}));
}

TEST(Reader, EscapedColonInAValueSetsEscapeColon)
{
    TestCard plain;
    ASSERT_EQ(S_OK, plain.Load(BEGIN + Lines({"NOTE:a:b"})));
    EXPECT_STREQ("a:b", plain.Property(0)->GetValue(0));
    EXPECT_EQ(0, plain.escapeColon);

    TestCard escaped;
    escaped.escapeColon = 0;
    ASSERT_EQ(S_OK, escaped.Load(BEGIN + Lines({"NOTE:a\\:b"})));
    EXPECT_STREQ("a:b", escaped.Property(0)->GetValue(0));
    EXPECT_EQ(1, escaped.escapeColon);

    // A read starts from 0 whatever the setting was.
    TestCard reset;
    reset.escapeColon = 1;
    ASSERT_EQ(S_OK, reset.Load(BEGIN + Lines({"NOTE:a:b"})));
    EXPECT_EQ(0, reset.escapeColon);
}

TEST(Reader, UriValuesAreOneRawText)
{
    EXPECT_EQ("- \"PHOTO\" :\"data:image/jpeg;base64,AB\\\\,;x\"\n", DumpOf({"PHOTO:data:image/jpeg;base64,AB\\,;x"}));
    EXPECT_EQ("- \"TEL\" ;\"value\"=\"uri\" :\"tel:+1-555-0100;ext=102\"\n",
              DumpOf({"TEL;VALUE=uri:tel:+1-555-0100;ext=102"}));
    // A VALUE parameter other than uri makes the value text again.
    EXPECT_EQ("- \"URL\" ;\"value\"=\"text\" :\"a\" :\"b\"\n", DumpOf({"URL;VALUE=text:a;b"}));
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({"URL:http\\://x"})));
    EXPECT_EQ(0, card.escapeColon) << "a URI never touches EscapeColon";
}

TEST(Reader, ListsKeepTheirCommas)
{
    EXPECT_EQ("- \"N\" :\"Perreault\" :\"Simon\" :null :null :\"ing. jr,M.Sc.\"\n",
              DumpOf({"N:Perreault;Simon;;;ing. jr,M.Sc."}));
    EXPECT_EQ("- \"CATEGORIES\" :\"friends,work\"\n", DumpOf({"CATEGORIES:friends,work"}));
    // A list keeps the file's spelling, so that "\\," (a comma in a value) stays apart from
    // ',' (between values); only "\\:" becomes ':'.
    EXPECT_EQ("- \"N\" :\"a\\\\,b,c\\\\\\\\\\\\n:\" :\"\\\\;\"\n", DumpOf({"N:a\\,b,c\\\\\\n\\:;\\;"}));
}

// ---------------------------------------------------------------- double-byte code page

TEST(Reader, TrailByteBackslashEscapesNothingInDoubleByteCodePage)
{
    // 0x83 0x5C is one character in code page 932; its second byte is the code of '\'.
    const char* lines = "BEGIN:VCARD\r\nX-\x83\\:v\\;w\r\nNOTE:\x83\\;b\r\n";
    {
        CodePageScope codePage(932);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(lines)) << card.Why();
        EXPECT_STREQ("X-\x83\\", card.Property(0)->GetDisplayName());
        EXPECT_STREQ("v;w", card.Property(0)->GetValue(0));
        ASSERT_EQ(2, card.Property(1)->GetValueCount());
        EXPECT_STREQ("\x83\\", card.Property(1)->GetValue(0));
    }
    // In a single-byte code page the same bytes hold an escaped colon: no separator.
    CodePageScope codePage(1252);
    TestCard card;
    EXPECT_EQ(E_FAIL, card.Load(lines));
}

TEST(Reader, FoldInsideADoubleByteCharacterRejoins)
{
    // The fold falls between the two bytes of 0x83 0x5C; joined, its second byte is no
    // escape, so the ';' after it separates two values.
    const char* text = "BEGIN:VCARD\r\nNOTE:a\x83\r\n \\;b\r\n";
    {
        CodePageScope codePage(932);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(text));
        ASSERT_EQ(2, card.Property(0)->GetValueCount());
        EXPECT_STREQ("a\x83\\", card.Property(0)->GetValue(0));
        EXPECT_STREQ("b", card.Property(0)->GetValue(1));
    }
    CodePageScope codePage(1252);
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(text));
    ASSERT_EQ(1, card.Property(0)->GetValueCount());
    EXPECT_STREQ("a\x83;b", card.Property(0)->GetValue(0));
}

}  // namespace
