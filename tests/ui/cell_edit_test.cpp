// In-place editing of the parameter and component lists, the settings dialog and the
// main window's keyboard, through the real controls under Wine with real files.
#include "res/resource.h"
#include "tests/support/ui_driver.h"
#include "ui/main_dialog.h"
#include "ui/settings_dialog.h"

#include <gtest/gtest.h>
#include <functional>

namespace {

using ui::Answers;
using ui::Editor;
using ui::Text;

const int COMPONENTS = IDC_COMPONENT_LIST;
const int PARAMETERS = IDC_PARAMETER_LIST;

// N has absent components, ADR three parameters, TEL a TYPE pair and a PREF.
const char CARD[] =
    "BEGIN:VCARD\r\n"
    "VERSION:4.0\r\n"
    "FN:Jane Doe\r\n"
    "N:Doe;Jane;;;\r\n"
    "TEL;TYPE=WORK,VOICE;PREF=1:+1-555-0100\r\n"
    "ADR;TYPE=work;PREF=2;LABEL=Office:;;100 Main Street;Springfield;IL;62701;USA\r\n"
    "NOTE:a\\:b\r\n"
    "END:VCARD\r\n";

// Characters as the keyboard gives them, to the control that has the focus.
void Type(const std::string& text)
{
    for (unsigned char c : text) PostMessageA(GetFocus(), WM_CHAR, c, 1);
    ui::Pump();
}

// A key pressed while modifier (VK_SHIFT, VK_CONTROL) is held down.
void PressWith(UINT modifier, UINT key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE before = keys[modifier];
    keys[modifier] = 0x80;
    SetKeyboardState(keys);
    HWND target = GetFocus() != nullptr ? GetFocus() : mainDialog->Window();
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, (LPARAM)0xC0000001);
    ui::Pump(150);
    keys[modifier] = before;
    SetKeyboardState(keys);
}

// A click on the middle of a cell's left part.
void ClickCell(Editor& editor, int list, int row, int column)
{
    RECT cell = CellRect(editor.Item(list), row, column);
    ui::ClickAt(editor.Item(list), cell.left + 10, (cell.top + cell.bottom) / 2);
}

std::string Shown(const char* value)
{
    return value != nullptr ? value : "<absent>";
}

PropertyNode* Property(const char* name)
{
    PropertyNode* found = nullptr;
    mainDialog->Document()->ForEachProperty([&](const char*, PropertyNode* property) {
        if (strcmp(property->GetDisplayName(), name) == 0) found = property;
        return found == nullptr;
    });
    return found;
}

// A folder of its own for each test, with the card in it as card.vcf.
class CellEditTest : public ::testing::Test {
protected:
    void SetUp() override { card = Write("card.vcf", CARD); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        WriteBytes(folder / name, bytes);
        return folder / name;
    }

    // Opens the editor over (row, Value) of the list for the tree item, types text.
    static HWND EditCell(Editor& editor, const char* item, int list, int row, const std::string& text)
    {
        EXPECT_TRUE(editor.Select(item)) << item;
        HWND control = ui::OpenCellEditor(editor, list, row);
        EXPECT_NE(nullptr, control) << item << " row " << row;
        Type(text);
        return control;
    }

    TempFolder folder;
    std::string card;
};

// ---------------------------------------------------------------- commit and cancel

TEST_F(CellEditTest, EveryWayOutOfTheEditorStoresOrCancels)
{
    struct Case {
        const char* way;
        std::function<void(Editor&)> leave;
        bool stores;
    };
    const Case cases[] = {
        {"Enter", [](Editor& e) { e.Press(VK_RETURN); }, true},
        {"Escape", [](Editor& e) { e.Press(VK_ESCAPE); }, false},
        {"Tab", [](Editor& e) { e.Press(VK_TAB); }, true},
        {"Shift+Tab", [](Editor&) { PressWith(VK_SHIFT, VK_TAB); }, true},
        {"click on the tree", [](Editor& e) { EXPECT_TRUE(e.Select("FN")); }, true},
        {"click on another row", [](Editor& e) { ClickCell(e, COMPONENTS, 3, 0); }, true},
        {"click on the other list", [](Editor& e) { ui::ClickAt(e.Item(PARAMETERS), 20, 40); }, true},
    };
    for (const Case& c : cases) {
        Editor editor(card);
        HWND control = EditCell(editor, "N", COMPONENTS, 1, "Janet");
        EXPECT_EQ(GetFocus(), control) << c.way;
        c.leave(editor);
        ui::Pump(100);
        EXPECT_TRUE(editor.IsRunning()) << c.way;
        EXPECT_EQ(nullptr, ui::CellEditorOf(editor, COMPONENTS)) << c.way;
        EXPECT_STREQ(c.stores ? "Janet" : "Jane", Property("N")->GetValue(1)) << c.way;
        EXPECT_EQ(c.stores, mainDialog->Document()->IsModified()) << c.way;
        EXPECT_EQ(c.stores, editor.IsEnabled(IDC_UNDO)) << c.way << ": Undo follows at once";
    }
}

