// The About box: the version read from the program's own resource, and its links.
#include "tests/support/ui_driver.h"
#include "ui/about_dialog.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

// What the About box showed, read when it became active; then it is closed with OK.
struct AboutSeen {
    std::string version, mail, web;
};
AboutSeen aboutSeen;
HHOOK aboutHook = nullptr;

LRESULT CALLBACK ReadAndCloseAbout(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = (HWND)wParam;
    if (code == HCBT_ACTIVATE && GetDlgItem(box, IDC_ABOUT_VERSION) != nullptr) {
        char text[256] = "";
        GetDlgItemTextA(box, IDC_ABOUT_VERSION, text, sizeof text);
        aboutSeen.version = text;
        GetDlgItemTextA(box, IDC_ABOUT_MAIL, text, sizeof text);
        aboutSeen.mail = text;
        GetDlgItemTextA(box, IDC_ABOUT_WEB, text, sizeof text);
        aboutSeen.web = text;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(aboutHook, code, wParam, lParam);
}

TEST(AboutTest, ShowsTheVersionFromTheProgramsResourceAndItsLinks)
{
    Editor editor;
    aboutSeen = AboutSeen();
    aboutHook = SetWindowsHookExA(WH_CBT, ReadAndCloseAbout, nullptr, GetCurrentThreadId());
    editor.Menu(ID_HELP_ABOUT);
    UnhookWindowsHookEx(aboutHook);
    EXPECT_EQ("Oskan vCard Editor Version 1.0.01", aboutSeen.version);
    EXPECT_NE(std::string::npos, aboutSeen.mail.find('@'));
    EXPECT_EQ(0u, aboutSeen.web.find("https://"));
    EXPECT_TRUE(editor.IsRunning());
}

TEST(AboutTest, AnAddressGoesToTheMailProgramAndAnythingElseAsItStands)
{
    char target[128] = "";
    ASSERT_TRUE(MakeLinkTarget("jane@example.org", target, sizeof target));
    EXPECT_STREQ("mailto:jane@example.org", target);
    ASSERT_TRUE(MakeLinkTarget("https://www.example.org/", target, sizeof target));
    EXPECT_STREQ("https://www.example.org/", target);
    std::string longText(130, 'a');
    EXPECT_FALSE(MakeLinkTarget(longText.c_str(), target, sizeof target));
    EXPECT_STREQ("", target);
}

}  // namespace
