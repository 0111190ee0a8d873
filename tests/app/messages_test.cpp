// Message composition: body, code line and pending detail, their order and their limits.
#include "app/messages.h"

#include "tests/support/card_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

namespace {

// The text ComposeMessage builds, or "<nothing>" when it would show nothing.
std::string Composed(HRESULT code, int id, ...)
{
    va_list arguments;
    va_start(arguments, id);
    char* text = ComposeMessage(code, id, arguments);
    va_end(arguments);
    if (text == nullptr) return "<nothing>";
    std::string result = text;
    free(text);
    return result;
}

std::string SystemText(HRESULT code)
{
    char* text = GetSystemText(code);
    std::string result = text != nullptr ? text : "";
    FreeSystemText(text);
    return result;
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override { TakePendingDetail(); }
    void TearDown() override { TakePendingDetail(); }
};

TEST_F(Messages, StringTableTextsAreExact)
{
    char text[512];
    EXPECT_EQ(18, LoadTextString(IDS_CAPTION, text, sizeof text));
    EXPECT_STREQ("Oskan vCard Editor", text);
    LoadTextString(IDS_SAVE_CHANGES, text, sizeof text);
    EXPECT_STREQ("The changes in current \n%s\nwill be lost!\nDo you want to save it NOW ?", text);
    LoadTextString(IDS_CONFIRM_DELETE, text, sizeof text);
    EXPECT_STREQ("Are you sure you want to DELETE the \"%s\" ?", text);
    LoadTextString(IDS_CANNOT_OPEN, text, sizeof text);
    EXPECT_STREQ("Cannot open vCard file\r\n'%s'", text);
    LoadTextString(IDS_DETAIL_MISSING_COLON, text, sizeof text);
    EXPECT_STREQ("Syntax error at line %d [missing ':']:\n%s", text);
    for (int id = 1; id <= 28; ++id) {
        EXPECT_GT(LoadTextString(id, text, sizeof text), 0) << id;
    }
    EXPECT_EQ(0, LoadTextString(29, text, sizeof text));
}

TEST_F(Messages, CodeLineWithoutBody)
{
    EXPECT_EQ("\n[0x80004005] " + SystemText(E_FAIL), Composed(E_FAIL, 0));
    EXPECT_FALSE(SystemText(E_FAIL).empty());
}

TEST_F(Messages, NoCodeLineForCodeZero)
{
    EXPECT_EQ("Cannot delete file a.vcf", Composed(0, IDS_CANNOT_DELETE, "a.vcf"));
    EXPECT_EQ("", Composed(0, 0));
}

TEST_F(Messages, UnknownCodeStillShowsTheCode)
{
    EXPECT_EQ("Cannot save vCard file x\n[0x80041234] ", Composed((HRESULT)0x80041234u, IDS_CANNOT_SAVE, "x"));
}

TEST_F(Messages, FailedLoadShowsBodyCodeAndDetailOnce)
{
    TestCard card;
    ASSERT_EQ(E_FAIL, card.Load("BEGIN:VCARD\r\nFN:x\r\nX-BROKEN\r\n"));
    // TestCard took the detail; put it back as the reader left it.
    SetPendingDetail(IDS_DETAIL_MISSING_COLON, 2, "X-BROKEN");
    EXPECT_EQ("Not a valid vCard file C:\\cards\\a.vcf\n[0x80004005] " + SystemText(E_FAIL) +
                  "\nSyntax error at line 2 [missing ':']:\nX-BROKEN",
              Composed(E_FAIL, IDS_NOT_VALID_FILE, "C:\\cards\\a.vcf"));
    // The detail is used up: the next message has none.
    EXPECT_EQ("Not a valid vCard file b\n[0x80004005] " + SystemText(E_FAIL),
              Composed(E_FAIL, IDS_NOT_VALID_FILE, "b"));
}

TEST_F(Messages, ValidationDetailWithoutCodeLine)
{
    SetPendingDetail(IDS_DETAIL_FN_MISSING);
    EXPECT_EQ("The vCard data is not valid.\nFN property must exist", Composed(0, IDS_CARD_NOT_VALID));
}

TEST_F(Messages, NewDetailReplacesTheOld)
{
    SetPendingDetail(IDS_DETAIL_VERSION_FIRST);
    EXPECT_EQ(22, SetPendingDetail(IDS_DETAIL_FN_MISSING));
    EXPECT_EQ("\nFN property must exist", Composed(0, 0));
}

TEST_F(Messages, BodyThatDoesNotFitShowsNothingAndKeepsTheDetail)
{
    SetPendingDetail(IDS_DETAIL_FN_MISSING);
    std::string path(2048, 'p');
    EXPECT_EQ("<nothing>", Composed(E_FAIL, IDS_CANNOT_DELETE, path.c_str()));
    EXPECT_EQ("FN property must exist", TakePendingDetail());
    // The longest body that fits: 2,047 bytes.
    std::string fits(2047 - strlen("Cannot delete file "), 'p');
    EXPECT_EQ(2047u, Composed(0, IDS_CANNOT_DELETE, fits.c_str()).size());
}

TEST_F(Messages, LongDetailIsCut)
{
    std::string line(3000, 'x');
    int length = SetPendingDetail(IDS_DETAIL_MISSING_COLON, 7, line.c_str());
    EXPECT_EQ(2047, length);
    std::string text = Composed(0, 0);
    EXPECT_EQ(2047u, text.size());
    EXPECT_EQ(0u, text.find("\nSyntax error at line 7 [missing ':']:\nxxx"));
}

TEST_F(Messages, CodeLineThatDoesNotFitGivesWayToTheDetail)
{
    // A body that leaves 10 bytes and the terminator: too few for the code line, enough for part of the detail.
    std::string path(2047 - 10 - strlen("Cannot delete file "), 'p');
    std::string body = "Cannot delete file " + path;
    SetPendingDetail(IDS_DETAIL_FN_MISSING);
    EXPECT_EQ(body + "\nFN proper", Composed(E_FAIL, IDS_CANNOT_DELETE, path.c_str()));

    // Without a detail the code line stays, cut at the limit.
    std::string cut = Composed(E_FAIL, IDS_CANNOT_DELETE, path.c_str());
    EXPECT_EQ(2047u, cut.size());
    EXPECT_EQ(body + "\n[0x800040", cut);
}

}  // namespace