TEST_F(CellEditTest, TabMovesOnFromTheListAndShiftTabBack)
{
    Editor editor(card);
    EditCell(editor, "TEL", PARAMETERS, 1, "CELL");
    editor.Press(VK_TAB);
    EXPECT_EQ(editor.Item(IDC_VALUE_EDIT), GetFocus());
    EXPECT_EQ("CELL", editor.Cell(PARAMETERS, 1, 1));
    ui::OpenCellEditor(editor, PARAMETERS, 2);
    PressWith(VK_SHIFT, VK_TAB);
    EXPECT_EQ(editor.Item(IDC_PROPERTY_TREE), GetFocus());
}

TEST_F(CellEditTest, F2EditsTheSelectedRowsValue)
{
    Editor editor(card);
    for (int list : {COMPONENTS, PARAMETERS}) {
        ASSERT_TRUE(editor.Select("ADR"));
        ClickCell(editor, list, list == PARAMETERS ? 2 : 0, 0);
        editor.Press(VK_F2);
        HWND control = ui::CellEditorOf(editor, list);
        ASSERT_NE(nullptr, control) << list;
        EXPECT_EQ(list == COMPONENTS ? "" : "Office", Text(control)) << "the Value cell, not the name";
        editor.Press(VK_ESCAPE);
    }
}

// Escape in a cell cancels the edit, never the program; the dialog's Escape still exits.
TEST_F(CellEditTest, EscapeInAComboCancelsOnlyTheEdit)
{
    Answers answers;
    Editor editor(card);
    EditCell(editor, "TEL", PARAMETERS, 0, "HOME");
    editor.Press(VK_ESCAPE);
    EXPECT_TRUE(editor.IsRunning());
    EXPECT_EQ("WORK", editor.Cell(PARAMETERS, 0, 1));
    EXPECT_TRUE(answers.shown.empty());
    editor.Press(VK_ESCAPE);
    EXPECT_FALSE(editor.IsRunning());
}

// ---------------------------------------------------------------- the text lands in its own cell

TEST_F(CellEditTest, TextLandsOnlyInTheCellTheEditorWasOpenedFor)
{
    struct Case {
        const char* item;
        int row;
        const char* then;  // the tree item clicked while the editor is open
    };
    // FN would grow to "Jane Doe;;;text" if the text followed the selection.
    const Case cases[] = {{"N", 1, "ADR"}, {"ADR", 3, "FN"}, {"ADR", 2, "N"}};
    for (const Case& c : cases) {
        Editor editor(card);
        PropertyNode* other = Property(c.then);
        int count = other->GetValueCount();
        std::string before = Shown(other->GetValue(c.row < count ? c.row : 0));
        EditCell(editor, c.item, COMPONENTS, c.row, "moved");
        ASSERT_TRUE(editor.Select(c.then));
        ui::Pump(100);
        EXPECT_STREQ("moved", Property(c.item)->GetValue(c.row)) << c.item;
        EXPECT_EQ(count, other->GetValueCount()) << c.then;
        EXPECT_EQ(before, Shown(other->GetValue(c.row < count ? c.row : 0))) << c.then;
    }
}

TEST_F(CellEditTest, EditMovingFromAComponentToAParameterStoresEachInItsOwnCell)
{
    Editor editor(card);
    ASSERT_TRUE(editor.Select("ADR"));
    ui::OpenCellEditor(editor, PARAMETERS, 0);
    editor.Press(VK_ESCAPE);
    EditCell(editor, "ADR", COMPONENTS, 2, "1 Side Road");
    // One click: the parameter row is the selected one already.
    ClickCell(editor, PARAMETERS, 0, 1);
    EXPECT_NE(nullptr, ui::CellEditorOf(editor, PARAMETERS));
    EXPECT_STREQ("1 Side Road", Property("ADR")->GetValue(2));
    EXPECT_EQ("Office", editor.Cell(PARAMETERS, 2, 1));
}

