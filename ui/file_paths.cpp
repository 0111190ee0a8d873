// Checks of the paths the editor is given to open.
#include "ui/file_paths.h"

#include "services/messages.h"

#include <string.h>

bool RefusedAsTooLong(const char* path, int message)
{
    if (strlen(path) <= LONGEST_FILE_PATH) return false;
    ReportMessage(0, nullptr, MB_ICONERROR, message, (int)LONGEST_FILE_PATH, path);
    return true;
}

std::string CommandLinePath(const char* tail)
{
    std::string path = tail != nullptr ? tail : "";
    bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
    // Only a path that names no file as it stands loses its quotes: a file's own name may
    // begin and end with one where the system allows it.
    if (quoted && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) path = path.substr(1, path.size() - 2);
    return path;
}

bool PathInCodePage(const wchar_t* path, std::string& converted)
{
    // In the UTF-8 the program asks Windows for, every character converts; in an older
    // system's code page one may not, and a '?' in its place would name another file.
    BOOL lost = FALSE;
    BOOL* lostCheck = GetACP() == CP_UTF8 ? nullptr : &lost;
    DWORD flags = lostCheck != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
    int size = WideCharToMultiByte(CP_ACP, flags, path, -1, nullptr, 0, nullptr, lostCheck);
    converted.assign(size > 0 ? (size_t)size : 1, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, flags, path, -1, &converted[0], size, nullptr, lostCheck);
    converted.resize(strlen(converted.c_str()));
    if (size > 0 && !lost) return true;
    ReportMessage(size > 0 ? 0 : HRESULT_FROM_WIN32(GetLastError()), nullptr, MB_ICONERROR, IDS_PATH_NOT_IN_CODE_PAGE,
                  converted.c_str());
    return false;
}
