// The file commands of the main window: Open, the load itself, Save through a temporary
// file, Undo and Exit, with their prompts and messages, and the window title.
#include "ui/main_dialog.h"

#include "app/messages.h"
#include "app/safe_save.h"
#include "card/io.h"
#include "card/mbstring.h"
#include "res/resource.h"
#include "ui/view_messages.h"

#include <commdlg.h>
#include <errno.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

namespace {

const char UNTITLED[] = "<untitled>";
const char TITLE_SEPARATOR[] = " - ";
const size_t SAVE_AS_TITLE_SIZE = 128;
const char DEFAULT_EXTENSION[] = "VCF";
// Pairs of display text and pattern, the list ended by an extra NUL.
const char FILE_FILTER[] = "vCard Files (*.VCF)\0*.VCF\0All files (*.*)\0*.*\0";
const size_t TITLE_SIZE = 256;

OPENFILENAMEA FileDialogRecord(HWND owner, char* path)
{
    OPENFILENAMEA record = {};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    record.hInstance = appModule.instance;
    record.lpstrFilter = FILE_FILTER;
    record.nFilterIndex = 1;
    record.lpstrFile = path;
    record.nMaxFile = (DWORD)FILE_PATH_SIZE;
    record.lpstrDefExt = DEFAULT_EXTENSION;
    return record;
}

HRESULT WriteDocument(CardOutput& output, void* context)
{
    return ((CardDocument*)context)->WriteCard(output);
}

}  // namespace

bool MainDialog::PromptSaveChanges()
{
    CommitOpenEditor();
    if (document == nullptr || !document->IsModified()) return true;
    int answer = ReportMessage(0, nullptr, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, IDS_SAVE_CHANGES,
                               filePath[0] != '\0' ? filePath : UNTITLED);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) return OnFileSave() >= 0;
    return true;
}

LRESULT MainDialog::OnFileOpen(WORD, WORD, HWND, bool&)
{
    if (!PromptSaveChanges()) return 0;
    OPENFILENAMEA record = FileDialogRecord(hwnd, filePath);
    record.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (GetOpenFileNameA(&record)) PostMessageA(hwnd, UM_LOADFILE, 0, 0);
    return 0;
}

LRESULT MainDialog::OnLoadFile(UINT, WPARAM, LPARAM, bool&)
{
    LoadFile();
    return 0;
}

void MainDialog::LoadFile()
{
    CommitOpenEditor();
    DiscardDocument();
    CreateEmptyDocument();
    if (document == nullptr) return;
    if (filePath[0] != '\0') {
        // Bytes as they are on disk: the reader takes CR LF and LF alike, and nothing in
        // the file (such as a Ctrl+Z) ends the text early.
        errno = 0;
        FILE* file = fopen(filePath, "rb");
        if (file == nullptr) {
            ReportMessage(ResultFromRuntimeError(), nullptr, MB_ICONERROR, IDS_CANNOT_OPEN, filePath);
            return;
        }
        FileInput input(file);
        HRESULT result = document->ReadCard(input);
        if (SUCCEEDED(result) && ferror(file)) result = ResultFromWin32(30);  // the device cannot be read
        fclose(file);
        if (FAILED(result)) {
            ReportMessage(result, &document->LastRefusal(), MB_ICONERROR, IDS_NOT_VALID_FILE, filePath);
            DiscardDocument();
            return;
        }
    }
    UpdateTitle();
    RefreshPropertyView(nullptr);
}

bool MainDialog::AskForSavePath()
{
    char title[SAVE_AS_TITLE_SIZE];
    LoadTextString(IDS_SAVE_AS_TITLE, title, (int)sizeof title);
    OPENFILENAMEA record = FileDialogRecord(hwnd, filePath);
    record.lpstrTitle = title;
    record.Flags = OFN_OVERWRITEPROMPT | OFN_SHOWHELP;
    return GetSaveFileNameA(&record) != FALSE;
}

LRESULT MainDialog::OnFileSaveCommand(WORD, WORD, HWND, bool&)
{
    OnFileSave();
    return 0;
}

int MainDialog::OnFileSave()
{
    CommitOpenEditor();
    if (document == nullptr) return -1;
    if (!document->ValidateCard()) {
        ReportMessage(0, &document->LastRefusal(), MB_ICONERROR, IDS_CARD_NOT_VALID);
        return -1;
    }
    bool newPath = false;
    if (filePath[0] == '\0') {
        if (!AskForSavePath()) return -1;
        newPath = true;
    }
    SaveFailure failure;
    HRESULT result = SaveThroughTemporary(filePath, WriteDocument, document, &failure);
    if (FAILED(result)) {
        int id = failure.stage == SaveStage::CreateTemporary ? IDS_CANNOT_CREATE
                 : failure.stage == SaveStage::Write         ? IDS_CANNOT_SAVE
                                                             : IDS_CANNOT_DELETE;
        ReportMessage(result, &document->LastRefusal(), MB_ICONERROR, id, failure.path);
        return -1;
    }
    // What is on disk now is the card: nothing is left unsaved.
    document->ClearStructureChanged();
    EnableUndoButton(document->IsModified() != 0);
    if (newPath) UpdateTitle();
    return 0;
}

LRESULT MainDialog::OnFileUndo(WORD, WORD, HWND, bool&)
{
    CommitOpenEditor();
    if (document == nullptr) return 0;
    if (ReportMessage(0, nullptr, MB_YESNO | MB_ICONQUESTION, IDS_CONFIRM_UNDO) != IDYES) return 0;
    LoadFile();
    RefreshPropertyView(nullptr);
    return 0;
}

LRESULT MainDialog::OnFileExit(WORD, WORD, HWND, bool&)
{
    if (!PromptSaveChanges()) return 0;
    DestroyWindow(hwnd);
    return 0;
}

void MainDialog::UpdateTitle()
{
    char title[TITLE_SIZE] = "";
    GetWindowTextA(hwnd, title, (int)sizeof title);
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
    _snprintf(title + length, sizeof title - length, "%s", name);
    title[sizeof title - 1] = '\0';
    SetWindowTextA(hwnd, title);
}
