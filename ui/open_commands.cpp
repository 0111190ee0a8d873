// The main window's other ways to a card beside Open: New, files dropped from Explorer
// and the recent files; each asks about unsaved changes as Open does and loads as Open
// loads, and a path the editor cannot hold is refused before anything is asked.
#include "ui/file_commands.h"

#include "ui/main_dialog.h"

#include "services/messages.h"
#include "ui/dropped_files.h"
#include "ui/file_paths.h"
#include "ui/view_messages.h"

#include <string.h>

namespace {

const size_t TITLE_CAPTION_SIZE = 128;

}  // namespace

LRESULT FileCommands::OnFileNew(WORD, WORD, HWND, bool&)
{
    if (!PromptSaveChanges()) return 0;
    // As at a start without a file: the setting too is that of a new card.
    if (dialog.EscapeColonCell() != nullptr) *dialog.EscapeColonCell() = 0;
    loadPath[0] = '\0';
    LoadFile();
    // The caption alone, as at a start: the title names a file only once there is one.
    char caption[TITLE_CAPTION_SIZE];
    LoadTextString(IDS_CAPTION, caption, (int)sizeof caption);
    SetWindowTextA(dialog.Window(), caption);
    return 0;
}

LRESULT FileCommands::OnDropFiles(UINT, WPARAM wParam, LPARAM, bool&)
{
    std::vector<std::string> paths = TakeDroppedPaths((HDROP)wParam);
    if (paths.empty() || RefusedAsTooLong(paths[0].c_str()) || !PromptSaveChanges()) return 0;
    // Told before the load, whose card picker or message would otherwise come first.
    if (paths.size() > 1) ReportFilesNotOpened(paths[0], std::vector<std::string>(paths.begin() + 1, paths.end()));
    QueueLoad(paths[0].c_str());
    return 0;
}

LRESULT FileCommands::OnRecentFile(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    const char* kept = recentFiles.PathOf(LOWORD(wParam));
    handled = kept != nullptr;
    if (kept == nullptr) return 0;
    std::string path = kept;  // the list changes under a path it holds
    if (RefusedAsTooLong(path.c_str())) {
        recentFiles.Remove(path.c_str());
        return 0;
    }
    if (PromptSaveChanges()) QueueLoad(path.c_str());
    return 0;
}

// A path the caller has checked: loaded once the input that asked for it is done with.
void FileCommands::QueueLoad(const char* path)
{
    memcpy(loadPath, path, strlen(path) + 1);
    PostMessageA(dialog.Window(), UM_LOADFILE, 0, 0);
}

// After each load, and the save that names an untitled card's file: a file that opened
// (or was saved) heads the recent files, one that did not open leaves them (a choice of
// none of a file's cards is no failure).
void FileCommands::NoteInRecentFiles(bool loaded, bool cancelled)
{
    if (loaded && filePath[0] != '\0') recentFiles.Add(filePath);
    if (!loaded && !cancelled) recentFiles.Remove(loadPath);
}
