// The reader, and the writer on what it read: unfolding, the opening line, groups,
// parameters, quoting and escapes, why each refusal happened, and each line
// as a save writes it back.
#include "card/format.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"
#include "tests/support/round_trip.h"

#include <gtest/gtest.h>

namespace {

const char BEGIN[] = "BEGIN:VCARD\r\n";
const char END[] = "END:VCARD\r\n";

TEST(Reader, OpeningLinesAndWhyEachRefusal)
{
    using Kind = RefusalKind;
    const struct {
        const char* text;
        HRESULT result;
        Kind kind;
        int line;
        const char* first = "";
        const char* second = "";
    } rows[] = {
        {"", S_OK, Kind::None, 0},  // an empty card
        {"\r\n\r\n\n", S_OK, Kind::None, 0},
        {"BEGIN:VCARD", S_OK, Kind::None, 0},
        {"begin:vcard\nEnd:VCard\n", S_OK, Kind::None, 0},
        {"BEGIN:VCARD \t\r\n", S_OK, Kind::None, 0},  // blanks after the opening line
        {"BEGIN:VCARD x\r\nFN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"\xEF\xBB\xBF" "FN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "BEGIN:VCARD\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        // UTF-16 that is not UTF-16 throughout (an odd byte at the end) is refused; the
        // mark alone is an empty card.
        {"\xFF\xFE" "B", E_FAIL, Kind::Utf16, 0},
        {"\xFE\xFF", S_OK, Kind::None, 0},
        {"BEGIN:VCARD\rVERSION:4.0\rFN:x\rEND:VCARD\r", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"FN:x\r\n", E_FAIL, Kind::FirstLine, 0, "BEGIN:VCARD"},
        {"BEGIN:VCARD\r\n X\r\n", E_FAIL, Kind::FirstLineFolded, 0},
        {" BEGIN:VCARD\r\n", E_FAIL, Kind::FirstLineFolded, 0},
        {"BEGIN:VCARD\r\nFN:x\r\nNOTE\r\n", E_FAIL, Kind::MissingColon, 2, "NOTE"},
        {"BEGIN:VCARD\r\n\r\nFN:x\r\n\r\nX-A\\:B\r\n", E_FAIL, Kind::MissingColon, 2, "X-A\\:B"},
        {"BEGIN:VCARD\r\nTEL;HOME:1\r\n", E_INVALIDARG, Kind::InvalidParameter, 1, "HOME", "TEL"},
        {"BEGIN:VCARD\r\nFN:x\r\nx-p;q:1\r\n", E_INVALIDARG, Kind::InvalidParameter, 2, "q", "x-p"},
        {"BEGIN:VCARD\r\n:value\r\n", E_INVALIDARG, Kind::None, 0},
        {"BEGIN:VCARD\r\ngrp.:value\r\n", E_INVALIDARG, Kind::None, 0},
        {"BEGIN:VCARD\r\n;;;:value\r\n", E_INVALIDARG, Kind::None, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        TestCard card;
        EXPECT_EQ(row.result, card.Load(row.text));
        const Refusal& refusal = card.document.LastRefusal();
        EXPECT_EQ(row.kind, refusal.kind) << card.Why();
        EXPECT_EQ(row.line, refusal.line);
        EXPECT_STREQ(row.first, refusal.texts[0]);
        EXPECT_STREQ(row.second, refusal.texts[1]);
        EXPECT_EQ("", row.result == S_OK ? card.Dump() : "");
    }
}

// Each row: the lines after BEGIN:VCARD (CR LF is added at the end), the card as the
// dump shows it (one line per property), and the lines a save writes between BEGIN and
// END (null: the same as read). Every row must also obey the round-trip law.
TEST(Reader, LinesReadAndWrittenBack)
{
    const struct { const char* lines; const char* dump; const char* written; } rows[] = {
        // ---- unfolding, line ends, END and BEGIN inside the card
        {"NOTE:abc\r\n\r\n def", "- \"NOTE\" :\"abcdef\"", "NOTE:abcdef"},
        {"NOTE:abc\r\n  def", "- \"NOTE\" :\"abc def\"", "NOTE:abc def"},
        {"NOTE:abc\r\n\tdef", "- \"NOTE\" :\"abcdef\"", "NOTE:abcdef"},
        // A fold may fall inside an escape pair or a parameter: the pieces join byte for byte.
        {"TEL;TY\r\n PE=HO\r\n ME:a\\\r\n ;b", "- \"TEL\" ;\"type\"=\"HOME\" :\"a;b\"", "TEL;type=HOME:a\\;b"},
        {"FN:x\nN:a;b\nwork.TEL;TYPE=HOME:1", "- \"FN\" :\"x\"\n- \"N\" :\"a\" :\"b\"\n\"work\" \"TEL\" ;\"type\"=\"HOME\" :\"1\"",
         "FN:x\r\nN:a;b\r\nwork.TEL;type=HOME:1"},
        {"FN:x\r\nend:vcard\r\nNOTE:after\r\nBEGIN:VCARD", "- \"FN\" :\"x\"\n- \"NOTE\" :\"after\"\n- \"BEGIN\" :\"VCARD\"",
         "FN:x\r\nNOTE:after\r\nBEGIN:VCARD"},
        // ---- groups and names
        {"work.TEL:1\r\nFN:x\r\nWORK.EMAIL:e", "\"work\" \"TEL\" :\"1\"\n\"work\" \"EMAIL\" :\"e\"\n- \"FN\" :\"x\"",
         "work.TEL:1\r\nwork.EMAIL:e\r\nFN:x"},
        {"a.b.c:1", "\"a\" \"b.c\" :\"1\"", nullptr},
        {".FN:x", "\"\" \"FN\" :\"x\"", nullptr},
        {"tel;type=home:1\r\nx-Custom;X-Param=v:2", "- \"TEL\" ;\"type\"=\"home\" :\"1\"\n- \"x-Custom\" ;\"X-Param\"=\"v\" :\"2\"",
         "TEL;type=home:1\r\nx-Custom;X-Param=v:2"},
        {"X-A\\:B:Z", "- \"X-A:B\" :\"Z\"", nullptr},
        // ---- parameters: one node per value, runs, quotes and carets
        {"TEL;TYPE=a.b:1", "- \"TEL\" ;\"type\"=\"a.b\" :\"1\"", "TEL;type=a.b:1"},
        {"TEL;TYPE=HOME;type=CELL;PREF=1;TYPE=WORK:1",
         "- \"TEL\" ;\"type\"=\"HOME\" ;\"type\"=\"CELL\" ;\"pref\"=\"1\" ;\"type\"=\"WORK\" :\"1\"",
         "TEL;type=HOME,CELL;pref=1;type=WORK:1"},
        {"TEL;;TYPE=HOME;:1", "- \"TEL\" ;\"type\"=\"HOME\" :\"1\"", "TEL;type=HOME:1"},
        {"TEL;TYPE=,a,:1", "- \"TEL\" ;\"type\"=\"\" ;\"type\"=\"a\" ;\"type\"=\"\" :\"1\"", "TEL;type=,a,:1"},
        {"X-P;X-A=1;X-B=2;X-Q=a,b:v", "- \"X-P\" ;\"X-A\"=\"1\" ;\"X-B\"=\"2\" ;\"X-Q\"=\"a\" ;*=\"b\" :\"v\"", nullptr},
        {"X-P;X-A=1;X-A=2:v", "- \"X-P\" ;\"X-A\"=\"1\" ;\"X-A\"=\"2\" :\"v\"", nullptr},
        {"X-P;X-Q=a\\:b:v", "- \"X-P\" ;\"X-Q\"=\"a:b\" :\"v\"", "X-P;X-Q=\"a:b\":v"},
        {"ADR;GEO=\"geo:12.3,45.6\":;;Main", "- \"ADR\" ;\"geo\"=\"geo:12.3,45.6\" :null :null :\"Main\"",
         "ADR;geo=\"geo:12.3,45.6\":;;Main"},
        {"TEL;TYPE=\"voice,home\":1", "- \"TEL\" ;\"type\"=\"voice,home\" :\"1\"", "TEL;type=\"voice,home\":1"},
        {"X;P=\"a;b.c\",d:v", "- \"X\" ;\"P\"=\"a;b.c\" ;*=\"d\" :\"v\"", nullptr},
        // Inside quotes a backslash is an ordinary character.
        {"X;P=\"a\\:b\":v", "- \"X\" ;\"P\"=\"a\\\\:b\" :\"v\"", nullptr},
        // A quote that is not at the start of a value, or never closed, has no meaning.
        {"X;P=a\"b:v", "- \"X\" ;\"P\"=\"a\\\"b\" :\"v\"", "X;P=a^'b:v"},
        {"X;P=\"a:b", "- \"X\" ;\"P\"=\"\\\"a\" :\"b\"", "X;P=^'a:b"},
        {"ADR;LABEL=\"a^nb ^'c^' ^^ ^x\":x", "- \"ADR\" ;\"LABEL\"=\"a\\nb \\\"c\\\" ^ ^x\" :\"x\"",
         "ADR;LABEL=a^nb ^'c^' ^^ ^^x:x"},
        {"X;P=a\"b^nc^^:v", "- \"X\" ;\"P\"=\"a\\\"b\\nc^\" :\"v\"", "X;P=a^'b^nc^^:v"},
        // ---- values: slots, escapes, URIs and lists
        {"NOTE:Main St\\;5;Town", "- \"NOTE\" :\"Main St;5\" :\"Town\"", nullptr},
        {"ADR:;;Main St\\;5;Town", "- \"ADR\" :null :null :\"Main St\\\\;5\" :\"Town\"", nullptr},
        {"FN:", "- \"FN\" :null", nullptr},
        {"NOTE:a;b", "- \"NOTE\" :\"a\" :\"b\"", nullptr},
        {"N:a;b;", "- \"N\" :\"a\" :\"b\" :null", nullptr},
        {"N:Family;Given;;;", "- \"N\" :\"Family\" :\"Given\" :null :null :null", nullptr},
        {"NOTE:a\\,b\\;c:d", "- \"NOTE\" :\"a,b;c:d\"", nullptr},
        {"NOTE:line\\nbreak\\Nand", "- \"NOTE\" :\"line\\nbreak\\nand\"", "NOTE:line\\nbreak\\nand"},
        {"NOTE:C:\\\\new", "- \"NOTE\" :\"C:\\\\new\"", nullptr},
        // A backslash is doubled only where it would read as an escape: before the end,
        // and before what the writer escapes: a backslash before q, or before a quote as
        // Google writes it, is itself.
        {"NOTE:\\q\\", "- \"NOTE\" :\"\\\\q\\\\\"", "NOTE:\\q\\\\"},
        {"NOTE:\\\"x\\\\n", "- \"NOTE\" :\"\\\\\\\"x\\\\n\"", nullptr},
        // An escaped backslash before ';' leaves the ';' to separate.
        {"NOTE:a\\\\;b", "- \"NOTE\" :\"a\\\\\" :\"b\"", nullptr},
        {"PHOTO:data:image/jpeg;base64,AB\\,;x", "- \"PHOTO\" :\"data:image/jpeg;base64,AB\\\\,;x\"", nullptr},
        {"TEL;VALUE=uri:tel:+1-555-0100;ext=102", "- \"TEL\" ;\"value\"=\"uri\" :\"tel:+1-555-0100;ext=102\"",
         "TEL;value=uri:tel:+1-555-0100;ext=102"},
        // A VALUE parameter other than uri makes the value text again.
        {"URL;VALUE=text:a;b", "- \"URL\" ;\"value\"=\"text\" :\"a\" :\"b\"", "URL;value=text:a;b"},
        {"N:Perreault;Simon;;;ing. jr,M.Sc.", "- \"N\" :\"Perreault\" :\"Simon\" :null :null :\"ing. jr,M.Sc.\"", nullptr},
        {"CATEGORIES:friends,work", "- \"CATEGORIES\" :\"friends,work\"", nullptr},
        // A list keeps the file's spelling, so that "\\," (a comma in a value) stays apart
        // from ',' (between values); only "\\:" becomes ':'.
        {"NICKNAME:a\\,b", "- \"NICKNAME\" :\"a\\\\,b\"", nullptr},
        {"N:a\\,b,c\\\\\\n\\:;\\;", "- \"N\" :\"a\\\\,b,c\\\\\\\\\\\\n:\" :\"\\\\;\"", nullptr},
        {"ORG:a\\,b", "- \"ORG\" :\"a,b\"", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lines);
        std::string text = BEGIN + std::string(row.lines) + "\r\n";
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(text)) << card.Why();
        EXPECT_EQ(row.dump + std::string("\n"), card.Dump());
        EXPECT_FALSE(card.document.IsModified());
        EXPECT_EQ(BEGIN + std::string(row.written != nullptr ? row.written : row.lines) + "\r\n" + END, card.Save());
        EXPECT_EQ("", CheckRoundTrip(text.data(), text.size()).violation);
    }
}

TEST(Reader, QuotesInThePropertyNameProtectNothing)
{
    // Only parameter values are quoted: in the name, even one after a leading ';' and
    // an '=', a '"' is an ordinary character and ':' and ';' keep their meaning.
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({";P=\"a:b\":v"})));
    EXPECT_EQ("- \"P=\\\"a\" :\"b\\\":v\"\n", card.Dump());
    TestCard refused;
    EXPECT_EQ(E_INVALIDARG, refused.Load(BEGIN + Lines({";P=\"a;b\":v"})));
    EXPECT_EQ(RefusalKind::InvalidParameter, refused.document.LastRefusal().kind);
    EXPECT_STREQ("b\"", refused.document.LastRefusal().texts[0]);
    EXPECT_STREQ("P=\"a", refused.document.LastRefusal().texts[1]);
}

