// A file of several cards in the editor: the picker, the title, a save that rewrites
// only the open card, Undo of that card, and a picker cancelled.
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

// What stands before and after the second card, and the card itself; LF and CR LF both.
const std::string BEFORE = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Archer\r\nEND:VCARD\r\n\r\n";
const std::string SECOND = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bob Baker\r\nNOTE:x\r\nEND:VCARD\r\n";
const std::string AFTER = "not a card\nBEGIN:VCARD\nVERSION:4.0\nN:Carter;Cid\nEND:VCARD\n";

// Acts on the card picker as soon as it is shown: types into its list, photographs it
// and presses a key. Runs from a timer, which the picker's own message loop serves.
struct PickerHand {
    static inline std::string typing;
    static inline UINT key = VK_RETURN;
    static inline int rows = -1;
    static inline int selected = -1;
    static inline std::string firstName;
    static inline bool typed = false;

    static void Expect(const std::string& type, UINT press)
    {
        typing = type;
        key = press;
        rows = selected = -1;
        typed = false;
        SetTimer(nullptr, 0, 40, Tick);
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
    {
        HWND picker = FindWindowA("#32770", "Choose a card");
        if (picker == nullptr || !IsWindowVisible(picker)) return;
        HWND list = GetDlgItem(picker, IDC_CARD_LIST);
        if (!typed) {
            // The next tick looks at the outcome, once the list has painted it.
            typed = true;
            for (char c : typing) SendMessageA(list, WM_CHAR, (WPARAM)(unsigned char)c, 1);
            return;
        }
        KillTimer(nullptr, timer);
        rows = ListView_GetItemCount(list);
        char name[64] = "";
        ListView_GetItemText(list, 0, 1, name, sizeof name);
        firstName = name;
        selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
        if (key == VK_RETURN) {
            RedrawWindow(picker, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME | RDW_INVALIDATE);
            RECT rect = {};
            GetWindowRect(picker, &rect);
            SaveScreen(rect, "card-picker");
        }
        PostMessageA(list, WM_KEYDOWN, key, 1);
        PostMessageA(list, WM_KEYUP, key, (LPARAM)0xC0000001);
    }
};

TEST(CardPickerTest, OneCardOfAFileIsEditedAndSavedInItsPlace)
{
    Answers::drivenElsewhere.insert("Choose a card");
    TempFolder folder;
    std::string path = folder / "contacts.vcf";
    WriteBytes(path, BEFORE + SECOND + AFTER);

    // Typing "bo" finds the second card; Enter opens it.
    PickerHand::Expect("bo", VK_RETURN);
    Editor editor(path);
    ASSERT_TRUE(PumpUntil([&] { return editor.Title().find('[') != std::string::npos; }));
    EXPECT_EQ(3, PickerHand::rows);
    EXPECT_EQ("Ann Archer", PickerHand::firstName);
    EXPECT_EQ(1, PickerHand::selected);
    EXPECT_EQ("Oskan vCard Editor - contacts.vcf [2/3]", editor.Title());
    EXPECT_EQ((Names{"VERSION", "FN", "NOTE"}), editor.TreeItems());
    editor.Screenshot("card-of-several");

    // The edited card goes back in its place; every other byte stays.
    ASSERT_TRUE(editor.Select("FN"));
    editor.Type(IDC_VALUE_EDIT, " Jr");
    editor.Click(IDC_SAVE);
    std::string saved = ReadBytes(path);
    EXPECT_EQ(BEFORE + "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bob Baker Jr\r\nNOTE:x\r\nEND:VCARD\r\n" + AFTER, saved);

    // A second save after more changes: the other cards still as they were read.
    ASSERT_TRUE(editor.Select("NOTE"));
    editor.Type(IDC_VALUE_EDIT, "y");
    editor.Click(IDC_SAVE);
    EXPECT_EQ(BEFORE + "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bob Baker Jr\r\nNOTE:xy\r\nEND:VCARD\r\n" + AFTER,
              ReadBytes(path));

    // Undo reloads this card, without asking which.
    editor.Type(IDC_VALUE_EDIT, "z");
    {
        Answers answers("Yes");
        editor.Click(IDC_UNDO);
        EXPECT_EQ("All the changes will be lost!", answers.Lines());
    }
    EXPECT_EQ("Oskan vCard Editor - contacts.vcf [2/3]", editor.Title());
    ASSERT_TRUE(editor.Select("NOTE"));
    EXPECT_EQ("xy", editor.ItemText(IDC_VALUE_EDIT));

    // Another file whose picker is left with Escape: the open card stays, title and all.
    std::string other = folder / "other.vcf";
    WriteBytes(other, AFTER + BEFORE);
    PickerHand::Expect("", VK_ESCAPE);
    {
        Answers answers("file:" + other);
        editor.Click(IDC_OPEN);
        ASSERT_TRUE(PumpUntil([] { return PickerHand::rows >= 0; }));
        Pump(200);
    }
    EXPECT_EQ(2, PickerHand::rows);
    EXPECT_EQ("Cid Carter", PickerHand::firstName);
    EXPECT_EQ("Oskan vCard Editor - contacts.vcf [2/3]", editor.Title());
    EXPECT_EQ((Names{"VERSION", "FN", "NOTE"}), editor.TreeItems());
}

}  // namespace
