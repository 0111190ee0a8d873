// Save through a temporary file that replaces the target in one step.
#include "services/safe_save.h"

#include "card/format.h"
#include "card/mbstring.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char TEMP_EXTENSION[] = ".tmp";
const int MAX_TEMPORARY_TRIES = 1000;

bool PathExists(const char* path)
{
#ifdef _WIN32
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat status;
    return lstat(path, &status) == 0;
#endif
}

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Where the extension of the path's last component begins (its last '.'), or its end.
size_t ExtensionStart(const char* path)
{
    size_t length = strlen(path);
    size_t dot = length;
    for (size_t i = 0; i < length; i += CharWidth(path + i)) {
        if (CharWidth(path + i) != 1) continue;
        if (IsSeparator(path[i]))
            dot = length;
        else if (path[i] == '.')
            dot = i;
    }
    return dot;
}

bool SamePathText(const char* a, const char* b)
{
#ifdef _WIN32
    return MbsCompareNoCase(a, b) == 0;
#else
    return strcmp(a, b) == 0;
#endif
}

void CopyPath(char* to, const char* from)
{
    snprintf(to, SAVE_PATH_SIZE, "%s", from);
}

HRESULT CloseFile(FILE* file)
{
    errno = 0;
    return fclose(file) == 0 ? S_OK : ResultFromRuntimeError();
}

void RemoveFile(const char* path)
{
#ifdef _WIN32
    DeleteFileA(path);
#else
    unlink(path);
#endif
}

}  // namespace

FILE* SaveSteps::CreateNew(const char* path)
{
#ifdef _WIN32
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        _doserrno = (unsigned long)GetLastError();
        return nullptr;
    }
    int descriptor = _open_osfhandle((intptr_t)handle, _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) _close(descriptor);
    return file;
#else
    int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (descriptor < 0) return nullptr;
    FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) close(descriptor);
    return file;
#endif
}

HRESULT SaveSteps::Flush(FILE* file)
{
    errno = 0;
    if (fflush(file) != 0) return ResultFromRuntimeError();
#ifdef _WIN32
    if (!FlushFileBuffers((HANDLE)_get_osfhandle(_fileno(file)))) return FailureFromLastError();
#else
    if (fsync(fileno(file)) != 0) return ResultFromRuntimeError();
#endif
    return S_OK;
}

HRESULT SaveSteps::Replace(const char* temporary, const char* target)
{
#ifdef _WIN32
    if (!MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return FailureFromLastError();
    }
#else
    errno = 0;
    if (rename(temporary, target) != 0) return ResultFromRuntimeError();
#endif
    return S_OK;
}

bool MakeTemporaryPath(const char* target, char* temporary, size_t size)
{
    size_t stem = ExtensionStart(target);
    for (int attempt = 0; attempt < MAX_TEMPORARY_TRIES; ++attempt) {
        int length = attempt == 0 ? snprintf(temporary, size, "%.*s%s", (int)stem, target, TEMP_EXTENSION)
                                  : snprintf(temporary, size, "%.*s-%d%s", (int)stem, target, attempt, TEMP_EXTENSION);
        if (length < 0 || (size_t)length >= size) return false;
        if (!SamePathText(temporary, target) && !PathExists(temporary)) return true;
    }
    return false;
}

HRESULT SaveThroughTemporary(const char* target, WriteContent write, void* context, SaveFailure* failure,
                             SaveSteps* steps)
{
    SaveSteps defaultSteps;
    if (steps == nullptr) steps = &defaultSteps;
    failure->stage = SaveStage::None;
    failure->path[0] = '\0';

    char temporary[SAVE_PATH_SIZE];
    FILE* file = nullptr;
    HRESULT createResult = S_OK;
    // A file of the chosen name may appear between the check and the open: then the
    // exclusive open fails and the next name is tried, so no file is ever overwritten.
    for (int attempt = 0; attempt < MAX_TEMPORARY_TRIES && file == nullptr; ++attempt) {
        if (!MakeTemporaryPath(target, temporary, sizeof temporary)) {
            failure->stage = SaveStage::CreateTemporary;
            CopyPath(failure->path, target);
            return ResultFromWin32(FILENAME_TOO_LONG);
        }
        errno = 0;
        file = steps->CreateNew(temporary);
        // Taken before the existence check, whose own failure would overwrite errno.
        if (file == nullptr) createResult = ResultFromRuntimeError();
        if (file == nullptr && !PathExists(temporary)) break;
    }
    if (file == nullptr) {
        failure->stage = SaveStage::CreateTemporary;
        CopyPath(failure->path, temporary);
        return createResult;
    }

    FileOutput fileOutput(file);
    CardOutput* output = steps->WrapOutput(&fileOutput);
    HRESULT result = write(*output, context);
    if (SUCCEEDED(result)) {
        result = steps->Flush(file);
        HRESULT closed = CloseFile(file);
        if (SUCCEEDED(result)) result = closed;
        if (FAILED(result)) failure->stage = SaveStage::Write;
    } else {
        failure->stage = SaveStage::Write;
        CloseFile(file);
    }
    if (FAILED(result)) {
        CopyPath(failure->path, temporary);
        RemoveFile(temporary);
        return result;
    }

    result = steps->Replace(temporary, target);
    if (FAILED(result)) {
        failure->stage = SaveStage::Replace;
        CopyPath(failure->path, target);
        RemoveFile(temporary);
    }
    return result;
}