TEST(Reader, LinesOfAnyLengthAreReadWhole)
{
    // One physical line of 70000 bytes, and a logical line of 500 continuation lines.
    std::string longValue(70000, 'x');
    std::string folded = "NOTE:\r\n";
    std::string foldedValue;
    for (int i = 0; i < 500; ++i) {
        std::string piece(75, (char)('a' + i % 26));
        folded += " " + piece + "\r\n";
        foldedValue += piece;
    }
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({("NOTE:" + longValue).c_str()}) + folded));
    ASSERT_EQ(2, card.PropertyCount());
    EXPECT_TRUE(longValue == card.Property(0)->GetValue(0));
    EXPECT_TRUE(foldedValue == card.Property(1)->GetValue(0));
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

TEST(Reader, EscapedColonInATextValueSetsEscapeColon)
{
    const struct { int before; const char* line; int after; } rows[] = {
        {0, "NOTE:a:b", 0}, {0, "NOTE:a\\:b", 1},
        {1, "NOTE:a:b", 0},       // a read starts from 0 whatever the setting was
        {0, "URL:http\\://x", 0},  // a URI never touches it
    };
    for (const auto& row : rows) {
        TestCard card;
        card.escapeColon = row.before;
        ASSERT_EQ(S_OK, card.Load(BEGIN + Lines({row.line})));
        EXPECT_EQ(row.after, card.escapeColon) << row.line;
    }
}

