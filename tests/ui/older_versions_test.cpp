// Exports of phones and of Outlook in the editor: a vCard 2.1 file of several cards whose
// names are quoted-printable UTF-8, and an Outlook card with a quoted-printable LABEL, are
// shown decoded, edited and saved in 2.1, every other card byte for byte.
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

// Chooses a row of the card picker as soon as it shows, from a timer that the picker's
// own message loop serves.
struct RowPicker {
    static inline int row = 0;
    static inline bool chose = false;

    static void Expect(int wanted)
    {
        row = wanted;
        chose = false;
        SetTimer(nullptr, 0, 40, Tick);
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
    {
        HWND picker = FindWindowA("#32770", "Choose a card");
        if (picker == nullptr || !IsWindowVisible(picker)) return;
        KillTimer(nullptr, timer);
        HWND list = GetDlgItem(picker, IDC_CARD_LIST);
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        chose = true;
        PostMessageA(list, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(list, WM_KEYUP, VK_RETURN, (LPARAM)0xC0000001);
    }
};

// An Android export: a Greek name, a Japanese one with a Greek and Japanese note of two
// lines (its soft breaks where Android puts them), and a card in ASCII.
const std::string GREEK_CARD =
    "BEGIN:VCARD\r\nVERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=CE=A0=CE=B1=CF=80=CE=B1=CE=B4=CE=BF=CF=80=CE=BF=CF=8D=CE=BB=CE=BF=CF=85;=\r\n"
    "=CE=9C=CE=B1=CF=81=CE=AF=CE=B1;;;\r\n"
    "TEL;CELL:+30 210 555 0100\r\nEND:VCARD\r\n";
const std::string JAPANESE_CARD =
    "BEGIN:VCARD\r\nVERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94=B0;=E5=A4=AA=E9=83=8E;;;\r\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94=B0 =\r\n=E5=A4=AA=E9=83=8E\r\n"
    "TEL;WORK;VOICE:+81 3 5555 0100\r\n"
    "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=CE=95=CE=BB=CE=BB=CE=B7=CE=BD=CE=B9=CE=BA=CE=AC =CE=BA=CE=B1=CE=B9 =\r\n"
    "=E6=97=A5=E6=9C=AC=E8=AA=9E=0D=0A=E4=BA=8C=E8=A1=8C=E7=9B=AE\r\n"
    "END:VCARD\r\n";
const std::string ASCII_CARD = "BEGIN:VCARD\nVERSION:2.1\nFN:Ann Archer\nEND:VCARD\n";

TEST(OlderVersionsTest, AndroidExportShowsDecodedAndSavesTheCardIn21)
{
    Answers::drivenElsewhere.insert("Choose a card");
    TempFolder folder;
    std::string path = folder / "android.vcf";
    WriteBytes(path, GREEK_CARD + JAPANESE_CARD + ASCII_CARD);

    RowPicker::Expect(1);
    Editor editor(path);
    ASSERT_TRUE(PumpUntil([&] { return editor.Title().find('[') != std::string::npos; }));
    EXPECT_TRUE(RowPicker::chose);
    EXPECT_EQ("Oskan vCard Editor - android.vcf [2/3] (vCard 2.1)", editor.Title());
    EXPECT_EQ((Names{"VERSION", "N", "FN", "TEL", "NOTE"}), editor.TreeItems());
    ASSERT_TRUE(editor.Select("NOTE"));
    EXPECT_EQ("\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC \xCE\xBA\xCE\xB1\xCE\xB9 "
              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\r\n\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE",
              editor.ItemText(IDC_VALUE_EDIT));
    editor.Screenshot("v21-greek-japanese-note");
    ASSERT_TRUE(editor.Select("N"));
    editor.Screenshot("v21-japanese-name");
    ASSERT_TRUE(editor.Select("FN"));
    EXPECT_EQ("\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E", editor.ItemText(IDC_VALUE_EDIT));

    // Typed text is text: the save encodes it with the rest, in 2.1, in the card's place.
    editor.Type(IDC_VALUE_EDIT, " Jr");
    editor.Click(IDC_SAVE);
    const std::string saved =
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94=B0;=E5=A4=AA=E9=\r\n=83=8E;;;\r\n"
        "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94=B0 =E5=A4=AA=E9=\r\n=83=8E Jr\r\n"
        "TEL;WORK;VOICE:+81 3 5555 0100\r\n"
        "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=CE=95=CE=BB=CE=BB=CE=B7=CE=BD=\r\n"
        "=CE=B9=CE=BA=CE=AC =CE=BA=CE=B1=CE=B9 =E6=97=A5=E6=9C=AC=E8=AA=9E=0D=0A=E4=\r\n"
        "=BA=8C=E8=A1=8C=E7=9B=AE\r\nEND:VCARD\r\n";
    EXPECT_EQ(GREEK_CARD + saved + ASCII_CARD, ReadBytes(path));
    EXPECT_EQ(0, system(("Z:" VCARDTOOL " check --card 2 " + path).c_str()));

    // The Greek card, chosen from the picker of the saved file, shows its name decoded.
    RowPicker::Expect(0);
    {
        Answers answers("file:" + path);
        editor.Click(IDC_OPEN);
        ASSERT_TRUE(PumpUntil([&] { return editor.Title().find("[1/3]") != std::string::npos; }));
    }
    ASSERT_TRUE(editor.Select("N"));
    editor.Screenshot("v21-greek-name");
}

TEST(OlderVersionsTest, OutlookLabelIsEditedAsTextAndSavedQuotedPrintable)
{
    TempFolder folder;
    std::string path = folder / "outlook.vcf";
    const std::string head =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nFN:John Doe\r\nORG:Example Corp.\r\n"
        "TEL;WORK;VOICE:(111) 555-1212\r\nADR;WORK:;;100 Waters Edge;Baytown;LA;30314;United States of America\r\n";
    const std::string tail = "EMAIL;PREF;INTERNET:john@example.com\r\nREV:20080424T195243Z\r\nEND:VCARD\r\n";
    WriteBytes(path, head +
                         "LABEL;WORK;ENCODING=QUOTED-PRINTABLE:100 Waters Edge=0D=0ABaytown, LA 30314=0D=0AUnited St=\r\n"
                         "ates of America\r\n" +
                         tail);
    Editor editor(path);
    EXPECT_EQ("Oskan vCard Editor - outlook.vcf (vCard 2.1)", editor.Title());
    ASSERT_TRUE(editor.Select("LABEL"));
    EXPECT_EQ("100 Waters Edge\r\nBaytown, LA 30314\r\nUnited States of America", editor.ItemText(IDC_VALUE_EDIT));
    editor.Type(IDC_VALUE_EDIT, " (Suite 5)");
    editor.Click(IDC_SAVE);
    EXPECT_EQ(head +
                  "LABEL;WORK;ENCODING=QUOTED-PRINTABLE:100 Waters Edge=0D=0ABaytown, LA 30314=\r\n"
                  "=0D=0AUnited States of America (Suite 5)\r\n" +
                  tail,
              ReadBytes(path));
}

TEST(OlderVersionsTest, SaveAsConvertsACardOfAnExportToANewFileAndSaysWhatChanged)
{
    Answers::drivenElsewhere.insert("Choose a card");
    TempFolder folder;
    std::string path = folder / "android.vcf";
    const std::string original = GREEK_CARD + JAPANESE_CARD + ASCII_CARD;
    WriteBytes(path, original);
    RowPicker::Expect(1);
    Editor editor(path);
    ASSERT_TRUE(PumpUntil([&] { return editor.Title().find('[') != std::string::npos; }));

    // F12; the dialog offers the card's own version first, and the user picks 4.0.
    std::string converted = folder / "yamada.vcf";
    LRESULT offered = -1;
    Answers answers("OK");
    answers.Drive("Choose file to save",
                  {[&](HWND dialog) {
                       HWND types = GetDlgItem(dialog, cmb1);
                       offered = SendMessageA(types, CB_GETCURSEL, 0, 0);
                       // Home in the list of types, as the keyboard chooses the first.
                       SetFocus(types);
                       SendMessageA(types, WM_KEYDOWN, VK_HOME, 1);
                       SendMessageA(types, WM_KEYUP, VK_HOME, (LPARAM)0xC0000001);
                   },
                   [&](HWND dialog) {
                       EXPECT_EQ(0, SendMessageA(GetDlgItem(dialog, cmb1), CB_GETCURSEL, 0, 0));
                       SetDlgItemTextA(dialog, FileNameField(dialog), converted.c_str());
                   },
                   [](HWND dialog) { ClickButton(dialog, IDOK); }});
    answers.ScreenshotNextBox("save-as-report");
    editor.Press(VK_F12);
    ASSERT_TRUE(PumpUntil([&] { return editor.Title().find("yamada") != std::string::npos; }));
    EXPECT_EQ(2, offered);  // vCard 2.1
    EXPECT_EQ("Oskan vCard Editor - yamada.vcf", editor.Title());
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_NE(std::string::npos, answers.shown[0].text.find("was saved as vCard 4.0")) << answers.shown[0].text;
    EXPECT_NE(std::string::npos, answers.shown[0].text.find("CHARSET=UTF-8 removed")) << answers.shown[0].text;

    std::string saved = ReadBytes(converted);
    EXPECT_EQ(0u, saved.find("BEGIN:VCARD\r\nVERSION:4.0\r\n")) << saved;
    EXPECT_EQ(std::string::npos, saved.find("ENCODING")) << saved;
    EXPECT_NE(std::string::npos, saved.find("\r\nFN:\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E\r\n")) << saved;
    EXPECT_EQ(0, system(("Z:" VCARDTOOL " check " + converted).c_str()));
    EXPECT_EQ(original, ReadBytes(path));
}

}  // namespace
