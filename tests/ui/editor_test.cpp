// The editor as a user meets it: the program started as its entry point starts it,
// driven through its real controls under Wine, with real files on disk.
#include "app/messages.h"
#include "res/resource.h"
#include "tests/support/ui_driver.h"
#include "ui/main_dialog.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sstream>

namespace {

using ui::DialogAnswers;
using ui::Editor;

const char SAMPLE[] =
    "BEGIN:VCARD\r\n"
    "VERSION:4.0\r\n"
    "KIND:individual\r\n"
    "FN:Jane Q. Doe\r\n"
    "N:Doe;Jane;Quinn;Dr.;PhD\r\n"
    "work.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-0100\r\n"
    "work.ADR;TYPE=WORK:;Suite 4;100 Main Street;Springfield;IL;62701;USA\r\n"
    "home.EMAIL:jane@example.com\r\n"
    "NOTE:Met at the fair\\, booth 12\r\n"
    "END:VCARD\r\n";

const char CAPTION[] = "Oskan vCard Editor";

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// A Unix path as the program sees it under Wine: on drive Z:, with backslashes.
std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// A folder of its own for each test, with the sample card in it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string work = WindowsPath(WORK_DIR);
        CreateDirectoryA(work.c_str(), nullptr);
        folder = work + "\\" + test->name();
        RemoveFolder(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        sample = folder + "\\sample.vcf";
        WriteFile(sample, SAMPLE);
    }

    static void RemoveFolder(const std::string& path)
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveFolder(path + "\\" + name);
                else DeleteFileA((path + "\\" + name).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path.c_str());
    }

    // Files in the folder, by name.
    std::vector<std::string> Files()
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder;
    std::string sample;
};

// ---------------------------------------------------------------- start and the views

TEST_F(EditorTest, StartsWithAnEmptyCardWithoutACommandLine)
{
    DialogAnswers answers;
    Editor editor;
    ASSERT_TRUE(editor.IsRunning());
    EXPECT_EQ(CAPTION, editor.Title());
    EXPECT_TRUE(editor.TreeItems().empty());
    EXPECT_FALSE(editor.IsEnabled(IDC_VALUE_EDIT));
    EXPECT_FALSE(editor.IsEnabled(IDC_PARAMETER_LIST));
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_STREQ("", mainDialog->FilePath());
    EXPECT_TRUE(editor.Screenshot("empty-card"));
}

TEST_F(EditorTest, CommandLineFileIsLoadedAndNamedInTheTitle)
{
    DialogAnswers answers;
    Editor editor(sample);
    EXPECT_EQ(std::string(CAPTION) + " - sample.vcf", editor.Title());
    std::vector<std::string> expected = {"VERSION", "KIND", "FN", "N", "work", "work/TEL", "work/ADR",
                                         "home", "home/EMAIL", "NOTE"};
    EXPECT_EQ(expected, editor.TreeItems());
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
}

TEST_F(EditorTest, QuotedCommandLineAsExplorerPassesIt)
{
    std::string spaced = folder + "\\My Cards";
    CreateDirectoryA(spaced.c_str(), nullptr);
    WriteFile(spaced + "\\a card.vcf", SAMPLE);
    DialogAnswers answers;
    Editor editor("\"" + spaced + "\\a card.vcf\"");
    EXPECT_EQ(std::string(CAPTION) + " - a card.vcf", editor.Title());
    EXPECT_EQ(10u, editor.TreeItems().size());
}

TEST_F(EditorTest, MissingFileOnTheCommandLineGivesAnEmptyCardSilently)
{
    DialogAnswers answers;
    Editor editor(folder + "\\nothing-here.vcf");
    EXPECT_EQ(CAPTION, editor.Title());
    EXPECT_TRUE(editor.TreeItems().empty());
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(EditorTest, NameShowsItsFiveComponents)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("N"));
    EXPECT_TRUE(editor.IsVisible(IDC_COMPONENT_LIST));
    EXPECT_FALSE(editor.IsVisible(IDC_VALUE_EDIT));
    EXPECT_FALSE(editor.IsVisible(IDC_PREDEFINED_VALUES));
    ASSERT_EQ(5, editor.ListRows(IDC_COMPONENT_LIST));
    const char* labels[] = {"Family Name", "Given Name", "Additional Names", "Honorific Prefixes",
                            "Honorific Suffixes"};
    const char* values[] = {"Doe", "Jane", "Quinn", "Dr.", "PhD"};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(labels[row], editor.ListCell(IDC_COMPONENT_LIST, row, 0));
        EXPECT_EQ(values[row], editor.ListCell(IDC_COMPONENT_LIST, row, 1));
    }
    EXPECT_EQ(0, editor.ListRows(IDC_PARAMETER_LIST));
    EXPECT_TRUE(editor.Screenshot("n-selected"));
}

