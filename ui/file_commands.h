// The main window's file commands and the card they keep: Open and the load itself,
// Save through a temporary file, Save As in a version of the user's choice, Undo and
// Exit, with their prompts and messages, and the window title that names the file.
#pragma once

#include "card/card_file.h"
#include "card/document.h"
#include "framework/message_map.h"
#include "ui/file_paths.h"
#include "ui/recent_files.h"
#include "ui/retired_cards.h"

#include <commdlg.h>

class MainDialog;
struct ConversionReport;

// The record of an open or save dialog on path (room bytes) over owner, whose file types
// are filter (pairs of text and pattern, ended by an extra NUL).
OPENFILENAMEA FileDialogRecord(HWND owner, char* path, size_t room, const char* filter, const char* defaultExtension);

class FileCommands : public MessageMapPart {
    DECLARE_MESSAGE_MAP(FileCommands)

public:
    explicit FileCommands(MainDialog& dialog);
    FileCommands(const FileCommands&) = delete;
    FileCommands& operator=(const FileCommands&) = delete;
    ~FileCommands() override;

    // Opens the card named by the command-line tail, or starts an empty card.
    void StartWithCommandLine(const char* commandLine);
    // A new empty card, untitled, so that its first save asks where it goes; false when
    // there is no memory for it.
    bool StartUntitledCard();
    // Lets the card (and the file of cards it came from) go. A large card's tree leaves
    // the screen at once and is emptied later (see RetiredCards), with replacement, or a
    // new empty tree, shown in its place; replacement is a tree made by CreateLoadingTree.
    void DiscardDocument(HWND replacement = nullptr);
    // Lets every card go now, the cards being emptied included: the window is closing.
    void DiscardAll();
    // Reads the recent files kept for the user and shows them on menu (the Actions menu).
    void AttachRecentFiles(HMENU menu) { recentFiles.Attach(menu); }

    CardDocument* Document() const { return document; }
    const char* FilePath() const { return filePath; }
    // The cards of the open file when it holds several (null otherwise), and which of
    // them is open.
    const CardFile* Cards() const { return cards; }
    size_t CardIndex() const { return cardIndex; }

private:
    // ---- file commands (file_commands.cpp)
    LRESULT OnFileOpen(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnLoadFile(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnFileSaveCommand(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnFileUndo(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnFileExit(WORD code, WORD id, HWND control, bool& handled);
    bool PromptSaveChanges();
    // Saves the card: true when it was written, false when not (no card, invalid,
    // cancelled, any failure).
    bool OnFileSave();
    void LoadFile();
    bool RetireDocument(HWND replacement);
    LRESULT OnTimer(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnRetiredItemDeleted(int id, NMHDR* header, bool& handled);
    HWND CreateLoadingTree() const;
    // A document over a loading tree, which reads a card in the order such a tree takes
    // fastest; null when memory ran out.
    static CardDocument* NewLoadingDocument(HWND loadingTree, int* escapeColon);
    HRESULT ReadCardFile(CardDocument* into, bool* opened, CardFile** cardsRead, size_t* index);
    long ChooseCard(const CardFile& file);
    // focus: the tree on screen had the keyboard focus, which the loaded tree takes.
    void ShowLoadedTree(HWND loadedTree, bool focus);
    void UpdateTitle();
    bool AskForSavePath();
    void CreateEmptyDocument();
    // Writes the whole card of the document in context: the writer a save gives
    // SaveThroughTemporary.
    static HRESULT WriteWholeCard(CardOutput& output, void* context);

    // ---- New, files dropped and the recent files (open_commands.cpp)
    LRESULT OnFileNew(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnDropFiles(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnRecentFile(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void QueueLoad(const char* path);
    void NoteInRecentFiles(bool loaded, bool cancelled);

    // ---- Save As (save_as.cpp)
    LRESULT OnFileSaveAs(WORD code, WORD id, HWND control, bool& handled);
    bool SaveConvertedCopy(const char* path, CardVersion version);
    bool SaveCopyOf(CardDocument* card, const char* path);
    void ShowConversionReport(const char* path, const ConversionReport& report);

    HWND Item(int id) const;

    MainDialog& dialog;
    char filePath[FILE_PATH_SIZE];
    // The file UM_LOADFILE loads; it becomes filePath only when it loads.
    char loadPath[FILE_PATH_SIZE];
    CardDocument* document;
    // A file of several cards: all its bytes and cards, and the one the document holds;
    // a save writes that card back in its place. Null for a file of one card.
    CardFile* cards;
    size_t cardIndex;
    // The card a load opens without asking (Undo reloads the card it undoes), or -1.
    long reloadCard;
    // Whether the user agreed to save the UTF-16 file open as UTF-8 (asked once a file).
    bool savingUtf16AsUtf8;
    RecentFiles recentFiles;
    RetiredCards retired;
    bool closing = false;
};
