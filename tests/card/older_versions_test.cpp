// Cards of vCard 2.1 and 3.0: each line read into the text the editor shows and written
// back in the card's own version, and the files of several cards and UTF-16 files that
// phones and Windows programs export.
#include "card/card_file.h"
#include "card/charset.h"
#include "card/io.h"
#include "tests/support/card_text.h"
#include "tests/support/code_page.h"
#include "tests/support/round_trip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string.h>

namespace {

std::string Card(const char* version, const std::string& lines)
{
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + lines + "END:VCARD\r\n";
}

// The written card without its first two and its last line.
std::string Body(const std::string& written)
{
    size_t start = written.find("\r\n", written.find("\r\n") + 2) + 2;
    return written.substr(start, written.size() - start - sizeof "END:VCARD\r\n" + 1);
}

TEST(OlderVersions, LinesReadAsTextAndWrittenBackInTheirVersion)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    const struct {
        const char* version;
        const char* lines;
        const char* value;       // the property's values as the editor holds them, ';' between
        const char* written;     // null: as read
    } rows[] = {
        {"2.1", "TEL;WORK;VOICE:+1 555\r\n", "+1 555", nullptr},
        {"3.0", "TEL;CELL;TYPE=pref:1\r\n", "1", "TEL;CELL;type=pref:1\r\n"},
        // Soft line breaks joined, lower-case hex and a stray '=' read; written with
        // upper-case hex and the '=' encoded.
        {"2.1", "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=84=\r\nb=0D=0Ac=c3=a4 x\r\n", "\xC3\x84" "b\r\nc\xC3\xA4 x",
         "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=84b=0D=0Ac=C3=A4 x\r\n"},
        // A head folded before its ENCODING: the soft break still joins.
        {"2.1", "NOTE;CHARSET=UTF-8;\r\n ENCODING=QUOTED-PRINTABLE:=C3=84=\r\nb\r\n", "\xC3\x84" "b",
         "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=84b\r\n"},
        // An ENCODING quoted or in a list names it too: its soft breaks join lines.
        {"3.0", "NOTE;ENCODING=\"QUOTED-PRINTABLE\",X:a=3Db=\r\nc\r\n", "a=bc", "NOTE;ENCODING=QUOTED-PRINTABLE,X:a=3Dbc\r\n"},
        // Where the head's scan finds no encoding, a line's '=' joins no lines: a bare
        // parameter in quotes is a type; a head that starts with ';' is named by its first
        // token; a ';' in quotes that open after a dot cuts no parameter.
        {"2.1", "NOTE;\"QUOTED-PRINTABLE\":a=\r\nX-B:c\r\n", "a=", nullptr},
        // A bare "b" is a type, not 3.0's base64: quoted-printable's soft break still joins.
        {"2.1", "NOTE;b;ENCODING=QUOTED-PRINTABLE:a=\r\n=3Db\r\n", "a=b", "NOTE;b;ENCODING=QUOTED-PRINTABLE:a=3Db\r\n"},
        {"2.1", ";ENCODING=QUOTED-PRINTABLE:a=\r\nX-B:c\r\n", "a=", "ENCODING=QUOTED-PRINTABLE:a=\r\nX-B:c\r\n"},
        {"2.1", "NOTE;X=.\"a;QUOTED-PRINTABLE;b\":a=\r\nX-B:c\r\n", "a=",
         "NOTE;X=\".^'a;QUOTED-PRINTABLE;b^'\":a=\r\nX-B:c\r\n"},
        // A decoded NUL ends the value, which is then read as the UTF-8 it is.
        {"2.1", "NOTE;CHARSET=UTF-8;QUOTED-PRINTABLE:=C3=91=00;=C3\r\n", "\xC3\x91",
         "NOTE;CHARSET=UTF-8;QUOTED-PRINTABLE:=C3=91\r\n"},
        {"2.1", "NOTE;QUOTED-PRINTABLE:a=3Db =ZZ\r\n", "a=b =ZZ", "NOTE;QUOTED-PRINTABLE:a=3Db =3DZZ\r\n"},
        {"2.1", "N;ENCODING=QUOTED-PRINTABLE:=\r\nBr=C3=BCning;Michael\r\n", "Br\xC3\xBCning;Michael",
         "N;ENCODING=QUOTED-PRINTABLE:Br=C3=BCning;Michael\r\n"},
        {"2.1", "FN;CHARSET=ISO-8859-1:M\xFCller\r\n", "M\xC3\xBCller", nullptr},
        {"2.1", "FN;CHARSET=SHIFT_JIS:\x93\x8C\x8B\x9E\r\n", "\xE6\x9D\xB1\xE4\xBA\xAC", nullptr},
        // Shift_JIS as Windows reads it: 0x5C is a backslash that escapes, not a yen sign.
        {"3.0", "FN;CHARSET=SHIFT_JIS:\x93\x8C\\;\xC4\\:\x8B\x9E\r\n", "\xE6\x9D\xB1;\xEF\xBE\x84:\xE4\xBA\xAC", nullptr},
        // A URI read through quoted-printable may hold a line break: it is written so again.
        {"2.1", "URL;ENCODING=QUOTED-PRINTABLE:http://a=0Ab\r\n", "http://a\nb", nullptr},
        // A URI that names its character set holds text (a phone's phonetic name).
        {"2.1", "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:\xB1\xDD;;\r\n", "\xEF\xBD\xB1\xEF\xBE\x9D;;", nullptr},
        // 8-bit text without CHARSET: UTF-8 when it is, else Windows-1252, both written back.
        {"2.1", "FN:M\xFCller\r\n", "M\xC3\xBCller", nullptr},
        {"3.0", "FN:M\xC3\xBCller\r\n", "M\xC3\xBCller", nullptr},
        // A character set no converter knows keeps its bytes.
        {"2.1", "FN;CHARSET=X-UNKNOWN:\xFC\r\n", "\xFC", nullptr},
        // In 2.1 only "\;" is an escape; in a list a ';' after a backslash never separates.
        {"2.1", "FN:C:\\new\\;x\\\\\r\n", "C:\\new;x\\\\", nullptr},
        {"2.1", "N:A\\;B\\\\;C;D\r\n", "A\\;B\\\\;C;D", nullptr},
        {"3.0", "FN:C:\\\\new\\;x\r\n", "C:\\new;x", nullptr},
        // 2.1 base64 data goes on over lines without a blank up to an empty line, and is
        // written folded and ended so.
        {"2.1", "PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA\r\nBBBB\r\n\r\n", "AAAABBBB",
         "PHOTO;ENCODING=BASE64;type=JPEG:AAAABBBB\r\n\r\n"},
        {"3.0", "PHOTO;ENCODING=b;TYPE=JPEG:AA;AA\r\n", "AA;AA", "PHOTO;ENCODING=b;type=JPEG:AA;AA\r\n"},
        // 2.1 has no lists of parameter values and no caret escapes.
        {"2.1", "TEL;TYPE=WORK,VOICE;X-A=a^'b:1\r\n", "1", "TEL;type=WORK;type=VOICE;X-A=a^'b:1\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lines);
        std::string text = Card(row.version, row.lines);
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(text)) << card.Why();
        PropertyNode* property = card.Property(1);
        std::string values;
        for (int i = 0; i < property->GetValueCount(); ++i) {
            values += (i > 0 ? ";" : "") + std::string(property->GetValue(i) != nullptr ? property->GetValue(i) : "");
        }
        EXPECT_EQ(row.value, values);
        EXPECT_EQ(row.written != nullptr ? row.written : row.lines, Body(card.Save()));
        EXPECT_EQ("", CheckRoundTrip(text.data(), text.size()).violation);
    }
}

