// The editor as a user meets it: the program started as its entry point starts it,
// driven through its real controls under Wine, with real files on disk; its message
// boxes and file dialogs answered as a user answers them, and screenshots of its typical
// states in build/screens/.
#include "services/messages.h"
#include "tests/support/ui_driver.h"
#include "ui/about_dialog.h"
#include "ui/help.h"
#include "ui/image_button.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>

namespace {

using namespace ui;

// ---------------------------------------------------------------- the tests

const char SAMPLE[] =
    "BEGIN:VCARD\r\n"
    "VERSION:4.0\r\n"
    "KIND:individual\r\n"
    "FN:Jane Q. Doe\r\n"
    "N:Doe;Jane;Quinn;Dr.;PhD\r\n"
    "work.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-0100\r\n"
    "work.ADR;TYPE=WORK:;Suite 4;100 Main Street;Springfield;IL;62701;USA\r\n"
    "home.EMAIL:jane@example.com\r\n"
    "NOTE:Met at the fair\\, booth 12\\nand after\r\n"
    "X-P;X-Q=a,b;X-R=c:v\r\n"
    "END:VCARD\r\n";
const size_t SAMPLE_ITEMS = 11;  // 9 properties and 2 groups
const char CAPTION[] = "Oskan vCard Editor";

std::string Titled(const std::string& name)
{
    return name.empty() ? CAPTION : std::string(CAPTION) + " - " + name;
}

// A box's text without the line of the system's words for its code, which differ
// between systems.
std::string WithoutSystemText(const std::string& text)
{
    size_t code = text.find("] ");
    size_t end = text.find('\n', code);
    return code == std::string::npos ? text : text.substr(0, code + 2) + (end == std::string::npos ? "" : text.substr(end + 1));
}

// A list's rows as "name=value;" each.
std::string Rows(const Editor& editor, int list)
{
    std::string rows;
    for (int row = 0; row < editor.Rows(list); ++row) rows += editor.Cell(list, row, 0) + "=" + editor.Cell(list, row, 1) + ";";
    return rows;
}

// The right-hand side as the user reads it: the value edit as [text], with ">" when its
// menu of predefined values can be opened, or else the component rows; then "|" and the
// parameter rows. "-" when it is disabled and empty.
std::string RightHandSide(const Editor& editor)
{
    bool edit = editor.IsVisible(IDC_VALUE_EDIT);
    if (edit == editor.IsVisible(IDC_COMPONENT_LIST) || edit != editor.IsVisible(IDC_PREDEFINED_VALUES)) {
        return "value edit and component list shown together, or neither";
    }
    if (!editor.IsEnabled(IDC_PARAMETER_LIST)) {
        bool empty = editor.ItemText(IDC_VALUE_EDIT).empty() && editor.Rows(IDC_PARAMETER_LIST) == 0;
        return empty && !editor.IsEnabled(IDC_VALUE_EDIT) && !editor.IsEnabled(IDC_PREDEFINED_VALUES) ? "-" : "disabled, not empty";
    }
    std::string shown = Rows(editor, IDC_COMPONENT_LIST);
    if (edit) shown = "[" + editor.ItemText(IDC_VALUE_EDIT) + "]" + (editor.IsEnabled(IDC_PREDEFINED_VALUES) ? " >" : "");
    return shown + " | " + Rows(editor, IDC_PARAMETER_LIST);
}

// A folder of its own for each test, with the sample card in it.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(sample, SAMPLE); }

    TempFolder folder;
    std::string sample = folder / "sample.vcf";
};