TEST_F(CellEditTest, ParameterRemovedWhileEditingTakesNoOtherParametersText)
{
    struct Case {
        int removed;
        const char* remaining[2];
    };
    // Row 1 is VOICE; removing row 0 moves it up, removing row 1 removes the edit's cell.
    const Case cases[] = {{0, {"CELL", "1"}}, {1, {"WORK", "1"}}};
    for (const Case& c : cases) {
        Editor editor(card);
        EditCell(editor, "TEL", PARAMETERS, 1, "CELL");
        Property("TEL")->RemoveParameterAt(c.removed);
        editor.Press(VK_RETURN);
        for (int i = 0; i < 2; ++i)
            EXPECT_STREQ(c.remaining[i], Property("TEL")->GetParameterAt(i)->GetValue()) << c.removed;
    }
}

// ---------------------------------------------------------------- what is stored

TEST_F(CellEditTest, LeavingACellUnchangedChangesNothing)
{
    struct Case {
        const char* item;
        int list;
        int row;
        const char* shown;
    };
    // An absent component shows as "" and stays absent; "work" shows as the entry "WORK".
    const Case cases[] = {{"N", COMPONENTS, 2, ""}, {"ADR", PARAMETERS, 0, "WORK"}, {"ADR", PARAMETERS, 2, "Office"}};
    for (const Case& c : cases) {
        Editor editor(card);
        HWND control = EditCell(editor, c.item, c.list, c.row, "");
        EXPECT_EQ(c.shown, Text(control)) << c.item << c.row;
        editor.Press(VK_RETURN);
        EXPECT_FALSE(mainDialog->Document()->IsModified()) << c.item << c.row;
        EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
    }
    Editor editor(card);
    EditCell(editor, "N", COMPONENTS, 2, "");
    editor.Press(VK_RETURN);
    EXPECT_EQ(nullptr, Property("N")->GetValue(2)) << "still absent, not empty";
}

TEST_F(CellEditTest, TextWiderThanTheCellIsTypedWhole)
{
    const std::string wide = "1234 Long Industrial Estate Road, Building C, Unit 17, Rear Entrance";
    // A street, a label (an edit) and a type (a combo box).
    const int cells[][2] = {{COMPONENTS, 2}, {PARAMETERS, 2}, {PARAMETERS, 0}};
    for (const auto& cell : cells) {
        Editor editor(card);
        EditCell(editor, "ADR", cell[0], cell[1], wide);
        editor.Press(VK_RETURN);
        EXPECT_EQ(wide, editor.Cell(cell[0], cell[1], 1)) << cell[0] << " row " << cell[1];
    }
}

TEST_F(CellEditTest, EditorsSitExactlyOverTheirCells)
{
    struct Case {
        const char* item;
        int list;
        int row;
        int entries;  // of the combo box; 0 for the edit
        const char* screenshot;
    };
    const Case cases[] = {{"ADR", COMPONENTS, 2, 0, "edit-over-component"},
                          {"TEL", PARAMETERS, 0, 9, "combo-over-type"},
                          {"ADR", PARAMETERS, 0, 2, nullptr}};
    for (const Case& c : cases) {
        Editor editor(card);
        HWND control = EditCell(editor, c.item, c.list, c.row, "");
        RECT cell = CellRect(editor.Item(c.list), c.row, 1), place = {};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, editor.Item(c.list), (POINT*)&place, 2);
        EXPECT_EQ(cell.left, place.left) << c.item;
        EXPECT_EQ(cell.right, place.right) << c.item;
        EXPECT_EQ(cell.top - (c.entries == 0 ? 1 : 0), place.top) << c.item;
        if (c.entries == 0) {
            EXPECT_EQ(cell.bottom + 1, place.bottom);
        } else {
            // Every entry shows in the dropped list without scrolling.
            EXPECT_EQ(c.entries, (int)SendMessageA(control, CB_GETCOUNT, 0, 0));
            SendMessageA(control, CB_SHOWDROPDOWN, TRUE, 0);
            RECT dropped = {};
            SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
            int entryHeight = (int)SendMessageA(control, CB_GETITEMHEIGHT, 0, 0);
            EXPECT_LE(c.entries * entryHeight, dropped.bottom - dropped.top) << c.item;
        }
        if (c.screenshot != nullptr) {
            editor.Screenshot(c.screenshot);
        }
        editor.Press(VK_ESCAPE);
    }
}

// ---------------------------------------------------------------- commands commit first

