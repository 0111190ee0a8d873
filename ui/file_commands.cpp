// The file commands of the main window: Open, the load itself, Save through a temporary
// file, Undo and Exit, with their prompts and messages, and the window title.
#include "ui/file_commands.h"

#include "card/card_source.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "res/resource.h"
#include "services/messages.h"
#include "services/safe_save.h"
#include "ui/card_picker.h"
#include "ui/main_dialog.h"
#include "ui/shell_calls.h"
#include "ui/view_messages.h"

#include <commdlg.h>
#include <new>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>
#include <string>

namespace {

const char UNTITLED[] = "<untitled>";
const char TITLE_SEPARATOR[] = " - ";
const size_t SAVE_AS_TITLE_SIZE = 128;
const char DEFAULT_EXTENSION[] = "VCF";
// Pairs of display text and pattern, the list ended by an extra NUL.
const char FILE_FILTER[] = "vCard Files (*.VCF)\0*.VCF\0All files (*.*)\0*.*\0";
const size_t TITLE_SIZE = 256;

// A save of one card of a file of several: the file with that card rewritten.
struct CardInFile {
    const CardFile* cards;
    size_t index;
    CardDocument* document;
};

HRESULT WriteCardInFile(CardOutput& output, void* context)
{
    CardInFile& save = *(CardInFile*)context;
    return save.cards->WriteWithCard(save.index, *save.document, output);
}

// The user chose not to open any card of the file: nothing to report.
const HRESULT CHOICE_CANCELLED = E_ABORT;

}  // namespace

const FileCommands::MapEntry FileCommands::messageMap[] = {
    MapEntry::Command(ID_FILE_NEW, &FileCommands::OnFileNew),
    MapEntry::Command(IDC_OPEN, &FileCommands::OnFileOpen),
    MapEntry::Message(WM_DROPFILES, &FileCommands::OnDropFiles),
    MapEntry::Message(WM_COMMAND, &FileCommands::OnRecentFile),
    MapEntry::Message(UM_LOADFILE, &FileCommands::OnLoadFile),
    MapEntry::Command(IDC_SAVE, &FileCommands::OnFileSaveCommand),
    MapEntry::Command(ID_FILE_SAVE_AS, &FileCommands::OnFileSaveAs),
    MapEntry::Command(IDC_UNDO, &FileCommands::OnFileUndo),
    MapEntry::Command(IDCANCEL, &FileCommands::OnFileExit),
    MapEntry::Message(WM_TIMER, &FileCommands::OnTimer),
    MapEntry::Notify(IDC_RETIRED_TREE, TVN_DELETEITEMA, &FileCommands::OnRetiredItemDeleted),
};
MESSAGE_MAP_HANDLER(FileCommands)

FileCommands::FileCommands(MainDialog& mainWindow)
    : dialog(mainWindow), document(nullptr), cards(nullptr), cardIndex(0), reloadCard(-1), savingUtf16AsUtf8(false)
{
    filePath[0] = '\0';
    loadPath[0] = '\0';
}

FileCommands::~FileCommands()
{
    DiscardAll();
}

OPENFILENAMEA FileDialogRecord(HWND owner, char* path, size_t room, const char* filter, const char* defaultExtension)
{
    OPENFILENAMEA record = {};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    record.hInstance = appModule.instance;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;
    record.nMaxFile = (DWORD)room;
    record.lpstrDefExt = defaultExtension;
    return record;
}

HWND FileCommands::Item(int id) const
{
    return GetDlgItem(dialog.Window(), id);
}

void FileCommands::StartWithCommandLine(const char* commandLine)
{
    std::string path = CommandLinePath(commandLine);
    if (!path.empty() && !RefusedAsTooLong(path.c_str()) &&
        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        QueueLoad(path.c_str());
        return;
    }
    CreateEmptyDocument();
}