TEST_F(EditorTest, CommandLineDecidesTheCardAtStart)
{
    std::string spaced = folder / "My Cards";
    CreateDirectoryA(spaced.c_str(), nullptr);
    WriteBytes(spaced + "\\a card.vcf", SAMPLE);
    std::string broken = folder / "broken.vcf";
    WriteBytes(broken, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nNOTE without colon\r\nEND:VCARD\r\n");
    // The box shown is given without the system's words for its code.
    const struct { std::string commandLine, title; size_t items; std::string message; } rows[] = {
        {"", "", 0, ""},
        {sample, "sample.vcf", SAMPLE_ITEMS, ""},
        {"\"" + spaced + "\\a card.vcf\"", "a card.vcf", SAMPLE_ITEMS, ""},  // as Explorer passes it
        {folder / "nothing-here.vcf", "", 0, ""},
        {folder.path.string(), "", 0, "Cannot open vCard file\r\n'" + folder.path.string() + "'\n[0x80070005] "},
        {broken, "", 0,
         "Not a valid vCard file " + broken + "\n[0x80004005] \nSyntax error at line 3 [missing ':']:\nNOTE without colon"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.commandLine);
        Answers answers("OK");
        if (row.commandLine == broken) answers.ScreenshotNextBox("failed-load");
        Editor editor(row.commandLine);
        ASSERT_TRUE(editor.IsRunning());
        EXPECT_EQ(Titled(row.title), editor.Title());
        EXPECT_EQ(row.items, editor.TreeItems().size());
        std::string shown;
        for (const Shown& box : answers.shown) {
            shown += WithoutSystemText(box.text);
            EXPECT_EQ(CAPTION, box.caption);
            EXPECT_EQ("OK", box.buttons);
            EXPECT_TRUE(box.hasOwner);
        }
        EXPECT_EQ(row.message, shown);
        EXPECT_EQ(row.commandLine == broken, mainDialog->Document() == nullptr) << "only a failed read leaves no card";
        EXPECT_EQ("-", RightHandSide(editor));
        EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
        if (!row.commandLine.empty()) continue;
        EXPECT_STREQ("", mainDialog->FilePath());
        editor.Screenshot("empty-card");
    }
    // Once the program has ended, a box has no owner.
    Answers answers("OK");
    EXPECT_EQ(IDOK, ReportMessage(0, nullptr, MB_ICONERROR, IDS_CARD_NOT_VALID));
    EXPECT_FALSE(answers.shown.at(0).hasOwner);
}

TEST_F(EditorTest, SelectedItemShowsItsValueAndParametersWithoutChangingTheCard)
{
    Editor editor(sample);
    EXPECT_EQ((Names{"VERSION", "KIND", "FN", "N", "work", "work/TEL", "work/ADR", "home", "home/EMAIL", "NOTE", "X-P"}),
              editor.TreeItems());
    const struct { const char* item; const char* shown; const char* screenshot; } rows[] = {
        {"N", "Family Name=Doe;Given Name=Jane;Additional Names=Quinn;Honorific Prefixes=Dr.;Honorific Suffixes=PhD; | ",
         "n-selected"},
        {"work/ADR", "POBox=;Extended=Suite 4;Street=100 Main Street;Locality=Springfield;Region=IL;PostalCode=62701;"
                     "Country=USA; | type=WORK;",
         "adr-selected"},
        {"work/TEL", "[+1-555-0100] | type=WORK;type=VOICE;pref=1;", "tel-selected"},
        {"NOTE", "[Met at the fair, booth 12\r\nand after] | ", nullptr},
        {"X-P", "[v] | X-Q=a;X-Q=b;X-R=c;", nullptr},  // a further value shows the run's name
        {"work", "-", "group-selected"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(editor.Select(row.item)) << row.item;
        EXPECT_EQ(row.shown, RightHandSide(editor)) << row.item;
        if (row.screenshot != nullptr) editor.Screenshot(row.screenshot);
    }
    EXPECT_FALSE(mainDialog->Document()->IsModified());
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
}

// Presses Down, Down, Enter in the pop-up menu that is open now.
void CALLBACK ChooseSecondMenuItem(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND menu = FindWindowA("#32768", nullptr);
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
        PostMessageA(menu != nullptr ? menu : GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(menu != nullptr ? menu : GetFocus(), WM_KEYUP, key, (LPARAM)0xC0000001);
    }
}

TEST_F(EditorTest, TypedPastedAndChosenValuesAreStoredAndSaved)
{
    WriteBytes(folder / "sample.tmp", "the user's own file");
    Answers answers;
    Editor editor(sample);
    ASSERT_TRUE(editor.Select("NOTE"));
    editor.Type(IDC_VALUE_EDIT, "!");
    EXPECT_TRUE(mainDialog->Document()->IsModified());
    EXPECT_TRUE(editor.IsEnabled(IDC_UNDO)) << "Undo follows the card's state as it changes";
    ASSERT_TRUE(editor.Select("FN"));
    std::string pasted(5000, 'z');
    SendMessageA(editor.Item(IDC_VALUE_EDIT), EM_SETSEL, 0, -1);
    SendMessageA(editor.Item(IDC_VALUE_EDIT), EM_REPLACESEL, TRUE, (LPARAM)pasted.c_str());
    // The second value of KIND's menu, chosen with the keyboard once the menu is up.
    ASSERT_TRUE(editor.Select("KIND"));
    SetTimer(nullptr, 0, 200, ChooseSecondMenuItem);
    editor.Click(IDC_PREDEFINED_VALUES);
    Pump(300);
    EXPECT_EQ("[group] > | ", RightHandSide(editor));
    ASSERT_TRUE(editor.Select("FN"));
    EXPECT_EQ(pasted, editor.ItemText(IDC_VALUE_EDIT));

    editor.Click(IDC_SAVE);
    std::string saved = ReadBytes(sample);  // how it is written is the writer tests' matter: what is in it
    EXPECT_NE(std::string::npos, saved.find("\r\nKIND:group\r\n")) << saved;
    EXPECT_EQ(5000, std::count(saved.begin(), saved.end(), 'z'));
    EXPECT_NE(std::string::npos, saved.find("\r\nNOTE:Met at the fair\\, booth 12\\nand after!\r\n")) << saved;
    EXPECT_EQ("the user's own file", ReadBytes(folder / "sample.tmp"));
    EXPECT_EQ((Names{"sample.tmp", "sample.vcf"}), folder.Names());
    // A saved card has nothing left to save.
    EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
    EXPECT_FALSE(mainDialog->Document()->IsModified());
    EXPECT_EQ(Titled("sample.vcf"), editor.Title());
    editor.Menu(IDCANCEL);
    EXPECT_FALSE(editor.IsRunning());
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(EditorTest, SaveOfAnUntitledCardAsksForAPath)
{
    Answers answers("file:");
    Editor editor;
    CardDocument* document = mainDialog->Document();
    document->AddProperty(TVI_ROOT, PropertyKindVersion);
    HTREEITEM fn = document->AddProperty(TVI_ROOT, PropertyKindFn);
    ((PropertyNode*)document->GetNode(fn))->SetValue("New Card", 0);
    editor.Click(IDC_SAVE);
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_EQ("<file>", answers.shown[0].text);
    EXPECT_EQ(CAPTION, editor.Title()) << "cancelled: nothing changes";
    answers.Add("file:" + folder / "a.vcf");
    editor.Click(IDC_SAVE);
    EXPECT_EQ(Titled("a.vcf"), editor.Title());
    EXPECT_EQ("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:New Card\r\nEND:VCARD\r\n", ReadBytes(folder / "a.vcf"));
    EXPECT_FALSE(mainDialog->Document()->IsModified()) << "the new items are saved too";
}

TEST_F(EditorTest, FailedSaveNamesTheTemporaryFileAndKeepsTheChanges)
{
    std::string sub = folder / "sub";
    CreateDirectoryA(sub.c_str(), nullptr);
    WriteBytes(sub + "\\c.vcf", SAMPLE);
    Answers answers("OK");
    Editor editor(sub + "\\c.vcf");
    ASSERT_TRUE(editor.Select("FN"));
    editor.Type(IDC_VALUE_EDIT, "!");
    ASSERT_TRUE(MoveFileA(sub.c_str(), (folder / "moved").c_str()));
    editor.Click(IDC_SAVE);
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_EQ(0u, answers.shown[0].text.find("Cannot create vCard file\r\n'" + sub + "\\c.tmp'\n[0x800700"));
    EXPECT_TRUE(mainDialog->Document()->IsModified());
}

// Save As in the card's own version writes the card as it stands, as Save would, and the
// editor goes on with the new file; the file the card came from is left alone.
TEST_F(EditorTest, SaveAsInTheCardsOwnVersionWritesTheCardAsItStands)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.Select("FN"));
    editor.Type(IDC_VALUE_EDIT, "!");
    std::string copy = folder / "copy.vcf";
    Answers answers("file:" + copy);
    editor.Press(VK_F12);
    ASSERT_TRUE(PumpUntil([&] { return editor.Title().find("copy.vcf") != std::string::npos; }));
    std::string saved = ReadBytes(copy);
    EXPECT_NE(std::string::npos, saved.find("\r\nFN:Jane Q. Doe!\r\n")) << saved;
    EXPECT_EQ(SAMPLE, ReadBytes(sample));
    EXPECT_FALSE(mainDialog->Document()->IsModified());
    editor.Click(IDC_SAVE);
    EXPECT_EQ(saved, ReadBytes(copy)) << "Save writes the new file as Save As did";

    // Onto a file held open by another program the save fails after the card was written:
    // the change made since stays marked, and the editor stays on its file.
    ASSERT_TRUE(editor.Select("FN"));
    editor.Type(IDC_VALUE_EDIT, "?");
    std::string locked = folder / "locked.vcf";
    WriteBytes(locked, SAMPLE);
    HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Answers refused("file:" + locked + " Yes OK");
    editor.Press(VK_F12);
    PumpUntil([&] { return refused.shown.size() >= 3; });
    CloseHandle(held);
    EXPECT_EQ(SAMPLE, ReadBytes(locked));
    EXPECT_TRUE(mainDialog->Document()->IsModified());
    EXPECT_NE(std::string::npos, editor.Title().find("copy.vcf"));
}

TEST_F(EditorTest, CommandsAskBeforeChangesAreLost)
{
    const char NO_FN[] = "BEGIN:VCARD\r\nVERSION:4.0\r\nNOTE:no name\r\nEND:VCARD\r\n";
    const char BROKEN[] = "BEGIN:VCARD\r\nNOTE\r\n";
    WriteBytes(folder / "other.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Other\r\nEND:VCARD\r\n");
    std::string other = "file:" + folder / "other.vcf";
    std::string notValid = "Not a valid vCard file " + sample;
    // Each row: the card on the command line (null for none), the item whose value gets a
    // "!" first (null for none), the command and the way it is given, the answers, the first
    // line of each box shown ("<file>" for a file dialog), whether the editor still runs,
    // its title then, and what the changed item shows then.
    enum How { BUTTON, MENU, ESCAPE };
    const struct {
        const char* card;
        const char* change;
        How how;
        int command;
        std::string answers, shown;
        bool running;
        const char* title;
        const char* changedShows;
    } rows[] = {
        {SAMPLE, nullptr, BUTTON, IDCANCEL, "", "", false, "", nullptr},
        {SAMPLE, "FN", ESCAPE, 0, "Cancel", "The changes in current ", true, "sample.vcf", "Jane Q. Doe!"},
        {SAMPLE, "FN", MENU, IDCANCEL, "No", "The changes in current ", false, "", nullptr},
        {NO_FN, "NOTE", MENU, IDCANCEL, "Yes OK", "The changes in current |The vCard data is not valid.", true,
         "sample.vcf", "no name!"},
        {SAMPLE, nullptr, BUTTON, IDC_OPEN, other, "<file>", true, "other.vcf", nullptr},
        {SAMPLE, "FN", BUTTON, IDC_OPEN, "No file:", "The changes in current |<file>", true, "sample.vcf", "Jane Q. Doe!"},
        {SAMPLE, "FN", BUTTON, IDC_UNDO, "No", "All the changes will be lost!", true, "sample.vcf", "Jane Q. Doe!"},
        {SAMPLE, "FN", BUTTON, IDC_UNDO, "Yes", "All the changes will be lost!", true, "sample.vcf", "Jane Q. Doe"},
        {nullptr, nullptr, MENU, IDC_UNDO, "Yes", "All the changes will be lost!", true, "<untitled>", nullptr},
        // Without a card (its file did not load), Save and Undo do nothing and Open asks nothing.
        {BROKEN, nullptr, MENU, IDC_SAVE, "OK", notValid, true, "", nullptr},
        {BROKEN, nullptr, MENU, IDC_UNDO, "OK", notValid, true, "", nullptr},
        {BROKEN, nullptr, BUTTON, IDC_OPEN, "OK " + other, notValid + "|<file>", true, "other.vcf", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answers + " to command " + std::to_string(row.command));
        if (row.card != nullptr) WriteBytes(sample, row.card);
        std::string before = ReadBytes(sample);
        Answers answers(row.answers);
        Editor editor(row.card != nullptr ? sample : "");
        if (row.change != nullptr) {
            ASSERT_TRUE(editor.Select(row.change));
            editor.Type(IDC_VALUE_EDIT, "!");
            ASSERT_TRUE(editor.Select("VERSION"));  // the refresh that enables Undo
        }
        if (row.how == BUTTON) editor.Click(row.command);
        if (row.how == MENU) editor.Menu(row.command);
        if (row.how == ESCAPE) editor.Press(VK_ESCAPE);
        Pump(150);
        EXPECT_EQ(row.shown, answers.Lines());
        EXPECT_TRUE(answers.waiting.empty());
        for (const Shown& box : answers.shown) {
            EXPECT_TRUE(box.hasOwner || box.text == "<file>");
            if (box.text.rfind("The changes", 0) != 0) continue;
            EXPECT_NE(std::string::npos, box.text.find("\n" + sample + "\n")) << "names the card's file";
            EXPECT_EQ("Yes No Cancel", box.buttons);
            EXPECT_EQ(IDNO, box.defaultButton);
        }
        ASSERT_EQ(row.running, editor.IsRunning());
        EXPECT_EQ(before, ReadBytes(sample)) << "nothing is saved here";
        if (!row.running) continue;
        EXPECT_EQ(Titled(row.title), editor.Title());
        if (row.changedShows != nullptr) {
            ASSERT_TRUE(editor.Select(row.change));
            EXPECT_EQ(row.changedShows, editor.ItemText(IDC_VALUE_EDIT));
            EXPECT_EQ(strchr(row.changedShows, '!') != nullptr, mainDialog->Document()->IsModified());
        }
    }
}

// ---------------------------------------------------------------- picture buttons and the About box, as screenshots

// The About box photographed with the mouse over its web link, then closed; whether the
// link had set its hand cursor by then.
HHOOK aboutHook = nullptr;
bool handOverLink = false;
HWND aboutBox = nullptr;
void CALLBACK PhotographAboutWithHand(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND link = GetDlgItem(aboutBox, IDC_ABOUT_WEB);
    RECT rect = {};
    GetWindowRect(link, &rect);
    SetCursorPos(rect.left + 20, (rect.top + rect.bottom) / 2);
    Pump(300);
    handOverLink = GetCursor() == LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    GetWindowRect(aboutBox, &rect);
    SaveScreen(rect, "about-hand-over-link", true);
    PostMessageA(aboutBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
LRESULT CALLBACK WhenAboutShows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && GetDlgItem((HWND)wParam, IDC_ABOUT_VERSION) != nullptr && aboutBox == nullptr) {
        aboutBox = (HWND)wParam;
        SetTimer(nullptr, 0, 200, PhotographAboutWithHand);
    }
    return CallNextHookEx(aboutHook, code, wParam, lParam);
}

// The buttons in each state they are drawn in, and the About box, as screenshots.
TEST_F(EditorTest, ButtonsAndLinksAsTheUserSeesThem)
{
    Editor editor(sample);
    ASSERT_TRUE(editor.Select("NOTE"));
    editor.Screenshot("buttons-undo-disabled");
    // No boxes are answered meanwhile: the About box is one.
    aboutBox = nullptr;
    aboutHook = SetWindowsHookExA(WH_CBT, WhenAboutShows, nullptr, GetCurrentThreadId());
    editor.Menu(ID_HELP_ABOUT);
    UnhookWindowsHookEx(aboutHook);
    EXPECT_TRUE(handOverLink) << "the pointing hand over a link";

    Answers answers("Yes");
    editor.Type(IDC_VALUE_EDIT, "!");
    ASSERT_TRUE(editor.IsEnabled(IDC_UNDO));
    // Focus shown as after a Tab key, then the button held down by the mouse.
    SendMessageA(editor.Window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(editor.Item(IDC_SAVE));
    editor.Screenshot("buttons-undo-enabled-save-focused");
    SendMessageA(editor.Item(IDC_SAVE), BM_SETSTATE, TRUE, 0);
    editor.Screenshot("button-save-pressed");
    SendMessageA(editor.Item(IDC_SAVE), BM_SETSTATE, FALSE, 0);
    editor.Click(IDC_UNDO);
    EXPECT_EQ(SAMPLE, ReadBytes(sample));
}

// ---------------------------------------------------------------- text in any language

bool IsUtf8(const std::string& bytes)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), nullptr, 0) > 0;
}

