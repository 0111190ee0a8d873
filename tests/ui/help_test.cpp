// Help: where the program looks for its help file, the help window opened and closed
// with the program, and a missing help file reported.
#include "services/messages.h"
#include "tests/support/ui_driver.h"
#include "ui/help.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

TEST(HelpTest, HelpFileNameChangesOnlyTheProgramsExtension)
{
    struct Row {
        const wchar_t* program;
        const wchar_t* help;  // null: no help file to look for
    } rows[] = {
        {L"C:\\Program Files\\Oskan\\vcardedit.exe", L"C:\\Program Files\\Oskan\\vcardedit.chm"},
        {L"C:\\tools.v2\\vcardedit.exe", L"C:\\tools.v2\\vcardedit.chm"},
        {L"C:\\tools.v2\\vcardedit", nullptr},
        {L"C:\\a\\b.c.exe", L"C:\\a\\b.c.chm"},
        {L"vcardedit.exe", L"vcardedit.chm"},
    };
    for (const Row& row : rows) {
        wchar_t help[MAX_PATH] = L"";
        bool found = HelpPathFor(row.program, help, MAX_PATH);
        EXPECT_EQ(row.help != nullptr, found) << (const void*)row.program;
        if (row.help != nullptr) {
            EXPECT_STREQ(row.help, help);
        }
    }
    wchar_t small[8] = L"";
    EXPECT_FALSE(HelpPathFor(L"C:\\x.exe", small, 8)) << "no room for the terminator";
    EXPECT_TRUE(HelpPathFor(L"C:\\x.exe", small, 9));
}

bool HelpWindowShown()
{
    return FindWindowA("HH Parent", nullptr) != nullptr;
}

TEST(HelpTest, OpensFromTheHelpButton)
{
    Answers answers;
    Editor editor;
    editor.Click(IDC_HELP_CONTENTS);
    EXPECT_TRUE(PumpUntil(HelpWindowShown));
    EXPECT_TRUE(answers.shown.empty());
}

TEST(HelpTest, EveryHelpWindowIsClosedBeforeTheHelpControlIsLetGo)
{
    // A help window without an owner does not go with the main window: shut-down has to
    // close it, or the control's code would be unloaded under a live window.
    Answers answers;
    Editor editor;
    ShowHelp(nullptr);
    ASSERT_TRUE(PumpUntil(HelpWindowShown));
    CloseHelp();
    Pump(100);
    EXPECT_FALSE(HelpWindowShown());
}

TEST(HelpTest, MissingHelpFileIsReportedOverTheMainWindow)
{
    // As a program copied without its help file.
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string help = std::string(program, strrchr(program, '.')) + ".chm";
    std::string aside = help + ".aside";
    ASSERT_TRUE(MoveFileA(help.c_str(), aside.c_str())) << help;
    Answers answers("OK");
    {
        Editor editor;
        editor.Click(IDC_HELP_CONTENTS);
        EXPECT_TRUE(editor.IsRunning());
    }
    MoveFileA(aside.c_str(), help.c_str());
    ASSERT_EQ(1u, answers.shown.size());
    char expected[256] = "";
    LoadTextString(IDS_HELP_NO_FILE, expected, (int)sizeof expected);
    EXPECT_EQ(expected, answers.shown[0].text);
    EXPECT_TRUE(answers.shown[0].hasOwner);
}

}  // namespace