TEST_F(EditorTest, AddressShowsSevenComponentsAndItsType)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("work/ADR"));
    ASSERT_EQ(7, editor.ListRows(IDC_COMPONENT_LIST));
    EXPECT_EQ("POBox", editor.ListCell(IDC_COMPONENT_LIST, 0, 0));
    EXPECT_EQ("", editor.ListCell(IDC_COMPONENT_LIST, 0, 1));
    EXPECT_EQ("Country", editor.ListCell(IDC_COMPONENT_LIST, 6, 0));
    EXPECT_EQ("USA", editor.ListCell(IDC_COMPONENT_LIST, 6, 1));
    ASSERT_EQ(1, editor.ListRows(IDC_PARAMETER_LIST));
    EXPECT_EQ("type", editor.ListCell(IDC_PARAMETER_LIST, 0, 0));
    EXPECT_EQ("WORK", editor.ListCell(IDC_PARAMETER_LIST, 0, 1));
    EXPECT_TRUE(editor.Screenshot("adr-selected"));
}

TEST_F(EditorTest, TelephoneShowsItsValueAndTypeParameters)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("work/TEL"));
    EXPECT_TRUE(editor.IsVisible(IDC_VALUE_EDIT));
    EXPECT_TRUE(editor.IsEnabled(IDC_VALUE_EDIT));
    EXPECT_FALSE(editor.IsVisible(IDC_COMPONENT_LIST));
    EXPECT_EQ("+1-555-0100", editor.ItemText(IDC_VALUE_EDIT));
    EXPECT_TRUE(editor.IsVisible(IDC_PREDEFINED_VALUES));
    EXPECT_FALSE(editor.IsEnabled(IDC_PREDEFINED_VALUES));
    ASSERT_EQ(3, editor.ListRows(IDC_PARAMETER_LIST));
    EXPECT_EQ("type", editor.ListCell(IDC_PARAMETER_LIST, 0, 0));
    EXPECT_EQ("WORK", editor.ListCell(IDC_PARAMETER_LIST, 0, 1));
    EXPECT_EQ("VOICE", editor.ListCell(IDC_PARAMETER_LIST, 1, 1));
    EXPECT_EQ("pref", editor.ListCell(IDC_PARAMETER_LIST, 2, 0));
    EXPECT_EQ("1", editor.ListCell(IDC_PARAMETER_LIST, 2, 1));
    EXPECT_TRUE(editor.Screenshot("tel-selected"));
}

TEST_F(EditorTest, GroupSelectionDisablesTheRightHandSide)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("work/TEL"));
    ASSERT_TRUE(editor.SelectTreeItem("work"));
    EXPECT_FALSE(editor.IsEnabled(IDC_VALUE_EDIT));
    EXPECT_FALSE(editor.IsEnabled(IDC_PARAMETER_LIST));
    EXPECT_FALSE(editor.IsEnabled(IDC_PREDEFINED_VALUES));
    EXPECT_EQ("", editor.ItemText(IDC_VALUE_EDIT));
    EXPECT_EQ(0, editor.ListRows(IDC_PARAMETER_LIST));
    EXPECT_TRUE(editor.Screenshot("group-selected"));
}

TEST_F(EditorTest, ParameterListNamesFurtherValuesOfAnOtherParameter)
{
    WriteFile(sample, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nX-P;X-Q=a,b;X-R=c:v\r\nEND:VCARD\r\n");
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("X-P"));
    ASSERT_EQ(3, editor.ListRows(IDC_PARAMETER_LIST));
    EXPECT_EQ("X-Q", editor.ListCell(IDC_PARAMETER_LIST, 1, 0));
    EXPECT_EQ("b", editor.ListCell(IDC_PARAMETER_LIST, 1, 1));
    EXPECT_EQ("X-R", editor.ListCell(IDC_PARAMETER_LIST, 2, 0));
}

// ---------------------------------------------------------------- editing values

// Presses Down, Down, Enter in the pop-up menu that is open now.
void CALLBACK ChooseSecondMenuItem(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND menu = FindWindowA("#32768", nullptr);
    HWND target = menu != nullptr ? menu : GetFocus();
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, (LPARAM)0xC0000001);
    }
}

