// Through the real program under Wine: New, a drop from Explorer, the recent files and the
// window's place across a restart, and a path too long to hold refused in words.
#include "tests/support/node_counter.h"
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

using namespace ui;

const char CARD[] = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\nEND:VCARD\r\n";
const char CAPTION[] = "Oskan vCard Editor";

// A drop from Explorer: the DROPFILES block and the wide names after it, posted.
void Drop(HWND window, const Names& paths)
{
    std::wstring names;
    for (const std::string& path : paths) names += std::wstring(path.begin(), path.end()) + L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
    DROPFILES* drop = (DROPFILES*)GlobalLock(memory);
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, names.c_str(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    PostMessageW(window, WM_DROPFILES, (WPARAM)memory, 0);
    Pump(200);
}

// The recent files as the Actions menu shows them.
Names RecentOnMenu(const Editor& editor)
{
    Names items;
    HMENU actions = GetSubMenu(GetMenu(editor.Window()), 0);
    for (UINT id = ID_FILE_RECENT_FIRST; id < ID_FILE_RECENT_FIRST + 8; ++id) {
        char text[MAX_PATH] = "";
        if (GetMenuStringA(actions, id, text, sizeof text, MF_BYCOMMAND) > 0) items.push_back(text);
    }
    return items;
}

// Alt+T, then (once the menu is up, and photographed when asked) Down and the item's key.
// A menu still open a while later is closed, so that the test fails rather than hangs.
inline char menuKey = 0;
inline std::string menuPhoto;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    EndMenu();
}
void CALLBACK TypeIntoMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) return;
    KillTimer(nullptr, timer);
    if (!menuPhoto.empty()) ScreenshotOver(menu, menuPhoto);
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageA(menu, WM_CHAR, (WPARAM)menuKey, 1);
    SetTimer(nullptr, 0, 2000, CloseMenu);
}
void ChooseWithKeys(const Editor& editor, char key, const std::string& photo = "")
{
    menuKey = key;
    menuPhoto = photo;
    SetTimer(nullptr, 0, photo.empty() ? 50 : 300, TypeIntoMenu);
    PostMessageA(editor.Window(), WM_SYSCOMMAND, SC_KEYMENU, 't');
    Pump(600);
}

// The program's key is cleaned before each test (a build's tests run one by one).
class FileHabitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, PROGRAM_KEY);
        WriteBytes(a, CARD);
        WriteBytes(b, CARD);
    }

    static constexpr const char* PROGRAM_KEY = "Software\\Oskan\\Oskan vCard Editor";
    TempFolder folder;
    std::string a = folder / "a.vcf", b = folder / "b & c.vcf";
};

TEST_F(FileHabitsTest, NewAsksAboutChangesThenGivesTheEmptyCardOfAStart)
{
    Editor editor(a);
    ASSERT_TRUE(editor.Select("FN"));
    editor.Type(IDC_VALUE_EDIT, "!");
    Answers answers("Cancel No");
    editor.Menu(ID_FILE_NEW);
    EXPECT_EQ(std::string(CAPTION) + " - a.vcf", editor.Title());
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);  // Ctrl held down while N is pressed
    editor.Press('N');
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(2u, answers.shown.size());
    EXPECT_EQ(CAPTION, editor.Title());
    EXPECT_TRUE(editor.TreeItems().empty());
}