void FileCommands::DiscardDocument(HWND replacement)
{
    // The cards of the file go with the card taken from them.
    delete cards;
    cards = nullptr;
    cardIndex = 0;
    if (document == nullptr || RetireDocument(replacement)) return;
    // Without drawing, the control takes out its items at a fraction of the cost.
    HWND tree = document->GetTree();
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    document->DeleteAll();
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    delete document;
    document = nullptr;
}

void FileCommands::DiscardAll()
{
    closing = true;
    DiscardDocument();
    retired.EmptyAll();
}

// A large card's tree is hidden and emptied later, with replacement (or a new empty
// tree) on screen in its place at once. False when the card is emptied now instead.
bool FileCommands::RetireDocument(HWND replacement)
{
    HWND tree = document->GetTree();
    if (closing || tree != Item(IDC_PROPERTY_TREE) || !RetiredCards::IsWorthRetiring(*document)) return false;
    HWND shown = replacement != nullptr ? replacement : CreateLoadingTree();
    if (shown == nullptr) return false;
    bool hadFocus = GetFocus() == tree;
    SetWindowLongPtrA(tree, GWLP_ID, IDC_RETIRED_TREE);
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    // A replacement given is shown by the caller: turning a tree's drawing on measures
    // every item it holds, once is enough.
    if (replacement == nullptr) ShowLoadedTree(shown, hadFocus);
    ShowWindow(tree, SW_HIDE);
    retired.Retire(document, dialog.Window());
    document = nullptr;
    return true;
}

LRESULT FileCommands::OnTimer(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (wParam != RetiredCards::TIMER_ID) {
        handled = false;
        return 0;
    }
    retired.EmptySome(dialog.Window());
    return 0;
}

LRESULT FileCommands::OnRetiredItemDeleted(int, NMHDR* header, bool&)
{
    ReleaseDeletedItemNode((NMTREEVIEWA*)header);
    return 0;
}

void FileCommands::CreateEmptyDocument()
{
    document = new (std::nothrow) CardDocument(Item(IDC_PROPERTY_TREE), dialog.EscapeColonCell());
}

bool FileCommands::StartUntitledCard()
{
    DiscardDocument();
    CreateEmptyDocument();
    if (document == nullptr) return false;
    filePath[0] = '\0';
    UpdateTitle();
    return true;
}

bool FileCommands::PromptSaveChanges()
{
    dialog.CommitOpenEditor();
    if (document == nullptr || !document->IsModified()) return true;
    int answer = ReportMessage(0, nullptr, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, IDS_SAVE_CHANGES,
                               filePath[0] != '\0' ? filePath : UNTITLED);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) return OnFileSave();
    return true;
}

LRESULT FileCommands::OnFileOpen(WORD, WORD, HWND, bool&)
{
    if (!PromptSaveChanges()) return 0;
    // The chosen file becomes the card's path only once it has loaded. The dialog has
    // room for any path, so that one too long for the editor is refused in words.
    std::string chosen(CHOSEN_PATH_ROOM, '\0');
    memcpy(&chosen[0], filePath, sizeof filePath);
    OPENFILENAMEA record = FileDialogRecord(dialog.Window(), &chosen[0], chosen.size(), FILE_FILTER, DEFAULT_EXTENSION);
    // The card is never opened read-only, so the dialog does not offer it.
    record.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (ChooseFileToOpen(&record) && !RefusedAsTooLong(chosen.c_str())) QueueLoad(chosen.c_str());
    return 0;
}

LRESULT FileCommands::OnLoadFile(UINT, WPARAM, LPARAM, bool&)
{
    LoadFile();
    return 0;
}