TEST_F(EditorTest, TypingStoresTheValueAndEnablesUndoAtTheNextRefresh)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, " Jr");
    EXPECT_EQ("Jane Q. Doe Jr", editor.ItemText(IDC_VALUE_EDIT));
    EXPECT_EQ(1, mainDialog->Document()->IsModified());
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    EXPECT_TRUE(editor.IsEnabled(IDC_UNDO));
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    EXPECT_EQ("Jane Q. Doe Jr", editor.ItemText(IDC_VALUE_EDIT));
}

TEST_F(EditorTest, SelectingShowsValuesWithoutChangingTheCard)
{
    Editor editor(sample);
    for (const char* item : {"FN", "N", "work/TEL", "NOTE", "home/EMAIL", "KIND"}) {
        ASSERT_TRUE(editor.SelectTreeItem(item)) << item;
    }
    EXPECT_EQ(0, mainDialog->Document()->IsModified());
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    EXPECT_EQ("Met at the fair, booth 12", editor.ItemText(IDC_VALUE_EDIT));
}

TEST_F(EditorTest, LongValueIsStoredWhole)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    std::string pasted(5000, 'z');
    SendMessageA(editor.Item(IDC_VALUE_EDIT), EM_SETSEL, 0, -1);
    SendMessageA(editor.Item(IDC_VALUE_EDIT), EM_REPLACESEL, TRUE, (LPARAM)pasted.c_str());
    ui::Pump();
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    EXPECT_EQ(5000u, editor.ItemText(IDC_VALUE_EDIT).size());
}

TEST_F(EditorTest, LineBreaksShowAsLinesAndSaveAsEscapes)
{
    WriteFile(sample, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nNOTE:one\\ntwo\r\nEND:VCARD\r\n");
    DialogAnswers answers;
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    EXPECT_EQ("one\r\ntwo", editor.ItemText(IDC_VALUE_EDIT));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    editor.ClickButton(IDC_SAVE);
    EXPECT_NE(std::string::npos, ReadFile(sample).find("NOTE:one\\ntwo!\r\n"));
}

TEST_F(EditorTest, KindValueChosenFromTheMenuIsStoredAtOnce)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("KIND"));
    ASSERT_TRUE(editor.IsEnabled(IDC_PREDEFINED_VALUES));
    // Choose the second item ("group") with the keyboard once the menu is up.
    SetTimer(nullptr, 0, 200, ChooseSecondMenuItem);
    editor.ClickButton(IDC_PREDEFINED_VALUES);
    ui::Pump(300);
    EXPECT_EQ("group", editor.ItemText(IDC_VALUE_EDIT));
    EXPECT_EQ(1, mainDialog->Document()->IsModified());
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    ASSERT_TRUE(editor.SelectTreeItem("KIND"));
    EXPECT_EQ("group", editor.ItemText(IDC_VALUE_EDIT));
}

// ---------------------------------------------------------------- load failures

TEST_F(EditorTest, FailedLoadShowsTheReasonAndLeavesNoCard)
{
    std::string broken = folder + "\\broken.vcf";
    WriteFile(broken, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nNOTE without colon\r\nEND:VCARD\r\n");
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDOK);
    answers.ScreenshotNextBox("failed-load");
    Editor editor(broken);
    ASSERT_EQ(1u, answers.Shown().size());
    const ui::ShownDialog& box = answers.Shown()[0];
    EXPECT_EQ(CAPTION, box.caption);
    EXPECT_EQ(0u, box.text.find("Not a valid vCard file " + broken + "\n[0x80004005] ")) << box.text;
    EXPECT_NE(std::string::npos, box.text.find("\nSyntax error at line 3 [missing ':']:\nNOTE without colon"))
        << box.text;
    EXPECT_EQ("OK", box.buttons);
    EXPECT_TRUE(box.hasOwner);
    EXPECT_EQ(nullptr, mainDialog->Document());
    EXPECT_TRUE(editor.TreeItems().empty());
    EXPECT_EQ(CAPTION, editor.Title()) << "the title is not changed";

    // Save and Undo do nothing without a card; Open works without a prompt.
    editor.ChooseMenu(IDC_SAVE);
    editor.ChooseMenu(IDC_UNDO);
    EXPECT_EQ(1u, answers.Shown().size());
    answers.FileDialogAnswer(sample);
    editor.ClickButton(IDC_OPEN);
    ui::PumpUntil([&] { return mainDialog->Document() != nullptr && !editor.TreeItems().empty(); });
    ASSERT_EQ(2u, answers.Shown().size());
    EXPECT_TRUE(answers.Shown()[1].fileDialog);
    EXPECT_EQ(std::string(CAPTION) + " - sample.vcf", editor.Title());
}

