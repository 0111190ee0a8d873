// Adding and deleting groups, properties and parameters as a user does: the item menu
// over the tree and the parameter list, from the mouse and the keys, and the two Add
// dialogs driven through their controls, with the boxes they raise.
#include "tests/support/ui_driver.h"
#include "ui/add_dialog.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <stdlib.h>

namespace {

using namespace ui;
typedef std::vector<Answers::Step> Steps;

const char CARD[] =
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Jane\r\nwork.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-0100\r\nwork.ADR:;;1 Main St;;;;\r\n"
    "home.EMAIL:jane@example.com\r\nX-P;X-Q=a,b;X-R=c:v\r\nEND:VCARD\r\n";

// A right click on the tree item at path (right of its text; "" for below the last row),
// then command chosen in the menu; returns once the menu and what it opened are done.
void TreeMenu(Editor& editor, const std::string& path, UINT command, const std::string& screenshot = "")
{
    HWND tree = editor.Item(IDC_PROPERTY_TREE);
    RECT client = {}, rect = {};
    GetClientRect(tree, &client);
    POINT at = {20, client.bottom - 4};
    for (const auto& item : editor.Tree()) {
        if (item.first == path && TreeView_GetItemRect(tree, item.second, &rect, TRUE))
            at = {std::min(rect.right + 10, client.right - 4), (rect.top + rect.bottom) / 2};
    }
    ChooseInNextMenu(command, screenshot);
    RightClick(tree, at.x, at.y);
}

// The same over the Value cell of a row of the parameter list (-1: below the rows).
void ParameterMenu(Editor& editor, int row, UINT command)
{
    HWND list = editor.Item(IDC_PARAMETER_LIST);
    RECT cell = {};
    GetClientRect(list, &cell);
    cell.top = cell.bottom - 8;
    if (row >= 0) cell = CellRect(list, row, 1);
    ChooseInNextMenu(command);
    RightClick(list, cell.left + 5, (cell.top + cell.bottom) / 2);
}

Steps ChooseProperty(const char* name)
{
    return {[=](HWND d) { ClickRow(d, IDC_ADD_PROPERTY_LIST, FindPropertyKind(name)); }, [](HWND d) { ClickButton(d, IDOK); }};
}
Steps TypeName(int radio, int edit, const std::string& name)
{
    return {[=](HWND d) { ClickButton(d, radio); }, [=](HWND d) { TypeInto(d, edit, name); }, [](HWND d) { ClickButton(d, IDOK); }};
}

void EditCell(Editor& editor, int list, int row, const std::string& text)
{
    ASSERT_NE(nullptr, OpenCellEditor(editor, list, row)) << row;
    for (unsigned char c : text) PostMessageA(GetFocus(), WM_CHAR, c, 1);
    Pump();
    editor.Press(VK_RETURN);
}

// A count typed into the editor the list opens over (row, column) after a click there.
void TypeCount(HWND dialog, int row, const char* typed, int column = 1)
{
    HWND list = GetDlgItem(dialog, IDC_PARAMETER_KINDS);
    RECT cell = CellRect(list, row, column);
    POINT at = {cell.left + 5, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    SendMessageA(list, LVM_EDITLABELA, (WPARAM)row, 0);
    HWND edit = (HWND)SendMessageA(list, LVM_GETEDITCONTROL, 0, 0);
    if (edit == nullptr) return;
    RECT shown = {};
    GetWindowRect(edit, &shown);
    MapWindowPoints(nullptr, list, (POINT*)&shown, 2);
    EXPECT_EQ(cell.left, shown.left) << "the count editor sits over the Number cell";
    if (strcmp(typed, "?") == 0) return;  // left open
    SetWindowTextA(edit, typed);
    PressKey(VK_RETURN);
}

// After a file that did not load there is no card: the tree's New makes an untitled one.
TEST(AddTest, CardBuiltFromNothingSavesReloadsIdenticallyAndChecks)
{
    TempFolder folder;
    std::string broken = folder / "broken.vcf", path = folder / "new.vcf", saved;
    WriteBytes(broken, "BEGIN:VCARD\r\nNOTE\r\n");
    Names built;
    {
        Answers answers("OK OK");
        Editor editor(broken);
        // An empty card takes only a VERSION: another choice is refused over the dialog.
        std::string seen;
        auto look = [&](HWND d) {
            for (int radio : {IDC_ADD_STANDARD, IDC_ADD_GROUP, IDC_ADD_OTHER})
                seen += std::to_string(IsWindowEnabled(GetDlgItem(d, radio))) + std::to_string(IsDlgButtonChecked(d, radio));
            seen += CellText(d, IDC_ADD_PROPERTY_LIST, ListSelection(d, IDC_ADD_PROPERTY_LIST), 0) + " ";
            seen += IsWindowEnabled(mainDialog->Window()) ? "main enabled " : "";
        };
        answers.Drive("Add", {look, [](HWND d) { ScreenshotOver(d, "add-dialog-empty-card"); }, ChooseProperty("FN")[0],
                              [](HWND d) { ClickButton(d, IDOK); }, look, [](HWND d) { ClickButton(d, IDOK); }});
        TreeMenu(editor, "", ID_ITEM_NEW, "tree-context-menu");
        EXPECT_EQ("&New ...|&Delete (grayed)", menuSeen.items);
        EXPECT_EQ("010000VERSION 010000VERSION ", seen) << "only the standard choice, VERSION chosen again";
        EXPECT_EQ("Only 'VERSION' property may be added at this time.", answers.shown.at(1).text);
        EXPECT_EQ("Add", answers.shown.at(1).owner) << "a box over a dialog belongs to the dialog";
        EXPECT_EQ("Oskan vCard Editor - <untitled>", editor.Title());

        answers.Drive("Add", {[](HWND d) { ClickRow(d, IDC_ADD_PROPERTY_LIST, FindPropertyKind("FN"), true); }});
        TreeMenu(editor, "", ID_ITEM_NEW);  // a double click is OK
        answers.Drive("Add", ChooseProperty("N"));
        TreeMenu(editor, "", ID_ITEM_NEW);
        answers.Drive("Add", TypeName(IDC_ADD_GROUP, IDC_ADD_GROUP_NAME, "work"));
        TreeMenu(editor, "", ID_ITEM_NEW);
        Steps overGroup = ChooseProperty("TEL");
        overGroup.insert(overGroup.begin() + 1, [](HWND d) { ScreenshotOver(d, "add-dialog-over-group"); });
        answers.Drive("Add a new property as part of 'work' group", overGroup);
        TreeMenu(editor, "work", ID_ITEM_NEW);
        answers.Drive("Add", TypeName(IDC_ADD_OTHER, IDC_ADD_OTHER_NAME, "X-CUSTOM"));
        TreeMenu(editor, "", ID_ITEM_NEW);
        EXPECT_EQ((Names{"VERSION", "FN", "N", "work", "work/TEL", "X-CUSTOM"}), editor.TreeItems());

        ASSERT_TRUE(editor.Select("work/TEL"));
        answers.Drive("Add new parameter(s)", {[](HWND d) { ClickRow(d, IDC_PARAMETER_KINDS, ParameterKindType); },
                                               [](HWND d) { TypeCount(d, ParameterKindType, "?"); },
                                               [](HWND d) { ScreenshotOver(d, "count-editor-open"); PressKey(VK_ESCAPE); },
                                               [](HWND d) { TypeCount(d, ParameterKindType, "2"); },
                                               [](HWND d) { ScreenshotOver(d, "parameters-dialog-counts"); ClickButton(d, IDOK); }});
        ParameterMenu(editor, -1, ID_ITEM_NEW);
        EditCell(editor, IDC_PARAMETER_LIST, 0, "WORK");
        EditCell(editor, IDC_PARAMETER_LIST, 1, "VOICE");
        editor.Type(IDC_VALUE_EDIT, "+1-555-0100");
        ASSERT_TRUE(editor.Select("X-CUSTOM"));
        answers.Drive("Add new parameter(s)", TypeName(IDC_OTHER_PARAMETER, IDC_OTHER_PARAMETER_NAME, "X-PARAM"));
        ParameterMenu(editor, -1, ID_ITEM_NEW);
        EditCell(editor, IDC_PARAMETER_LIST, 0, "yes");
        editor.Type(IDC_VALUE_EDIT, "custom value");
        ASSERT_TRUE(editor.Select("FN"));
        editor.Type(IDC_VALUE_EDIT, "Jane Doe");
        ASSERT_TRUE(editor.Select("N"));
        EditCell(editor, IDC_COMPONENT_LIST, 0, "Doe");
        EditCell(editor, IDC_COMPONENT_LIST, 1, "Jane");

        answers.Add("file:" + path);
        editor.Click(IDC_SAVE);
        EXPECT_EQ("<file>", answers.shown.back().text) << "an untitled card asks where it goes";
        EXPECT_EQ(0u, answers.ScriptsWaiting() + answers.leftOpen.size());
        built = editor.TreeItems();
    }
    saved = ReadBytes(path);
    EXPECT_EQ("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Jane Doe\r\nN:Doe;Jane;;;\r\nwork.TEL;type=WORK,VOICE:+1-555-0100\r\n"
              "X-CUSTOM;X-PARAM=yes:custom value\r\nEND:VCARD\r\n", saved);
    EXPECT_EQ("BEGIN:VCARD\r\nNOTE\r\n", ReadBytes(broken));
    for (const std::string& file : {path, broken})  // the tool's verdict: valid, or not a card
        EXPECT_EQ(file == path ? 0 : 1, system(("Z:" VCARDTOOL " check " + file).c_str())) << file;
    Editor reloaded(path);
    EXPECT_EQ(built, reloaded.TreeItems());
    reloaded.Click(IDC_SAVE);
    EXPECT_EQ(saved, ReadBytes(path));
}

TEST(AddTest, AddDialogRefusesWhatCannotBeAddedAndKeepsTheInput)
{
    TempFolder folder;
    std::string path = folder / "card.vcf", shownName, caption;
    WriteBytes(path, std::string(CARD).insert(std::string(CARD).find("END:"), std::string(300, 'g') + ".NOTE:n\r\n"));
    Answers answers("OK OK OK OK");
    Editor editor(path);
    const std::string longGroup = editor.TreeItems().at(8);  // as much of it as the tree shows
    answers.Drive("Add", {[&](HWND d) { caption = Text(d) + (IsWindowEnabled(GetDlgItem(d, IDC_ADD_GROUP)) ? " group" : ""); },
                          [](HWND d) { ClickButton(d, IDCANCEL); }});
    TreeMenu(editor, longGroup, ID_ITEM_NEW);
    EXPECT_EQ("Add a new property as part of '" + std::string(224, 'g'), caption) << "cut; groups only at the root";

    answers.Drive("Add", {[](HWND d) { ClickButton(d, IDC_ADD_GROUP); }, [](HWND d) { ClickButton(d, IDOK); },
                          [](HWND d) { TypeInto(d, IDC_ADD_GROUP_NAME, "a b"); }, [](HWND d) { ClickButton(d, IDOK); },
                          [](HWND d) { SetDlgItemTextA(d, IDC_ADD_GROUP_NAME, "Home"); },
                          [](HWND d) { ClickButton(d, IDOK); },
                          [](HWND d) { ClickButton(d, IDC_ADD_OTHER); TypeInto(d, IDC_ADD_OTHER_NAME, std::string(75, 'x')); },
                          [&](HWND d) { shownName = Text(GetDlgItem(d, IDC_ADD_OTHER_NAME)); SetDlgItemTextA(d, IDC_ADD_OTHER_NAME, "X;Y"); },
                          [](HWND d) { ClickButton(d, IDOK); }, [](HWND) { PressKey(VK_ESCAPE); }});
    TreeMenu(editor, "", ID_ITEM_NEW);
    EXPECT_EQ("Invalid name '' for the new group. Please enter a valid name.|"
              "Invalid name 'a b' for the new group. Please enter a valid name.|"
              "A new group with name 'Home' could not be added in this vCard.|"
              "Invalid name 'X;Y' for the new property. Please enter a valid name.", answers.Lines());
    EXPECT_NE(std::string::npos, answers.shown.at(2).text.find("[0x800700b7]"));
    EXPECT_EQ(70u, shownName.size());
    EXPECT_TRUE(answers.leftOpen.empty() && editor.IsRunning()) << "Escape after a box closes the dialog, not the editor";
    EXPECT_FALSE(mainDialog->Document()->IsModified());

    answers.Drive("Add a new property as part of 'TEL' group", ChooseProperty("NOTE"));
    TreeMenu(editor, "work/TEL", ID_ITEM_NEW);
    EXPECT_EQ("work/NOTE", editor.TreeItems().at(4)) << "right after the property, under its group";
    answers.shown.clear();
    answers.Add("No");
    TreeMenu(editor, "work", ID_ITEM_DELETE);
    answers.Add("Yes");
    TreeMenu(editor, "work", ID_ITEM_DELETE);
    EXPECT_EQ("Are you sure you want to DELETE the \"work\" ?|Are you sure you want to DELETE the \"work\" ?", answers.Lines());
    EXPECT_EQ((Names{"VERSION", "FN", "home", "home/EMAIL", "X-P", longGroup, longGroup + "/NOTE"}), editor.TreeItems());
}

TEST(AddTest, CaptionOverAnItemIsCutAndTerminated)
{
    char caption[64];
    memset(caption, 'x', sizeof caption);
    FormatItemCaption(caption, sizeof caption, "Add", std::string(100, 'g').c_str());
    EXPECT_EQ(std::string("Add a new property as part of '") + std::string(32, 'g'), caption);
}

TEST(AddTest, ParametersAreAddedByCountOrByNameAndDeletedByTheirListName)
{
    TempFolder folder;
    std::string path = folder / "card.vcf", counts;
    WriteBytes(path, CARD);
    Answers answers("OK OK");
    Editor editor(path);
    ASSERT_TRUE(editor.Select("work/TEL"));
    // Rows: language, value, pref, altid, pid, type. A chosen row counts 1 until left;
    // editing a count chooses its row.
    answers.Drive("Add new parameter(s)", {
        [](HWND d) { ClickButton(d, IDOK); },                     // nothing chosen
        [](HWND d) { ClickRow(d, IDC_PARAMETER_KINDS, 5); },      // type: 1
        [](HWND d) { ClickRow(d, IDC_PARAMETER_KINDS, 2); },      // pref: 1, type back to 0
        [](HWND d) { TypeCount(d, 1, " 2x"); },                   // value: 2, pref back to 0
        [](HWND d) { TypeCount(d, 1, "17"); },                    // value: still 2
        [](HWND d) { TypeCount(d, 3, "16"); },                    // altid: 16; value keeps its 2
        [](HWND d) { TypeCount(d, 3, "abc"); },                   // altid: 0
        [](HWND d) { TypeCount(d, 4, "5", 0); },                  // pid: chosen (1); no editor over a name
        [](HWND d) { ClickRow(d, IDC_PARAMETER_KINDS, 2); },      // pref: 1, pid back to 0
        [&](HWND d) {
            for (int row = 0; row < 6; ++row) counts += CellText(d, IDC_PARAMETER_KINDS, row, 1);
            ClickButton(d, IDC_OTHER_PARAMETER);
            TypeInto(d, IDC_OTHER_PARAMETER_NAME, "A=B");
        },
        [](HWND d) { ClickButton(d, IDOK); },                     // refused: the dialog stays
        [](HWND d) { ClickButton(d, IDC_OTHER_PARAMETER); }, [](HWND d) { ClickButton(d, IDOK); }});
    ParameterMenu(editor, -1, ID_ITEM_NEW);
    EXPECT_EQ("021000", counts);
    EXPECT_EQ("At least one parameter must have the instance number greater than zero.|"
              "Invalid name 'A=B' for the new parameter. Please enter a valid name.", answers.Lines());
    EXPECT_EQ("Add new parameter(s)", answers.shown.at(1).owner);
    std::string names;  // the chain in the order of the kinds, appended once
    for (int row = 0; row < editor.Rows(IDC_PARAMETER_LIST); ++row) names += editor.Cell(IDC_PARAMETER_LIST, row, 0) + ",";
    EXPECT_EQ("type,type,pref,value,value,pref,", names);

    ASSERT_TRUE(editor.Select("X-P"));
    ParameterMenu(editor, -1, ID_ITEM_DELETE);
    EXPECT_EQ("&New ...|&Delete (grayed)", menuSeen.items);
    answers.shown.clear();
    answers.Add("No");
    ParameterMenu(editor, 1, ID_ITEM_DELETE);  // X-Q's further value "b", named as the list names it
    answers.Add("Yes");
    ParameterMenu(editor, 0, ID_ITEM_DELETE);  // X-Q=a: its name passes to "b"
    EXPECT_EQ("Are you sure you want to DELETE the \"X-Q\" ?|Are you sure you want to DELETE the \"X-Q\" ?", answers.Lines());
    editor.Click(IDC_SAVE);
    EXPECT_NE(std::string::npos, ReadBytes(path).find("\r\nX-P;X-Q=b;X-R=c:v\r\n")) << ReadBytes(path);
}

TEST(AddTest, KeysOpenTheMenuAtTheSelectionAndDeleteAsksFirst)
{
    TempFolder folder;
    std::string path = folder / "card.vcf";
    WriteBytes(path, CARD);
    Answers answers("Yes No Yes");
    Editor editor(path);
    ASSERT_TRUE(editor.Select("home/EMAIL"));
    editor.Press(VK_DELETE);
    ASSERT_TRUE(editor.Select("work/TEL"));
    menuSeen = MenuSeen();
    ChooseInNextMenu(ID_ITEM_DELETE);
    editor.Press(VK_APPS);
    ChooseInNextMenu(0);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(GetFocus(), WM_SYSKEYDOWN, VK_F10, 1);
    Pump(200);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(2, menuSeen.menus) << "one menu for each key";
    SetFocus(editor.Item(IDC_PARAMETER_LIST));
    ListView_SetItemState(editor.Item(IDC_PARAMETER_LIST), 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    editor.Press(VK_DELETE);
    EXPECT_EQ("Are you sure you want to DELETE the \"EMAIL\" ?|Are you sure you want to DELETE the \"TEL\" ?|"
              "Are you sure you want to DELETE the \"type\" ?", answers.Lines());
    EXPECT_EQ((Names{"VERSION", "FN", "work", "work/TEL", "work/ADR", "home", "X-P"}), editor.TreeItems());
    EXPECT_EQ("WORK,1", editor.Cell(IDC_PARAMETER_LIST, 0, 1) + "," + editor.Cell(IDC_PARAMETER_LIST, 1, 1));
}

}  // namespace
