// The multibyte string operations, in a single-byte and in a double-byte code page.
#include "card/mbstring.h"
#include "tests/support/code_page.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

// A code page for part of a test; it must be one the run-time accepts.
class CodePage : public CodePageScope {
public:
    explicit CodePage(int codePage) : CodePageScope(codePage)
    {
        EXPECT_TRUE(Switched());
        EXPECT_EQ(codePage, MbsGetCodePage());
    }
};

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

struct CompareRow {
    const char* a;
    const char* b;
    int sign;
};

TEST(MbString, CompareFoldsAsciiLetters)
{
    CodePage codePage(1252);
    const CompareRow rows[] = {
        {"", "", 0},           {"abc", "ABC", 0},   {"Sort-As", "SORT-AS", 0},
        {"a", "", 1},          {"", "a", -1},       {"abc", "abd", -1},
        {"TEL", "TELEPHONE", -1}, {"b", "A", 1},    {"[", "a", -1},
    };
    for (const CompareRow& row : rows) {
        EXPECT_EQ(row.sign, Sign(MbsCompareNoCase(row.a, row.b))) << row.a << " / " << row.b;
    }
}

TEST(MbString, FindCharAndTextInSingleByteCodePage)
{
    CodePage codePage(1252);
    const char text[] = "a\x83\\b;c";
    EXPECT_EQ(text + 2, MbsFindChar(text, '\\'));
    EXPECT_EQ(text + 4, MbsFindChar(text, ';'));
    EXPECT_EQ(nullptr, MbsFindChar(text, ':'));
    EXPECT_EQ(nullptr, MbsFindChar("", ':'));
    EXPECT_EQ(text + 2, MbsFindText(text, "\\b"));
    EXPECT_EQ(nullptr, MbsFindText(text, "bc"));
    EXPECT_FALSE(MbsIsLeadByte(0x83));
}

TEST(MbString, TrailByteIsNotADelimiterInDoubleByteCodePage)
{
    CodePage codePage(932);
    EXPECT_TRUE(MbsIsLeadByte(0x83));
    EXPECT_TRUE(MbsIsLeadByte(0xE0));
    EXPECT_FALSE(MbsIsLeadByte('a'));
    EXPECT_FALSE(MbsIsLeadByte(0xA5));  // half-width katakana is single-byte

    // 0x83 0x5C is one character whose second byte is the code of '\'.
    const char text[] = "a\x83\\b\\;";
    EXPECT_EQ(text + 4, MbsFindChar(text, '\\'));
    EXPECT_EQ(text + 5, MbsFindChar(text, ';'));

    // The same bytes in a single-byte code page: the second byte is a backslash.
    CodePage singleByte(1252);
    EXPECT_EQ(text + 2, MbsFindChar(text, '\\'));
}

TEST(MbString, CompareTakesDoubleByteCharactersWhole)
{
    // "\x82" "a" and "\x82" "A" are two different characters in code page 932, but a
    // pair of single-byte characters that differ only in case in code page 1252.
    {
        CodePage codePage(932);
        EXPECT_NE(0, MbsCompareNoCase("\x82" "a", "\x82" "A"));
        EXPECT_EQ(0, MbsCompareNoCase("x\x82" "a", "X\x82" "a"));
    }
    CodePage codePage(1252);
    EXPECT_EQ(0, MbsCompareNoCase("\x82" "a", "\x82" "A"));
}

TEST(MbString, TokenizeSkipsRunsOfDelimiters)
{
    CodePage codePage(1252);
    char head[] = ";;TEL;;TYPE=HOME;";
    EXPECT_STREQ("TEL", MbsTokenize(head, ";"));
    EXPECT_STREQ("TYPE=HOME", MbsTokenize(nullptr, ";"));
    EXPECT_EQ(nullptr, MbsTokenize(nullptr, ";"));

    char onlyDelimiters[] = ";;;";
    EXPECT_EQ(nullptr, MbsTokenize(onlyDelimiters, ";"));
    char empty[] = "";
    EXPECT_EQ(nullptr, MbsTokenize(empty, ";"));
}

TEST(MbString, TokenizeKeepsDoubleByteCharactersWhole)
{
    CodePage codePage(932);
    // 0x83 0x7C is one character whose second byte is the code of '|'.
    char text[] = "a\x83|b|c";
    EXPECT_STREQ("a\x83|b", MbsTokenize(text, "|"));
    EXPECT_STREQ("c", MbsTokenize(nullptr, "|"));
    EXPECT_EQ(nullptr, MbsTokenize(nullptr, "|"));
}

}  // namespace