TEST_F(EditorTest, FolderOnTheCommandLineCannotBeOpened)
{
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDOK);
    Editor editor(folder);
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ(0u, answers.Shown()[0].text.find("Cannot open vCard file\r\n'" + folder + "'\n[0x"))
        << answers.Shown()[0].text;
    ASSERT_NE(nullptr, mainDialog->Document()) << "an empty card stays";
    EXPECT_TRUE(editor.TreeItems().empty());
}

// ---------------------------------------------------------------- open, save, undo, exit

TEST_F(EditorTest, OpenOnAnUnchangedCardAsksNothing)
{
    std::string other = folder + "\\other.vcf";
    WriteFile(other, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Other\r\nEND:VCARD\r\n");
    DialogAnswers answers;
    answers.FileDialogAnswer(other);
    Editor editor(sample);
    editor.ClickButton(IDC_OPEN);
    ui::PumpUntil([&] { return editor.TreeItems().size() == 2; });
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_TRUE(answers.Shown()[0].fileDialog);
    EXPECT_EQ(std::string(CAPTION) + " - other.vcf", editor.Title());
}

TEST_F(EditorTest, CancelledOpenKeepsTheCardAndItsChanges)
{
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDNO);
    answers.FileDialogAnswer("");
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    editor.ClickButton(IDC_OPEN);
    ASSERT_EQ(2u, answers.Shown().size());
    EXPECT_EQ(1, mainDialog->Document()->IsModified());
    EXPECT_EQ("Jane Q. Doe!", editor.ItemText(IDC_VALUE_EDIT));
}

TEST_F(EditorTest, ExitOnAChangedCardAsksToSave)
{
    std::string before = ReadFile(sample);
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDCANCEL);
    answers.MessageBoxAnswer(IDNO);
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");

    editor.PressKey(VK_ESCAPE);
    ASSERT_EQ(1u, answers.Shown().size());
    const ui::ShownDialog& prompt = answers.Shown()[0];
    EXPECT_EQ("The changes in current \n" + sample + "\nwill be lost!\nDo you want to save it NOW ?", prompt.text);
    EXPECT_EQ("Yes No Cancel", prompt.buttons);
    EXPECT_EQ(IDNO, prompt.defaultButton);
    EXPECT_TRUE(editor.IsRunning()) << "Cancel keeps the program running";

    editor.ChooseMenu(IDCANCEL);
    EXPECT_EQ(2u, answers.Shown().size());
    EXPECT_FALSE(editor.IsRunning()) << "No exits without saving";
    EXPECT_EQ(before, ReadFile(sample));
}

TEST_F(EditorTest, ExitWithYesOnAnInvalidCardStays)
{
    WriteFile(sample, "BEGIN:VCARD\r\nVERSION:4.0\r\nNOTE:no name\r\nEND:VCARD\r\n");
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDYES);
    answers.MessageBoxAnswer(IDOK);
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    editor.ChooseMenu(IDCANCEL);
    ASSERT_EQ(2u, answers.Shown().size());
    EXPECT_EQ("The vCard data is not valid.\nFN property must exist", answers.Shown()[1].text);
    EXPECT_TRUE(editor.IsRunning());
}