TEST(Reader, TrailBytesEscapeNothingInDoubleByteCodePage)
{
    // 0x83 0x5C is one character in code page 932; its second byte is the code of '\'.
    // In the second card the fold falls between its two bytes.
    const struct { int codePage; const char* lines; const char* dump; } rows[] = {  // dump "" for a refusal
        {932, "X-\x83\\:v\\;w\r\nNOTE:\x83\\;b", "- \"X-\x83\\\\\" :\"v;w\"\n- \"NOTE\" :\"\x83\\\\\" :\"b\"\n"},
        {1252, "X-\x83\\:v\\;w\r\nNOTE:\x83\\;b", ""},  // an escaped colon: no separator
        {932, "NOTE:a\x83\r\n \\;b", "- \"NOTE\" :\"a\x83\\\\\" :\"b\"\n"},
        {1252, "NOTE:a\x83\r\n \\;b", "- \"NOTE\" :\"a\x83;b\"\n"},
        {CODE_PAGE_UTF8, "X-\x83\\:v\\;w\r\nNOTE:\x83\\;b", ""},  // no lead bytes: as in 1252
        {CODE_PAGE_UTF8, "NOTE:\xCE\r\n \xB1\\;\xE2\x82\r\n \xAC", "- \"NOTE\" :\"\xCE\xB1;\xE2\x82\xAC\"\n"},
    };
    for (const auto& row : rows) {
        CodePageScope codePage(row.codePage);
        TestCard card;
        HRESULT result = card.Load(BEGIN + std::string(row.lines) + "\r\n");
        EXPECT_EQ(*row.dump != '\0' ? S_OK : E_FAIL, result) << row.codePage;
        if (SUCCEEDED(result)) {
            EXPECT_EQ(row.dump, card.Dump()) << row.codePage;
        }
    }
}

}  // namespace
