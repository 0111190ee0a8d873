// The paths of a drop, and the message about the files of a drop that were not opened.
#include "ui/dropped_files.h"

#include "services/messages.h"
#include "ui/file_paths.h"
#include "ui/shell_calls.h"

#include <stdio.h>

namespace {

// The names of the files not opened, as much of the message as they may take: beyond
// it, a count of the rest (a message that does not fit would not show at all).
const size_t NAMES_ROOM = 1200;
const size_t MORE_SIZE = 64;

std::wstring DroppedPath(HDROP drop, UINT index)
{
    UINT length = QueryDroppedFile(drop, index, nullptr, 0);
    std::wstring path((size_t)length + 1, L'\0');
    path.resize(QueryDroppedFile(drop, index, &path[0], length + 1));
    return path;
}

}  // namespace

std::vector<std::string> TakeDroppedPaths(HDROP drop)
{
    std::vector<std::string> paths;
    UINT count = QueryDroppedFile(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::string path;
        if (PathInCodePage(DroppedPath(drop, i).c_str(), path)) paths.push_back(path);
    }
    FinishDrop(drop);
    return paths;
}

void ReportFilesNotOpened(const std::string& opened, const std::vector<std::string>& others)
{
    std::string names;
    size_t named = 0;
    for (; named < others.size() && names.size() + others[named].size() < NAMES_ROOM; ++named) {
        names += others[named] + "\n";
    }
    if (named < others.size()) {
        char format[MORE_SIZE], more[MORE_SIZE];
        LoadTextString(IDS_MORE_CHANGES, format, (int)sizeof format);
        snprintf(more, sizeof more, format, (int)(others.size() - named));
        names += more;
    }
    ReportMessage(0, nullptr, MB_ICONINFORMATION, IDS_FILES_NOT_OPENED, opened.c_str(), names.c_str());
}