TEST_F(CellEditTest, SaveCommandsStoreTheOpenEditorFirst)
{
    struct Case {
        const char* way;
        std::function<void(Editor&)> save;
    };
    const Case cases[] = {
        {"menu Save", [](Editor& e) { e.Menu(IDC_SAVE); }},
        {"Alt+S", [](Editor&) { PostMessageA(GetFocus(), WM_SYSCHAR, 's', 1 << 29); ui::Pump(150); }},
        {"Ctrl+S", [](Editor&) { PressWith(VK_CONTROL, 'S'); }},
    };
    for (const Case& c : cases) {
        WriteBytes(card, CARD);
        Answers answers;
        Editor editor(card);
        EditCell(editor, "N", COMPONENTS, 1, "Janet");
        c.save(editor);
        EXPECT_NE(std::string::npos, ReadBytes(card).find("\r\nN:Doe;Janet;;;\r\n")) << c.way;
        EXPECT_TRUE(answers.shown.empty()) << c.way;
        EXPECT_FALSE(mainDialog->Document()->IsModified()) << c.way;
    }
}

TEST_F(CellEditTest, CommandsThatDiscardTheCardAskAboutTheOpenEditorsText)
{
    struct Case {
        const char* way;
        std::function<void(Editor&)> run;
    };
    const Case cases[] = {
        {"menu Exit", [](Editor& e) { e.Menu(IDCANCEL); }},
        {"Alt+X", [](Editor&) { PostMessageA(GetFocus(), WM_SYSCHAR, 'x', 1 << 29); ui::Pump(150); }},
        {"close box", [](Editor& e) { PostMessageA(e.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); ui::Pump(150); }},
        {"Alt+F4",
         [](Editor&) { PostMessageA(GetFocus(), WM_SYSKEYDOWN, VK_F4, 1 << 29); ui::Pump(150); }},
        {"menu Open", [](Editor& e) { e.Menu(IDC_OPEN); }},
        {"Ctrl+O", [](Editor&) { PressWith(VK_CONTROL, 'O'); }},
    };
    for (const Case& c : cases) {
        Answers answers;
        answers.Add("Cancel");
        Editor editor(card);
        EditCell(editor, "N", COMPONENTS, 1, "Janet");
        c.run(editor);
        ASSERT_EQ(1u, answers.shown.size()) << c.way;
        EXPECT_EQ(0u, answers.shown[0].text.find("The changes in current")) << c.way;
        EXPECT_TRUE(editor.IsRunning()) << c.way;
        EXPECT_STREQ("Janet", Property("N")->GetValue(1)) << c.way;
    }
}

// ---------------------------------------------------------------- a failing combo box

BOOL WINAPI FailWithoutError(HWND, COMBOBOXINFO*)
{
    SetLastError(0);
    return FALSE;
}

BOOL WINAPI FailAccessDenied(HWND, COMBOBOXINFO*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(CellEditTest, ComboBoxWithoutPartsIsReportedAndStoresNothing)
{
    struct Case {
        BOOL(WINAPI* parts)(HWND, COMBOBOXINFO*);
        const char* code;
    };
    const Case cases[] = {{FailWithoutError, "[0x80004005]"}, {FailAccessDenied, "[0x80070005]"}};
    for (const Case& c : cases) {
        Answers answers;
        answers.Add("OK");
        Editor editor(card);
        ReadComboParts = c.parts;
        ASSERT_TRUE(editor.Select("TEL"));
        HWND combo = ui::OpenCellEditor(editor, PARAMETERS, 0);
        ReadComboParts = GetComboBoxInfo;
        EXPECT_EQ(nullptr, combo) << c.code;
        ASSERT_EQ(1u, answers.shown.size()) << c.code;
        EXPECT_EQ(0u, answers.shown[0].text.find(std::string("\n") + c.code)) << answers.shown[0].text;
        ASSERT_TRUE(editor.Select("FN"));
        editor.Menu(IDC_SAVE);
        EXPECT_NE(std::string::npos, ReadBytes(card).find("TEL;type=WORK,VOICE;pref=1:")) << c.code;
        EXPECT_FALSE(mainDialog->Document()->IsModified());
    }
}

// ---------------------------------------------------------------- pin and grow

TEST(EditorSubclassTest, PinnedEditorKeepsItsPlaceAndGrowsToItsTextInItsFont)
{
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "WWWWWW", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, parent, nullptr,
                                nullptr, nullptr);
    HFONT big = CreateFontA(-40, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    SendMessageA(edit, WM_SETFONT, (WPARAM)big, FALSE);
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, big);
    SIZE text = {}, letter = {};
    GetTextExtentPoint32A(dc, "WWWWWW", 6, &text);
    GetTextExtentPoint32A(dc, "M", 1, &letter);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);

    EditorSubclass editor;
    ASSERT_TRUE(editor.Subclass(edit));
    auto place = [&] {
        RECT r = {};
        GetWindowRect(edit, &r);
        MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
        return r;
    };
    SetWindowPos(edit, nullptr, 30, 40, 50, 20, SWP_NOZORDER);
    EXPECT_EQ(30, place().left) << "no pin: the editor goes where it is moved";
    EXPECT_EQ(50, place().right - place().left);

    editor.SetPin(POINT{5, 6}, 30);
    SetWindowPos(edit, nullptr, 30, 40, 50, 20, SWP_NOZORDER);
    RECT r = place();
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(6, r.top);
    EXPECT_EQ(30, r.bottom - r.top);
    EXPECT_EQ(text.cx + letter.cx, r.right - r.left) << "measured in the editor's own font";

    // A window's DC that was given back is the one handed out again.
    HDC first = GetDC(edit);
    ReleaseDC(edit, first);
    SetWindowPos(edit, nullptr, 0, 0, 60, 30, SWP_NOZORDER);
    HDC second = GetDC(edit);
    EXPECT_EQ(first, second) << "the measuring DC was released";
    ReleaseDC(edit, second);
    DestroyWindow(parent);
    DeleteObject(big);
}