// The card is read into a tree of its own behind the one on screen, which it replaces
// only when the whole file has loaded: a file that fails to load leaves the card that
// was open as it was, with its path and title.
void FileCommands::LoadFile()
{
    dialog.CommitOpenEditor();
    if (loadPath[0] == '\0') {
        // Nothing to read (Undo of an untitled card): an empty card.
        DiscardDocument();
        CreateEmptyDocument();
        filePath[0] = '\0';
        UpdateTitle();
        dialog.View().RefreshPropertyView(nullptr);
        return;
    }
    HWND loadingTree = CreateLoadingTree();
    if (loadingTree == nullptr) {
        ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_CANNOT_OPEN, loadPath);
        return;
    }
    // The reader sets the escape-colon setting from the file; a failed load keeps the
    // open card's.
    int* escapeColon = dialog.EscapeColonCell();
    int previousEscapeColon = escapeColon != nullptr ? *escapeColon : 0;
    CardDocument* loaded = NewLoadingDocument(loadingTree, escapeColon);
    bool opened = false;
    CardFile* loadedCards = nullptr;
    size_t loadedIndex = 0;
    HRESULT result = loaded != nullptr ? ReadCardFile(loaded, &opened, &loadedCards, &loadedIndex) : E_OUTOFMEMORY;
    reloadCard = -1;
    if (FAILED(result)) {
        delete loadedCards;
        if (loaded == nullptr) ReportMessage(result, nullptr, MB_ICONERROR, IDS_CANNOT_OPEN, loadPath);
        if (escapeColon != nullptr) *escapeColon = previousEscapeColon;
        if (loaded != nullptr) loaded->DeleteAll();
        delete loaded;
        DestroyWindow(loadingTree);
        // At start-up there is no card to keep: a file that does not even open, or whose
        // cards the user chose none of, leaves an empty untitled card; one that is not a
        // card leaves none.
        if (document == nullptr && (!opened || result == CHOICE_CANCELLED)) CreateEmptyDocument();
        NoteInRecentFiles(false, result == CHOICE_CANCELLED);
        return;
    }
    bool treeFocused = GetFocus() == Item(IDC_PROPERTY_TREE);
    DiscardDocument(loadingTree);
    ShowLoadedTree(loadingTree, treeFocused);
    document = loaded;
    cards = loadedCards;
    cardIndex = loadedIndex;
    savingUtf16AsUtf8 = false;
    memcpy(filePath, loadPath, sizeof filePath);
    UpdateTitle();
    dialog.View().RefreshPropertyView(nullptr);
    NoteInRecentFiles(true, false);
    if (document->UnconvertedLine() > 0) {
        ReportMessage(0, nullptr, MB_ICONWARNING, IDS_TEXT_KEPT_AS_READ, document->UnconvertedLine());
    }
}

