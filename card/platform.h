// The few Win32 names the card code uses, from <windows.h> on Windows and
// defined here for the native build, where the card runs over an in-memory tree.
#pragma once

#include <stdint.h>

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

// The window that holds the card's items: the property tree control.
typedef HWND TreeWindow;

#else  // native build

class MemoryTree;
struct MemoryTreeItem;

typedef int32_t HRESULT;
typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef intptr_t LPARAM;
typedef MemoryTreeItem* HTREEITEM;
typedef MemoryTree* TreeWindow;

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_ALREADY_EXISTS 183L

// Item handles that the tree treats specially; any values work as long as no
// real item can have them.
#define TVI_ROOT ((HTREEITEM)(uintptr_t)0xFFFF0000u)
#define TVI_FIRST ((HTREEITEM)(uintptr_t)0xFFFF0001u)
#define TVI_LAST ((HTREEITEM)(uintptr_t)0xFFFF0002u)

#define TVGN_NEXT 0x0001
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_CARET 0x0009
#define TVIS_SELECTED 0x0002
#define TVIS_EXPANDED 0x0020

// The thread's last error, as on Windows.
DWORD GetLastError();
void SetLastError(DWORD error);

#endif  // _WIN32

// A Win32 error number as a result code: 0x80070000 | e for e > 0, e itself otherwise.
inline HRESULT ResultFromWin32(DWORD error)
{
    return (int32_t)error <= 0 ? (HRESULT)error
                               : (HRESULT)(0x80070000u | (error & 0xFFFFu));
}

// Win32 errors that the card code and the saving report on every platform, by the
// numbers Windows gives them.
const DWORD READ_FAULT = 30;          // the device cannot be read (ERROR_READ_FAULT)
const DWORD FILENAME_TOO_LONG = 206;  // a name or extension too long (ERROR_FILENAME_EXCED_RANGE)

// The result code of the thread's last error.
inline HRESULT ResultFromLastError()
{
    return ResultFromWin32(GetLastError());
}

// The result code of a call that failed: the thread's last error, or E_FAIL when the
// call recorded none, so that a failure never reads as success (0).
inline HRESULT FailureFromLastError()
{
    HRESULT result = ResultFromLastError();
    return FAILED(result) ? result : E_FAIL;
}