// What the controls draw, read in UTF-16: the text of a window, a list cell, a tree item.
std::wstring Drawn(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}
std::wstring DrawnCell(const Editor& editor, int list, int row, int column)
{
    wchar_t text[512] = L"";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(editor.Item(list), LVM_GETITEMTEXTW, (WPARAM)row, (LPARAM)&item);
    return text;
}
std::vector<std::wstring> DrawnTree(const Editor& editor)
{
    std::vector<std::wstring> items;
    for (const auto& item : editor.Tree()) {
        wchar_t text[512] = L"";
        TVITEMW data = {};
        data.mask = TVIF_TEXT | TVIF_HANDLE;
        data.hItem = item.second;
        data.pszText = text;
        data.cchTextMax = 512;
        SendMessageW(editor.Item(IDC_PROPERTY_TREE), TVM_GETITEMW, 0, (LPARAM)&data);
        items.push_back(text);
    }
    return items;
}

// Typed as a keyboard with an input method types it: one character message per UTF-16 unit.
void TypeUtf16(HWND control, const std::wstring& text)
{
    SetFocus(control);
    SendMessageW(control, EM_SETSEL, 0, -1);
    for (wchar_t c : text) PostMessageW(control, WM_CHAR, c, 1);
    Pump();
}

TEST_F(EditorTest, CardInAnyLanguageShowsAsWrittenAndTypedTextSavesAsUtf8)
{
    // The program's manifest makes UTF-8 its code page; without it the same bytes would
    // show as the system code page's characters, "MÃ¼ller" for "Müller".
    ASSERT_EQ(65001u, GetACP());
    const std::string card =
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoë Müller\r\n"
        "N;SORT-AS=\"Müller,Zoë\";LANGUAGE=el:Μυλωνά;Ζωή;;κυρία;\r\n"
        "büro.ADR;LABEL=東京都千代田区:;;千代田1-1;東京;;100-0001;日本\r\n"
        "X-昵称:小明\r\nNOTE:Crème brûlée\\, ελληνικά\\, 日本語\r\nEND:VCARD\r\n";
    WriteBytes(sample, card);
    Answers answers;
    const std::wstring typed = L"Καλημέρα κόσμε 你好";
    {
        Editor editor(sample);
        EXPECT_EQ((std::vector<std::wstring>{L"VERSION", L"FN", L"N", L"büro", L"ADR", L"X-昵称", L"NOTE"}),
                  DrawnTree(editor));
        ASSERT_TRUE(editor.Select("N"));
        EXPECT_EQ(L"Μυλωνά", DrawnCell(editor, IDC_COMPONENT_LIST, 0, 1));
        EXPECT_EQ(L"κυρία", DrawnCell(editor, IDC_COMPONENT_LIST, 3, 1));
        EXPECT_EQ(L"Müller,Zoë", DrawnCell(editor, IDC_PARAMETER_LIST, 0, 1));
        editor.Screenshot("any-language-components");
        ASSERT_TRUE(editor.Select("büro/ADR"));
        EXPECT_EQ(L"東京", DrawnCell(editor, IDC_COMPONENT_LIST, 3, 1));
        EXPECT_EQ(L"東京都千代田区", DrawnCell(editor, IDC_PARAMETER_LIST, 0, 1));
        editor.Screenshot("any-language-cjk-lists");
        ASSERT_TRUE(editor.Select("NOTE"));
        EXPECT_EQ(L"Crème brûlée, ελληνικά, 日本語", Drawn(editor.Item(IDC_VALUE_EDIT)));
        editor.Screenshot("any-language-value");

        // Typed Greek (and Chinese) is stored and saved as UTF-8.
        ASSERT_TRUE(editor.Select("FN"));
        TypeUtf16(editor.Item(IDC_VALUE_EDIT), typed);
        EXPECT_EQ(typed, Drawn(editor.Item(IDC_VALUE_EDIT)));
        // and into a cell, whose editor the program has subclassed
        ASSERT_TRUE(editor.Select("N"));
        HWND cellEditor = OpenCellEditor(editor, IDC_PARAMETER_LIST, 0);
        ASSERT_NE(nullptr, cellEditor);
        TypeUtf16(cellEditor, L"Ζωή");
        editor.Press(VK_RETURN);
        EXPECT_EQ(L"Ζωή", DrawnCell(editor, IDC_PARAMETER_LIST, 0, 1));
        editor.Click(IDC_SAVE);
    }
    std::string saved = ReadBytes(sample);
    EXPECT_TRUE(IsUtf8(saved)) << saved;
    EXPECT_NE(std::string::npos, saved.find("\r\nFN:Καλημέρα κόσμε 你好\r\n")) << saved;
    EXPECT_NE(std::string::npos, saved.find("\r\nX-昵称:小明\r\n")) << saved;
    EXPECT_NE(std::string::npos, saved.find(";sort-as=Ζωή;")) << saved;
    Editor reloaded(sample);
    ASSERT_TRUE(reloaded.Select("FN"));
    EXPECT_EQ(typed, Drawn(reloaded.Item(IDC_VALUE_EDIT)));
    EXPECT_TRUE(answers.shown.empty());
}

}  // namespace