TEST_F(EditorTest, ExitOnAnUnchangedCardAsksNothing)
{
    DialogAnswers answers;
    Editor editor(sample);
    editor.ClickButton(IDCANCEL);
    EXPECT_FALSE(editor.IsRunning());
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(EditorTest, SaveReplacesTheFileAndLeavesNothingBehind)
{
    WriteFile(folder + "\\sample.tmp", "the user's own file");
    DialogAnswers answers;
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    ASSERT_TRUE(editor.IsEnabled(IDC_UNDO));
    editor.ClickButton(IDC_SAVE);
    EXPECT_TRUE(answers.Shown().empty());
    std::string saved = ReadFile(sample);
    EXPECT_NE(std::string::npos, saved.find("\r\nFN:Jane Q. Doe!\r\n")) << saved;
    EXPECT_EQ(0u, saved.find("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
    EXPECT_EQ("the user's own file", ReadFile(folder + "\\sample.tmp"));
    EXPECT_EQ((std::vector<std::string>{"sample.tmp", "sample.vcf"}), Files());
    // A saved card has nothing left to save.
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
    EXPECT_EQ(0, mainDialog->Document()->IsModified());
    EXPECT_EQ(std::string(CAPTION) + " - sample.vcf", editor.Title());
    editor.ChooseMenu(IDCANCEL);
    EXPECT_FALSE(editor.IsRunning());
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(EditorTest, SaveOfAnUntitledCardAsksForAPath)
{
    DialogAnswers answers;
    answers.FileDialogAnswer("");
    Editor editor;
    CardDocument* document = mainDialog->Document();
    ASSERT_NE(nullptr, document);
    document->AddProperty(TVI_ROOT, PropertyKindVersion);
    HTREEITEM fn = document->AddProperty(TVI_ROOT, PropertyKindFn);
    ((PropertyNode*)document->GetNode(fn))->SetValue("New Card", 0);

    editor.ClickButton(IDC_SAVE);
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ("Choose file to save", answers.Shown()[0].caption);
    EXPECT_EQ(CAPTION, editor.Title()) << "cancelled: nothing changes";
    EXPECT_EQ((std::vector<std::string>{"sample.vcf"}), Files());

    answers.FileDialogAnswer(folder + "\\a.vcf");
    editor.ClickButton(IDC_SAVE);
    EXPECT_EQ(std::string(CAPTION) + " - a.vcf", editor.Title());
    EXPECT_EQ("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:New Card\r\nEND:VCARD\r\n", ReadFile(folder + "\\a.vcf"));
    EXPECT_EQ((std::vector<std::string>{"a.vcf", "sample.vcf"}), Files());
}

TEST_F(EditorTest, SaveToATargetNamedTmp)
{
    std::string target = folder + "\\card.tmp";
    WriteFile(target, SAMPLE);
    Editor editor(target);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    editor.ClickButton(IDC_SAVE);
    EXPECT_NE(std::string::npos, ReadFile(target).find("FN:Jane Q. Doe!\r\n"));
    EXPECT_EQ((std::vector<std::string>{"card.tmp", "sample.vcf"}), Files());
}

TEST_F(EditorTest, SaveIntoAFolderThatIsGoneKeepsTheCard)
{
    std::string sub = folder + "\\sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    WriteFile(sub + "\\c.vcf", SAMPLE);
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDOK);
    Editor editor(sub + "\\c.vcf");
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    ASSERT_TRUE(MoveFileA(sub.c_str(), (folder + "\\moved").c_str()));
    editor.ClickButton(IDC_SAVE);
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ(0u, answers.Shown()[0].text.find("Cannot create vCard file\r\n'" + sub + "\\c.tmp'\n[0x800700"))
        << answers.Shown()[0].text;
    EXPECT_EQ(1, mainDialog->Document()->IsModified()) << "the changes are still there to save";
    EXPECT_EQ(SAMPLE, ReadFile(folder + "\\moved\\c.vcf"));
}

TEST_F(EditorTest, UndoAsksAndReloadsTheFile)
{
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDNO);
    answers.MessageBoxAnswer(IDYES);
    Editor editor(sample);
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    editor.TypeInto(IDC_VALUE_EDIT, "!");
    ASSERT_TRUE(editor.SelectTreeItem("NOTE"));
    ASSERT_TRUE(editor.IsEnabled(IDC_UNDO));

    editor.ClickButton(IDC_UNDO);
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ("All the changes will be lost!\nDo you want to continue?", answers.Shown()[0].text);
    EXPECT_EQ("Yes No", answers.Shown()[0].buttons);
    EXPECT_EQ(1, mainDialog->Document()->IsModified()) << "No keeps the changes";

    editor.ClickButton(IDC_UNDO);
    ASSERT_EQ(2u, answers.Shown().size());
    EXPECT_EQ(0, mainDialog->Document()->IsModified());
    ASSERT_TRUE(editor.SelectTreeItem("FN"));
    EXPECT_EQ("Jane Q. Doe", editor.ItemText(IDC_VALUE_EDIT));
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
}

TEST_F(EditorTest, UndoOnAnUntitledCardGivesAnEmptyOne)
{
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDYES);
    Editor editor;
    editor.ChooseMenu(IDC_UNDO);
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ(std::string(CAPTION) + " - <untitled>", editor.Title());
    EXPECT_TRUE(editor.TreeItems().empty());
}

TEST_F(EditorTest, MessageBoxesWithoutAMainWindowHaveNoOwner)
{
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDOK);
    {
        Editor editor(sample);
        editor.ChooseMenu(IDCANCEL);
        ASSERT_FALSE(editor.IsRunning());
    }
    EXPECT_EQ(IDOK, ReportMessage(0, nullptr, MB_ICONERROR, IDS_CARD_NOT_VALID));
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_FALSE(answers.Shown()[0].hasOwner);
}

}  // namespace