// ---------------------------------------------------------------- settings

struct SettingsSeen {
    bool up;
    bool checked;
    bool toggle;
    bool pressOk;  // without answers waiting for the dialog
};
SettingsSeen settingsSeen;

// Once the settings dialog is up (and before the answers press its button): notes the
// check box and clicks it when asked.
void CALLBACK LookAtSettings(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", "Oskan vCard Editor Settings");
    if (dialog == nullptr) return;  // not up yet: the timer comes again
    KillTimer(nullptr, timer);
    settingsSeen.up = true;
    settingsSeen.checked = IsDlgButtonChecked(dialog, IDC_ESCAPE_COLON) == BST_CHECKED;
    if (settingsSeen.toggle) SendDlgItemMessageA(dialog, IDC_ESCAPE_COLON, BM_CLICK, 0, 0);
    if (settingsSeen.pressOk) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void RunSettings(Editor& editor, Answers& answers, int button, bool toggle)
{
    settingsSeen = SettingsSeen{false, false, toggle, false};
    answers.Add(button == IDOK ? "OK" : "Cancel");
    SetTimer(nullptr, 0, 10, LookAtSettings);
    editor.Menu(ID_EDIT_SETTINGS);
    ui::Pump(100);
}

TEST_F(CellEditTest, SettingTakesEffectAtTheNextSaveAndMarksNothing)
{
    struct Case {
        const char* note;  // as the file holds it
        int button;
        bool checked;      // as the dialog shows it
        const char* saved;
    };
    const Case cases[] = {{"NOTE:a\\:b", IDOK, true, "NOTE:a:b"},
                          {"NOTE:a\\:b", IDCANCEL, true, "NOTE:a\\:b"},
                          {"NOTE:a:b", IDOK, false, "NOTE:a\\:b"}};
    for (const Case& c : cases) {
        WriteBytes(card, std::string("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\n") + c.note + "\r\nEND:VCARD\r\n");
        Answers answers;
        Editor editor(card);
        if (c.button == IDOK && !c.checked) answers.ScreenshotNextBox("settings-dialog");
        RunSettings(editor, answers, c.button, true);
        ASSERT_TRUE(settingsSeen.up) << c.note;
        EXPECT_EQ(c.checked, settingsSeen.checked) << c.note;
        EXPECT_EQ("OK Cancel", answers.shown[0].buttons);
        EXPECT_FALSE(mainDialog->Document()->IsModified()) << c.note;
        EXPECT_FALSE(editor.IsEnabled(IDC_UNDO));
        editor.Menu(IDC_SAVE);
        EXPECT_NE(std::string::npos, ReadBytes(card).find(std::string("\r\n") + c.saved + "\r\n")) << c.note;
    }
}

TEST_F(CellEditTest, EachLoadSetsTheSettingFromItsFile)
{
    std::string plain = Write("plain.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nEND:VCARD\r\n");
    Answers answers;
    Editor editor(card);
    answers.Add("file:" + plain);
    editor.Menu(IDC_OPEN);
    ui::PumpUntil([&] { return editor.Title().find("plain.vcf") != std::string::npos; });
    RunSettings(editor, answers, IDOK, true);
    EXPECT_FALSE(settingsSeen.checked);
    answers.Add("Yes");
    editor.Menu(IDC_UNDO);
    RunSettings(editor, answers, IDCANCEL, false);
    EXPECT_FALSE(settingsSeen.checked) << "the reload reads it from the file again";
}

// As the dialog runs for a main window whose setting cell could not be allocated.
TEST(SettingsDialogTest, WithoutASettingShowsTheBoxClearAndChangesNothing)
{
    Editor editor;
    settingsSeen = SettingsSeen{false, true, true, true};
    SetTimer(nullptr, 0, 10, LookAtSettings);
    SettingsDialog dialog(nullptr);
    EXPECT_EQ(IDOK, dialog.RunModal(IDD_SETTINGS, editor.Window()));
    EXPECT_TRUE(settingsSeen.up);
    EXPECT_FALSE(settingsSeen.checked);
}

// ---------------------------------------------------------------- the main window

TEST_F(CellEditTest, UndoFollowsTypingAtOnce)
{
    Editor editor(card);
    ASSERT_TRUE(editor.Select("FN"));
    ASSERT_FALSE(editor.IsEnabled(IDC_UNDO));
    editor.Type(IDC_VALUE_EDIT, "!");
    EXPECT_TRUE(editor.IsEnabled(IDC_UNDO));
}

TEST_F(CellEditTest, FailedOpenKeepsTheCardItsPathAndTitle)
{
    std::string broken = Write("broken.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nNOTE without colon\r\nEND:VCARD\r\n");
    Answers answers;
    answers.Add("file:" + broken);
    answers.Add("OK");
    Editor editor(card);
    std::vector<std::string> items = editor.TreeItems();
    editor.Click(IDC_OPEN);
    ui::PumpUntil([&] { return answers.shown.size() == 2; });
    ui::Pump();
    EXPECT_EQ(0u, answers.shown[1].text.find("Not a valid vCard file " + broken));
    EXPECT_EQ(items, editor.TreeItems());
    EXPECT_EQ("Oskan vCard Editor - card.vcf", editor.Title());
    EXPECT_EQ(1, *mainDialog->EscapeColonCell()) << "the open card's setting stays";
    EditCell(editor, "N", COMPONENTS, 1, "Janet");
    editor.Menu(IDC_SAVE);
    EXPECT_NE(std::string::npos, ReadBytes(card).find("N:Doe;Janet;"));
    EXPECT_EQ(std::string::npos, ReadBytes(broken).find("Janet"));
}

bool readOnlyBoxShown = true;

void CALLBACK LookAtOpenDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", "Open");
    if (dialog == nullptr) return;
    KillTimer(nullptr, timer);
    HWND box = GetDlgItem(dialog, 0x410);  // chx1, "Open as read-only"
    readOnlyBoxShown = box != nullptr && IsWindowVisible(box);
}

