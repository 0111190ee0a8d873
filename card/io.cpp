// File and memory streams for the reader and the writer.
#include "card/io.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#ifndef _WIN32
namespace {

// The Win32 error that matches a C library errno.
DWORD Win32ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return 5;
    case ENOMEM: return 8;
    case EEXIST: return 80;
    case ENOSPC: return 112;
    case ENAMETOOLONG: return 206;
    default: return 31;  // a device attached to the system is not functioning
    }
}

}  // namespace
#endif

HRESULT ResultFromRuntimeError()
{
#ifdef _WIN32
    HRESULT result = ResultFromWin32((DWORD)_doserrno);
#else
    HRESULT result = ResultFromWin32(Win32ErrorFromErrno(errno));
#endif
    // A failure must never read as success, even when the library recorded nothing.
    return FAILED(result) ? result : E_FAIL;
}

HRESULT FileOutput::Write(const char* bytes, size_t length)
{
    if (length == 0) return S_OK;
    errno = 0;
    return fwrite(bytes, 1, length, file) == length ? S_OK : ResultFromRuntimeError();
}

size_t MemoryInput::Read(char* buffer, size_t size)
{
    size_t count = size < left ? size : left;
    memcpy(buffer, data, count);
    data += count;
    left -= count;
    return count;
}