// A card of thousands of items leaves the screen at once, for New or an Undo that reads it
// again, and its nodes go a little later, while the editor waits for input.
TEST_F(FileHabitsTest, ALargeCardLeavesTheScreenAtOnceAndItsNodesGoLater)
{
    std::string text = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Many\r\n";
    for (int i = 0; i < 1500; ++i) {
        std::string n = std::to_string(i);
        text += "g" + n + ".TEL:" + n + "\r\ng" + n + ".X-ABLABEL:work\r\nNOTE:" + n + "\r\n";
    }
    WriteBytes(a, text + "END:VCARD\r\n");
    NodeCounter counter;
    Editor editor(a);
    const long oneCard = counter.Alive();
    ASSERT_EQ(6002u, editor.TreeItems().size());
    auto emptiedSoon = [&](long alive) {
        for (DWORD start = GetTickCount(); counter.Alive() != alive && GetTickCount() - start < 30000;) Pump(50);
        return counter.Alive() == alive && editor.Item(IDC_RETIRED_TREE) == nullptr;
    };

    Answers answers("Yes");
    SendMessageA(editor.Window(), WM_COMMAND, IDC_UNDO, 0);
    EXPECT_EQ(6002u, editor.TreeItems().size()) << "the card read again is on screen";
    HWND retired = editor.Item(IDC_RETIRED_TREE);
    ASSERT_NE(nullptr, retired);
    EXPECT_FALSE(IsWindowVisible(retired));
    EXPECT_EQ(2 * oneCard, counter.Alive()) << "the card that was on screen is emptied later";
    EXPECT_TRUE(emptiedSoon(oneCard));

    SendMessageA(editor.Window(), WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_EQ(CAPTION, editor.Title());
    EXPECT_TRUE(editor.TreeItems().empty());
    EXPECT_TRUE(editor.IsVisible(IDC_PROPERTY_TREE));
    EXPECT_EQ(oneCard, counter.Alive());
    EXPECT_TRUE(emptiedSoon(0));
}

TEST_F(FileHabitsTest, DropOpensTheFirstFileAndNamesTheOthers)
{
    Answers answers("OK");
    Editor editor(a);
    Drop(editor.Window(), {b, a, folder / "c.vcf"});
    EXPECT_EQ(std::string(CAPTION) + " - b & c.vcf", editor.Title());
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_NE(std::string::npos, answers.shown[0].text.find("\n" + a + "\n" + folder / "c.vcf")) << answers.shown[0].text;
}

TEST_F(FileHabitsTest, RecentFilesOutliveTheProgramAndLoseAFileThatNoLongerOpens)
{
    for (const std::string& path : {a, b}) Editor opened(path);
    {
        Editor editor;
        Names recent = RecentOnMenu(editor);
        ASSERT_EQ(2u, recent.size());
        EXPECT_NE(std::string::npos, recent[0].find("b && c.vcf")) << "an '&' of the name shows as itself";
        ChooseWithKeys(editor, '2', "actions-menu-recent-files");
        EXPECT_EQ(std::string(CAPTION) + " - a.vcf", editor.Title());
    }
    DeleteFileA(b.c_str());
    Answers answers("OK");
    Editor editor;
    ChooseWithKeys(editor, '2');
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_NE(std::string::npos, answers.shown[0].text.find(b));
    EXPECT_EQ(1u, RecentOnMenu(editor).size());
}

TEST_F(FileHabitsTest, WindowReturnsWhereItWasUnlessThatIsOffEveryMonitor)
{
    RECT start = {}, rect = {};
    {
        Editor editor;
        GetWindowRect(editor.Window(), &start);
        SetWindowPos(editor.Window(), nullptr, start.left + 140, start.top + 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    {
        Editor editor;
        GetWindowRect(editor.Window(), &rect);
        EXPECT_EQ(std::make_pair(start.left + 140, start.top + 90), std::make_pair(rect.left, rect.top));
        SetWindowPos(editor.Window(), nullptr, -30000, -30000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    Editor editor;
    GetWindowRect(editor.Window(), &rect);
    EXPECT_EQ(std::make_pair(start.left, start.top), std::make_pair(rect.left, rect.top));
}

TEST_F(FileHabitsTest, PathTooLongToHoldIsRefusedByName)
{
    std::string tooLong = folder / (std::string(270, 'x') + ".vcf");
    SHSetValueA(HKEY_CURRENT_USER, (std::string(PROGRAM_KEY) + "\\Recent File List").c_str(), "File1", REG_SZ,
                tooLong.c_str(), (DWORD)tooLong.size() + 1);
    Answers answers("OK OK OK");
    Editor editor("\"" + tooLong + "\"");
    Drop(editor.Window(), {tooLong});
    ChooseWithKeys(editor, '1');
    ASSERT_EQ(3u, answers.shown.size());
    for (const Shown& box : answers.shown) EXPECT_NE(std::string::npos, box.text.find("\n" + tooLong)) << box.text;
    EXPECT_EQ(CAPTION, editor.Title());
    EXPECT_TRUE(RecentOnMenu(editor).empty());
}

}  // namespace
