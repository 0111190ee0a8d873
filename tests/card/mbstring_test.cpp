// The multibyte string operations, in single-byte and double-byte code pages: a trail
// byte is never taken for a character of its own.
#include "card/mbstring.h"
#include "tests/support/code_page.h"

#include <gtest/gtest.h>

namespace {

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(MbString, CompareAndFindTakeDoubleByteCharactersWhole)
{
    // In code page 932, 0x83 0x5C is one character whose second byte is the code of '\';
    // in 1252 they are two characters, the second one a backslash.
    const char text[] = "a\x83\\b\\;";
    const struct {
        int codePage;
        const char* a;
        const char* b;
        int sign;  // of MbsCompareNoCase(a, b)
    } compares[] = {{1252, "", "", 0},     {1252, "Sort-As", "SORT-AS", 0}, {1252, "a", "", 1},  {1252, "abc", "abd", -1},
                    {1252, "TEL", "TELEPHONE", -1}, {1252, "[", "a", -1},
                    {1252, "\x82" "a", "\x82" "A", 0},  // two characters differing in case
                    {932, "\x82" "a", "\x82" "A", 1},   // one character each, and different
                    {932, "x\x82" "a", "X\x82" "a", 0},
                    // UTF-8: ASCII folds, nothing else does; no byte takes the next one along.
                    {65001, "Sort-As", "SORT-AS", 0}, {65001, "X-\xC3\xA9", "x-\xC3\xA9", 0},
                    {65001, "\xC3\x89", "\xC3\xA9", -1}, {65001, "\x82" "a", "\x82" "A", 0},
                    {65001, "\xCE\xB1", "\xCE", 1}};
    for (const auto& row : compares) {
        CodePageScope codePage(row.codePage);
        ASSERT_TRUE(codePage.Switched());
        EXPECT_EQ(row.sign, Sign(MbsCompareNoCase(row.a, row.b))) << row.codePage << " " << row.a << " / " << row.b;
    }
    const struct {
        int codePage;
        unsigned int c;
        int at;  // -1 for not found
    } finds[] = {{1252, '\\', 2}, {1252, ';', 5}, {1252, ':', -1}, {932, '\\', 4}, {932, ';', 5},
                 {65001, '\\', 2}, {65001, ';', 5}, {65001, 0x83, 1}};
    for (const auto& row : finds) {
        CodePageScope codePage(row.codePage);
        EXPECT_EQ(row.at < 0 ? nullptr : text + row.at, MbsFindChar(text, row.c)) << row.codePage << " " << row.c;
    }
    const struct {
        int codePage;
        unsigned char c;
        bool lead;
    } bytes[] = {{1252, 0x83, false}, {932, 0x83, true}, {932, 0xE0, true}, {932, 0xA5, false},  // half-width katakana
                 {936, 0xA5, true},   {949, 0x81, true}, {950, 0xFE, true}, {950, 0x7F, false},
                 {65001, 0xC3, false}, {65001, 0xE3, false}, {65001, 0x83, false}};
    for (const auto& row : bytes) {
        CodePageScope codePage(row.codePage);
        EXPECT_EQ(row.lead, MbsIsLeadByte(row.c)) << row.codePage << " " << (int)row.c;
    }
}

TEST(MbString, TextCutToFitEndsAfterAWholeCharacter)
{
    const struct {
        int codePage;
        const char* text;
        size_t size;  // of the buffer, terminator included
        size_t fit;
    } rows[] = {{1252, "abc", 0, 0},  {1252, "abc", 4, 3},   {1252, "abc", 3, 2},  {1252, "a\xCE\xB1", 3, 2},
                {65001, "a\xCE\xB1", 3, 1},            // not half of alpha
                {65001, "a\xCE\xB1", 4, 3},            {65001, "\xE4\xB8\x80\xE4\xB8\x80", 6, 3},
                {65001, "\xF0\x9F\x98\x80z", 4, 0},  {65001, "x\x80\x80\x80\x80y", 4, 3},  // no sequence to keep
                {932, "a\x83\\b", 3, 1},             {932, "a\x83\\b", 4, 3},
                {932, "\x83\x83\x83\x83", 4, 2}};     // a trail byte that looks like a lead byte
    for (const auto& row : rows) {
        CodePageScope codePage(row.codePage);
        EXPECT_EQ(row.fit, MbsFitLength(row.text, row.size)) << row.codePage << " " << row.text << " " << row.size;
    }
}

}  // namespace
