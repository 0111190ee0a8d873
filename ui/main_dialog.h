// The main window: the card's tree on the left, and for the selected property its
// parameters and its value (one edit, or a list of components) on the right; the file
// commands act on the card it shows.
#pragma once

#include "card/card_file.h"
#include "card/document.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"
#include "ui/cell_edit_session.h"
#include "ui/file_paths.h"
#include "ui/image_button.h"
#include "ui/recent_files.h"

#include <commctrl.h>

struct ConversionReport;

class MainDialog : public DialogBinding {
public:
    MainDialog();
    ~MainDialog() override;

    void OnLastMessage(HWND window) override;

    // Rebuilds the right-hand side for node; null means the node of the selected item.
    void RefreshPropertyView(CardNode* node);
    // Saves the card: true when it was written, false when not (no card, invalid,
    // cancelled, any failure).
    bool OnFileSave();

    // Stores what an open cell editor holds (and every commit still on its way) into the
    // card and closes the editor: every command does this first.
    void CommitOpenEditor() { cellEdit.CommitAll(); }
    // After a change to the card: Undo is enabled while the card differs from its file.
    void UpdateUndoButton();
    // The keyboard shortcuts of the main window's commands, for the message loop.
    HACCEL Shortcuts() const { return shortcuts; }

    // For tests and the program's own start: what the window holds.
    CardDocument* Document() const { return document; }
    static const int IMAGE_BUTTON_COUNT = 5;
    ImageButton& Button(int position) { return imageButtons[position]; }
    const char* FilePath() const { return filePath; }
    // The cards of the open file when it holds several (null otherwise), and which of
    // them is open.
    const CardFile* Cards() const { return cards; }
    size_t CardIndex() const { return cardIndex; }
    int* EscapeColonCell() const { return escapeColon; }

private:
    DECLARE_MESSAGE_MAP(MainDialog)

    // ---- window life (main_dialog.cpp)
    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnHelp(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnAbout(WORD code, WORD id, HWND control, bool& handled);

    // ---- property view (main_dialog.cpp)
    LRESULT OnTreeGetDispInfo(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeSelChanged(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeDeleteItem(int id, NMHDR* header, bool& handled);
    LRESULT OnListGetDispInfo(int id, NMHDR* header, bool& handled);
    LRESULT OnValueChange(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnPredefinedValues(WORD code, WORD id, HWND control, bool& handled);

    // ---- in-place cell editing, handed to the session (main_dialog.cpp)
    LRESULT OnBeginEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnEndEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnCancelEdit(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnCommitValue(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // ---- adding and deleting (item_commands.cpp)
    LRESULT OnTreeRightClick(int id, NMHDR* header, bool& handled);
    LRESULT OnParameterRightClick(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeKeyDown(int id, NMHDR* header, bool& handled);
    LRESULT OnParameterKeyDown(int id, NMHDR* header, bool& handled);
    LRESULT OnContextMenu(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnItemMenuKey(WORD code, WORD id, HWND control, bool& handled);
    void ShowTreeMenu(HTREEITEM hit, POINT screen);
    void ShowParameterMenu(int row, POINT screen);
    void ShowMenuAtSelection(HWND control);
    HMENU ItemMenu(bool deletable);
    void DeleteTreeItem(HTREEITEM item);
    void DeleteParameter(int row);
    void AddToTree(HTREEITEM parent);
    void AddParameters(PropertyNode* property);

    // ---- settings (settings_dialog.cpp)
    LRESULT OnSettings(WORD code, WORD id, HWND control, bool& handled);

    // ---- file commands (file_commands.cpp)
    LRESULT OnFileOpen(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnLoadFile(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnFileSaveCommand(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnFileUndo(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnFileExit(WORD code, WORD id, HWND control, bool& handled);
    bool PromptSaveChanges();
    void LoadFile();
    HWND CreateLoadingTree() const;
    HRESULT ReadCardFile(CardDocument* into, bool* opened, CardFile** cardsRead, size_t* index);
    long ChooseCard(const CardFile& file);
    void ShowLoadedTree(HWND loadedTree);
    void UpdateTitle();
    bool AskForSavePath();

    // ---- New, files dropped and the recent files (open_commands.cpp)
    LRESULT OnFileNew(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnDropFiles(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnRecentFile(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void QueueLoad(const char* path);
    void NoteInRecentFiles(bool loaded, bool cancelled);

    // ---- Save As (save_as.cpp)
    LRESULT OnFileSaveAs(WORD code, WORD id, HWND control, bool& handled);
    bool SaveConvertedCopy(const char* path, CardVersion version);
    void ShowConversionReport(const char* path, const ConversionReport& report);

    // ---- helpers
    void SetUpViews();
    void SetUpImageButtons();
    void StartWithCommandLine(const char* commandLine);
    void DiscardDocument();
    void CreateEmptyDocument();
    PropertyNode* SelectedProperty() const;
    void ShowValueInEdit(const char* value);
    void ShowSingleValue(const PropertyNode* property);
    void EnableUndoButton(bool enable);
    void EnablePropertyControls(bool enable);
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }

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
    int* escapeColon;
    HIMAGELIST treeImages;
    // Open, Save, Undo, Help and Exit, in the order they are set up.
    ImageButton imageButtons[IMAGE_BUTTON_COUNT];
    // True while the program itself puts text into the value edit: that text is never
    // stored into the card as if the user had typed it.
    bool fillingValueEdit;
    // Whether the user agreed to save the UTF-16 file open as UTF-8 (asked once a file).
    bool savingUtf16AsUtf8;
    HACCEL shortcuts;
    // IDR_ITEM_CONTEXT, loaded at its first use and kept while the window lives.
    HMENU itemMenu;

    CellEditSession cellEdit;
    RecentFiles recentFiles;
};

// The one main window object; null before it is made and after it is destroyed.
extern MainDialog* mainDialog;

// Line breaks as the card holds them (LF) and as an edit control shows them (CR LF).
// The caller frees the result; null when memory runs out.
// Which line breaks a value holds: LF, or the CR LF of a 2.1 card's quoted-printable
// text as phones and Outlook write it, which an edit keeps.
enum class LineBreaks { Lf, CrLf };
char* TextFromEditLines(const char* text, LineBreaks breaks = LineBreaks::Lf);
char* EditLinesFromText(const char* text);