TEST(OlderVersions, EditedTextIsWrittenSoThatItReadsBack)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    TestCard card;
    ASSERT_EQ(S_OK, card.Load(Card("2.1", "NOTE:x\r\nFN;CHARSET=ISO-8859-1:x\r\n")));
    // A line break needs quoted-printable in 2.1; a character that its CHARSET cannot
    // hold makes the line UTF-8.
    ASSERT_EQ(S_OK, card.Property(1)->SetValue("a\nb", 0));
    ASSERT_EQ(S_OK, card.Property(2)->SetValue("\xCE\xA9mega", 0));
    EXPECT_EQ("NOTE;ENCODING=QUOTED-PRINTABLE:a=0Ab\r\nFN;CHARSET=UTF-8:\xCE\xA9mega\r\n", Body(card.Save()));

    // Soft breaks fall between the "=XX" of a long value, every physical line at most 76
    // bytes, and the value comes back whole. (Other 2.1 lines are never folded.)
    std::string longText;
    for (int i = 0; i < 100; ++i) longText += "\xC3\xA9 ";
    longText += "\n";
    ASSERT_EQ(S_OK, card.Property(1)->SetValue(longText.c_str(), 0));
    std::string written = card.Save();
    std::istringstream lines(written);
    for (std::string line; std::getline(lines, line);) EXPECT_GE(77u, line.size()) << line;
    TestCard again;
    ASSERT_EQ(S_OK, again.Load(written));
    EXPECT_STREQ(longText.c_str(), again.Property(1)->GetValue(0));
}