// A hidden twin of the property tree, placed right behind it: the dialog still finds
// the tree on screen under its id, and the twin takes its place in the tab order.
HWND FileCommands::CreateLoadingTree() const
{
    HWND shown = Item(IDC_PROPERTY_TREE);
    RECT place = {};
    GetWindowRect(shown, &place);
    MapWindowPoints(nullptr, dialog.Window(), (POINT*)&place, 2);
    DWORD style = (DWORD)GetWindowLongPtrA(shown, GWL_STYLE) & ~(DWORD)WS_VISIBLE;
    DWORD exStyle = (DWORD)GetWindowLongPtrA(shown, GWL_EXSTYLE);
    HWND tree = CreateWindowExA(exStyle, WC_TREEVIEWA, "", style, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, dialog.Window(), (HMENU)(INT_PTR)IDC_PROPERTY_TREE,
                                appModule.instance, nullptr);
    if (tree == nullptr) return nullptr;
    SetWindowPos(tree, shown, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(tree, WM_SETFONT, (WPARAM)SendMessageA(shown, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)dialog.View().TreeImages());
    // Every insertion would otherwise scroll to the new item and repaint.
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    return tree;
}

CardDocument* FileCommands::NewLoadingDocument(HWND loadingTree, int* escapeColon)
{
    CardDocument* loading = new (std::nothrow) CardDocument(loadingTree, escapeColon);
    // The loading tree does not draw, and the control searches its items for every handle
    // it is given: the order that keeps those searches short.
    if (loading != nullptr) loading->SetReadGroupsFirst(true);
    return loading;
}

// Reads the file at loadPath into the document; on failure the user has been told why.
// opened: whether the file could be opened at all. A file of several cards is held in
// *cardsRead (which the caller owns), and the user chooses the card, *index; a file of
// one card is read from its stream, as ever. vcardtool opens a file the same way.
HRESULT FileCommands::ReadCardFile(CardDocument* into, bool* opened, CardFile** cardsRead, size_t* index)
{
    CardSource source;
    HRESULT result = source.Open(loadPath);
    *opened = source.Opened();
    if (FAILED(result)) {
        ReportMessage(result, nullptr, MB_ICONERROR, IDS_CANNOT_OPEN, loadPath);
        return result;
    }
    size_t chosen = 0;
    if (source.HoldsSeveral()) {
        long choice = ChooseCard(source.Cards());
        if (choice == CardPicker::DIALOG_FAILED) {
            ReportMessage(FailureFromLastError(), nullptr, MB_ICONERROR, IDS_CANNOT_OPEN, loadPath);
        }
        if (choice < 0) return CHOICE_CANCELLED;
        chosen = (size_t)choice;
    }
    result = source.ReadCard(chosen, *into);
    if (source.HoldsSeveral()) {
        *cardsRead = source.TakeCards();
        *index = chosen;
    }
    if (FAILED(result)) ReportMessage(result, &into->LastRefusal(), MB_ICONERROR, IDS_NOT_VALID_FILE, loadPath);
    return result;
}

// Which card of the file to open: the one Undo reloads, else the user's choice (the
// open card's row chosen at first when the same file opens again); -1 for none.
long FileCommands::ChooseCard(const CardFile& file)
{
    if (reloadCard >= 0 && (size_t)reloadCard < file.CardCount()) return reloadCard;
    bool sameFile = cards != nullptr && strcmp(loadPath, filePath) == 0;
    CardPicker picker(file, sameFile ? cardIndex : 0);
    return picker.Choose(dialog.Window());
}

// The loaded tree replaces the one on screen, showing the card from its top.
void FileCommands::ShowLoadedTree(HWND loadedTree, bool focus)
{
    HWND shown = Item(IDC_PROPERTY_TREE);
    if (shown != nullptr && shown != loadedTree) DestroyWindow(shown);
    ShowWindow(loadedTree, SW_SHOW);
    // Turning drawing back on may mark the window visible without painting it: the
    // repaint is asked for explicitly.
    SendMessageA(loadedTree, WM_SETREDRAW, TRUE, 0);
    HTREEITEM top = (HTREEITEM)SendMessageA(loadedTree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    if (top != nullptr) SendMessageA(loadedTree, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, (LPARAM)top);
    InvalidateRect(loadedTree, nullptr, TRUE);
    if (focus) SetFocus(loadedTree);
}

HRESULT FileCommands::WriteWholeCard(CardOutput& output, void* context)
{
    return ((CardDocument*)context)->WriteCard(output);
}

bool FileCommands::AskForSavePath()
{
    char title[SAVE_AS_TITLE_SIZE];
    LoadTextString(IDS_SAVE_AS_TITLE, title, (int)sizeof title);
    std::string chosen(CHOSEN_PATH_ROOM, '\0');
    OPENFILENAMEA record = FileDialogRecord(dialog.Window(), &chosen[0], chosen.size(), FILE_FILTER, DEFAULT_EXTENSION);
    record.lpstrTitle = title;
    record.Flags = OFN_OVERWRITEPROMPT | OFN_SHOWHELP;
    if (!ChooseFileToSave(&record) || RefusedAsTooLong(chosen.c_str(), IDS_SAVE_PATH_TOO_LONG)) return false;
    memcpy(filePath, chosen.c_str(), strlen(chosen.c_str()) + 1);
    return true;
}

LRESULT FileCommands::OnFileSaveCommand(WORD, WORD, HWND, bool&)
{
    OnFileSave();
    return 0;
}

bool FileCommands::OnFileSave()
{
    dialog.CommitOpenEditor();
    if (document == nullptr) return false;
    if (!document->ValidateCard()) {
        ReportMessage(0, &document->LastRefusal(), MB_ICONERROR, IDS_CARD_NOT_VALID);
        return false;
    }
    bool newPath = false;
    if (filePath[0] == '\0') {
        if (!AskForSavePath()) return false;
        newPath = true;
    }
    // A UTF-16 file is written as UTF-8 only when the user has agreed to it.
    bool utf16 = cards != nullptr ? cards->CameFromUtf16() : document->CameFromUtf16();
    if (utf16 && !savingUtf16AsUtf8) {
        if (ReportMessage(0, nullptr, MB_OKCANCEL | MB_ICONQUESTION, IDS_SAVE_UTF16_AS_UTF8, filePath) != IDOK) {
            return false;
        }
        savingUtf16AsUtf8 = true;
    }
    SaveFailure failure;
    HRESULT result;
    if (cards != nullptr) {
        // Only the open card is written anew; every other byte of the file stays.
        CardInFile save = {cards, cardIndex, document};
        result = SaveThroughTemporary(filePath, WriteCardInFile, &save, &failure);
    } else {
        result = SaveThroughTemporary(filePath, WriteWholeCard, document, &failure);
    }
    if (FAILED(result)) {
        ReportMessage(result, &document->LastRefusal(), MB_ICONERROR, SaveFailureMessage(failure.stage), failure.path);
        return false;
    }
    // What is on disk now is the card: nothing is left unsaved.
    document->ClearStructureChanged();
    dialog.View().EnableUndoButton(document->IsModified());
    if (newPath) UpdateTitle();
    if (newPath) NoteInRecentFiles(true, false);
    return true;
}

LRESULT FileCommands::OnFileUndo(WORD, WORD, HWND, bool&)
{
    dialog.CommitOpenEditor();
    if (document == nullptr) return 0;
    if (ReportMessage(0, nullptr, MB_YESNO | MB_ICONQUESTION, IDS_CONFIRM_UNDO) != IDYES) return 0;
    memcpy(loadPath, filePath, sizeof loadPath);
    if (cards != nullptr) reloadCard = (long)cardIndex;
    LoadFile();
    dialog.View().RefreshPropertyView(nullptr);
    return 0;
}

LRESULT FileCommands::OnFileExit(WORD, WORD, HWND, bool&)
{
    if (!PromptSaveChanges()) return 0;
    DestroyWindow(dialog.Window());
    return 0;
}

void FileCommands::UpdateTitle()
{
    char title[TITLE_SIZE] = "";
    GetWindowTextA(dialog.Window(), title, (int)sizeof title);
    char* dash = MbsFindChar(title, '-');
    if (dash == nullptr) {
        size_t length = strlen(title);
        _snprintf(title + length, sizeof title - length, "%s", TITLE_SEPARATOR);
        title[sizeof title - 1] = '\0';
        dash = MbsFindChar(title, '-');
    }
    if (dash == nullptr || dash[1] == '\0') return;
    dash[2] = '\0';  // keep the caption, the '-' and the space after it

    char name[FILE_PATH_SIZE];
    _snprintf(name, sizeof name, "%s", filePath[0] != '\0' ? filePath : UNTITLED);
    name[sizeof name - 1] = '\0';
    PathStripPathA(name);
    size_t length = strlen(title);
    if (cards != nullptr) {
        // Which card of the file is open, counted from 1.
        char format[TITLE_SIZE];
        LoadTextString(IDS_TITLE_CARD, format, (int)sizeof format);
        _snprintf(title + length, sizeof title - length, format, name, (int)cardIndex + 1, (int)cards->CardCount());
    } else {
        _snprintf(title + length, sizeof title - length, "%s", name);
    }
    title[sizeof title - 1] = '\0';
    // A card of an older version says so: a save writes it in that version.
    if (document != nullptr && document->GetVersion() != CardVersion::V40) {
        char format[TITLE_SIZE];
        LoadTextString(IDS_TITLE_VERSION, format, (int)sizeof format);
        length = strlen(title);
        _snprintf(title + length, sizeof title - length, format, VersionText(document->GetVersion()));
        title[sizeof title - 1] = '\0';
    }
    SetWindowTextA(dialog.Window(), title);
}