TEST_F(CellEditTest, OpenDialogOffersNoReadOnlyBox)
{
    Answers answers;
    answers.Add("file:");
    Editor editor(card);
    SetTimer(nullptr, 0, 10, LookAtOpenDialog);
    editor.Click(IDC_OPEN);
    ASSERT_EQ(1u, answers.shown.size());
    EXPECT_FALSE(readOnlyBoxShown);
}

TEST_F(CellEditTest, ValueLabelShowsItsWholeText)
{
    Editor editor(card);
    HWND label = FindWindowExA(editor.Window(), nullptr, "Static", "&Value(s):");
    ASSERT_NE(nullptr, label);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(label, WM_GETFONT, 0, 0));
    SIZE text = {};
    GetTextExtentPoint32A(dc, "Value(s):", 9, &text);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    RECT client = {};
    GetClientRect(label, &client);
    EXPECT_LE(text.cx, client.right);
}

TEST_F(CellEditTest, LoadedCardShowsFromItsTop)
{
    std::string lines = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\n";
    for (int i = 0; i < 30; ++i) lines += "g" + std::to_string(i) + ".NOTE:n\r\n";
    Editor editor(Write("long.vcf", lines + "END:VCARD\r\n"));
    HWND tree = editor.Item(IDC_PROPERTY_TREE);
    EXPECT_EQ(62u, editor.TreeItems().size());
    EXPECT_EQ(TreeView_GetRoot(tree), TreeView_GetFirstVisible(tree));
}

}  // namespace