TEST(OlderVersions, VersionDecidesTheRulesWhereverItStands)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    // KDE writes VERSION after other lines: it still decides, and goes first.
    TestCard card;
    ASSERT_EQ(S_OK, card.Load("BEGIN:VCARD\r\nFN:x\r\nTEL;HOME:1\r\nVERSION:2.1\r\nEND:VCARD\r\n")) << card.Why();
    EXPECT_EQ(CardVersion::V21, card.document.GetVersion());
    EXPECT_EQ(PropertyKindVersion, card.Property(0)->GetKind());
    EXPECT_TRUE(card.document.ValidateCard());
    // A 4.0 card refuses a bare parameter as it always has.
    TestCard modern;
    EXPECT_EQ(E_INVALIDARG, modern.Load(Card("4.0", "TEL;HOME:1\r\n")));
}

TEST(OlderVersions, VersionFarDownAStreamInPiecesDecidesAsInOneRead)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    // The read-ahead goes on to VERSION past a chunk of the reader's, whatever each read
    // hands over, and hands on every byte it read ahead.
    std::string text = "BEGIN:VCARD\r\nFN:x\r\n";
    for (int i = 0; text.size() < 150000; ++i) text += "NOTE;X-N=" + std::to_string(i) + ":a\\,b\r\n";
    text += "TEL;HOME:1\r\nVERSION:2.1\r\nEND:VCARD\r\n";
    TestCard whole;
    ASSERT_EQ(S_OK, whole.Load(text)) << whole.Why();
    for (size_t step : {1u, 700u, 30000u}) {
        TestCard card;
        TrickleInput input(text, step);
        ASSERT_EQ(S_OK, card.document.ReadCard(input)) << step << ": " << card.Why();
        EXPECT_EQ(CardVersion::V21, card.document.GetVersion()) << step;
        EXPECT_TRUE(whole.Dump() == card.Dump()) << step;
    }
}

TEST(OlderVersions, Utf16FilesReadAsText)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    const std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xCE\xA9\r\nEND:VCARD\r\n";
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (unsigned char c : text) {
        unsigned int unit = c == 0xCE ? 0x03A9 : c;
        if (c == 0xA9) continue;
        little += (char)(unit & 0xFF), little += (char)(unit >> 8);
        big += (char)(unit >> 8), big += (char)(unit & 0xFF);
    }
    for (const std::string& file : {little, big}) {
        TestCard card;
        ASSERT_EQ(S_OK, card.Load(file)) << card.Why();
        EXPECT_TRUE(card.document.CameFromUtf16());
        EXPECT_EQ(text, card.Save());
        CardFile cards;
        ASSERT_TRUE(cards.Assign(file.data(), file.size()));
        EXPECT_TRUE(cards.CameFromUtf16());
        ASSERT_EQ(1u, cards.CardCount());
        char name[16];
        cards.CardName(0, name, sizeof name);
        EXPECT_STREQ("\xCE\xA9", name);
    }
}

TEST(OlderVersions, CardsOfAnExportAreNamedDecoded)
{
    CodePageScope utf8(CODE_PAGE_UTF8);
    std::string file = Card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=96d=\r\nen;Ann\r\n") +
                       Card("2.1", "FN;CHARSET=ISO-8859-1:J\xF6rg\r\n") +
                       // A head folded before its encoding: decoded as the reader decodes it.
                       Card("2.1", "FN;CHARSET=UTF-8;\r\n ENCODING=QUOTED-PRINTABLE:=C3=9Cte\r\n");
    CardFile cards;
    ASSERT_TRUE(cards.Assign(file.data(), file.size()));
    ASSERT_EQ(3u, cards.CardCount());
    char name[32];
    cards.CardName(0, name, sizeof name);
    EXPECT_STREQ("Ann \xC3\x96" "den", name);
    cards.CardName(1, name, sizeof name);
    EXPECT_STREQ("J\xC3\xB6rg", name);
    cards.CardName(2, name, sizeof name);
    EXPECT_STREQ("\xC3\x9Cte", name);
}

}  // namespace
