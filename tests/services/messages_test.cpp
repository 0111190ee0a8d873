// Message composition: body, code line and a refusal's detail, their order and their limits.
#include "services/messages.h"

#include "tests/support/card_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

// The text ComposeMessage builds, or "<nothing>" when it would show nothing.
std::string Composed(HRESULT code, const Refusal* refusal, int id, ...)
{
    va_list arguments;
    va_start(arguments, id);
    char* text = ComposeMessage(code, refusal, id, arguments);
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

TEST(Messages, StringTableTextsAreExact)
{
    // Every entry as the program loads it, on Windows from the generated resource script.
    const std::pair<int, const char*> entries[] = {
#define STRING_ENTRY(id, name, text) {id, text},
#include "res/string_table.h"
#undef STRING_ENTRY
    };
    char text[512];
    for (const auto& entry : entries) {
        EXPECT_EQ((int)strlen(entry.second), LoadTextString(entry.first, text, sizeof text)) << entry.first;
        EXPECT_STREQ(entry.second, text) << entry.first;
    }
    EXPECT_EQ(0, LoadTextString(999, text, sizeof text));  // an id no entry has
}

TEST(Messages, EachStepOfAFailedSaveHasItsMessage)
{
    EXPECT_EQ(IDS_CANNOT_CREATE, SaveFailureMessage(SaveStage::CreateTemporary));
    EXPECT_EQ(IDS_CANNOT_SAVE, SaveFailureMessage(SaveStage::Write));
    EXPECT_EQ(IDS_CANNOT_DELETE, SaveFailureMessage(SaveStage::Replace));
}

TEST(Messages, EachRefusalShowsItsTextWithItsArguments)
{
    using Kind = RefusalKind;
    const struct {
        Refusal refusal;  // kind, line, texts
        const char* detail;
    } rows[] = {
        {{Kind::FirstLine, 0, {"BEGIN:VCARD"}}, "\nFirst line must begin with: BEGIN:VCARD"},
        {{Kind::FirstLineFolded, 0}, "\nFirst line cannot start with a space or have previous empty line"},
        {{Kind::Utf16, 0}, "\nThe file is UTF-16 text: save it as UTF-8 and open it again"},
        {{Kind::MissingColon, 2, {"X-BROKEN"}}, "\nSyntax error at line 2 [missing ':']:\nX-BROKEN"},
        {{Kind::InvalidParameter, 1, {"HOME", "TEL"}}, "\nSyntax error - invalid parameter:\nHOME\nfor TEL"},
        {{Kind::VersionAndFnMissing, 0},
         "\nVERSION property must exist and be the first. Also FN property must be present"},
        {{Kind::VersionNotFirst, 0}, "\nVERSION property must exist and be the first"},
        {{Kind::FnMissing, 0}, "\nFN property must exist"},
        {{Kind::LineBreakInUri, 0, {"URL"}},
         "\nThe value of URL holds a line break, which a URI cannot hold: put it on one line"},
        {{Kind::None, 0}, ""},
    };
    for (const auto& row : rows) EXPECT_EQ(row.detail, Composed(0, &row.refusal, 0));
}

TEST(Messages, CodeLineWithoutBody)
{
    EXPECT_EQ("\n[0x80004005] " + SystemText(E_FAIL), Composed(E_FAIL, nullptr, 0));
    EXPECT_FALSE(SystemText(E_FAIL).empty());
}

TEST(Messages, NoCodeLineForCodeZero)
{
    EXPECT_EQ("Cannot delete file a.vcf", Composed(0, nullptr, IDS_CANNOT_DELETE, "a.vcf"));
    EXPECT_EQ("", Composed(0, nullptr, 0));
}

TEST(Messages, UnknownCodeStillShowsTheCode)
{
    EXPECT_EQ("Cannot save vCard file x\n[0x80041234] ",
              Composed((HRESULT)0x80041234u, nullptr, IDS_CANNOT_SAVE, "x"));
}

TEST(Messages, FailedLoadShowsBodyCodeAndDetail)
{
    TestCard card;
    ASSERT_EQ(E_FAIL, card.Load("BEGIN:VCARD\r\nFN:x\r\nX-BROKEN\r\n"));
    EXPECT_EQ("Not a valid vCard file C:\\cards\\a.vcf\n[0x80004005] " + SystemText(E_FAIL) +
                  "\nSyntax error at line 2 [missing ':']:\nX-BROKEN",
              Composed(E_FAIL, &card.document.LastRefusal(), IDS_NOT_VALID_FILE, "C:\\cards\\a.vcf"));
}

TEST(Messages, BodyThatDoesNotFitShowsNothing)
{
    std::string path(2048, 'p');
    EXPECT_EQ("<nothing>", Composed(E_FAIL, nullptr, IDS_CANNOT_DELETE, path.c_str()));
    // The longest body that fits: 2,047 bytes.
    std::string fits(2047 - strlen("Cannot delete file "), 'p');
    EXPECT_EQ(2047u, Composed(0, nullptr, IDS_CANNOT_DELETE, fits.c_str()).size());
}

TEST(Messages, LongDetailIsCut)
{
    std::string line(3000, 'x');
    Refusal refusal;
    refusal.Set(RefusalKind::MissingColon, 7);
    refusal.SetText(0, line.c_str());
    EXPECT_EQ(2047u, strlen(refusal.texts[0])) << "a text is kept cut";
    std::string text = Composed(0, &refusal, 0);
    EXPECT_EQ(2047u, text.size());
    EXPECT_EQ(0u, text.find("\nSyntax error at line 7 [missing ':']:\nxxx"));
}

TEST(Messages, CodeLineThatDoesNotFitGivesWayToTheDetail)
{
    // A body that leaves 10 bytes and the terminator: too few for the code line, enough for part of the detail.
    std::string path(2047 - 10 - strlen("Cannot delete file "), 'p');
    std::string body = "Cannot delete file " + path;
    Refusal refusal;
    refusal.Set(RefusalKind::FnMissing, 0);
    EXPECT_EQ(body + "\nFN proper", Composed(E_FAIL, &refusal, IDS_CANNOT_DELETE, path.c_str()));

    // Without a detail the code line stays, cut at the limit.
    std::string cut = Composed(E_FAIL, nullptr, IDS_CANNOT_DELETE, path.c_str());
    EXPECT_EQ(2047u, cut.size());
    EXPECT_EQ(body + "\n[0x800040", cut);
}

}  // namespace
