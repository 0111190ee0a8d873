// The About box and its hyperlinks.
#include "ui/about_dialog.h"

#include "framework/app_module.h"
#include "res/resource.h"
#include "services/messages.h"
#include "ui/shell_calls.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char MAILTO[] = "mailto:";
const size_t LINK_TEXT_SIZE = 128;
const COLORREF LINK_COLOUR = RGB(0, 0, 255);
const COLORREF VISITED_LINK_COLOUR = RGB(128, 0, 0);

}  // namespace

bool ReadProgramVersion(int parts[4])
{
    HRSRC found = FindResourceA(appModule.instance, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
    HGLOBAL loaded = found != nullptr ? LoadResource(appModule.instance, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    DWORD size = found != nullptr ? SizeofResource(appModule.instance, found) : 0;
    if (bytes == nullptr || size == 0) return false;
    // The version functions may write into the block they read, so they get a copy.
    void* copy = malloc(size);
    if (copy == nullptr) return false;
    memcpy(copy, bytes, size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    bool ok = VerQueryValueA(copy, "\\", (void**)&info, &length) && info != nullptr && length >= sizeof *info;
    if (ok) {
        parts[0] = HIWORD(info->dwFileVersionMS);
        parts[1] = LOWORD(info->dwFileVersionMS);
        parts[2] = HIWORD(info->dwFileVersionLS);
        parts[3] = LOWORD(info->dwFileVersionLS);
    }
    free(copy);
    return ok;
}

bool MakeLinkTarget(const char* text, char* target, size_t size)
{
    const char* prefix = strchr(text, '@') != nullptr ? MAILTO : "";
    int written = _snprintf(target, size, "%s%s", prefix, text);
    if (written < 0 || (size_t)written >= size) {
        if (size > 0) target[0] = '\0';
        return false;
    }
    return true;
}

bool OpenLink(HWND link)
{
    char text[LINK_TEXT_SIZE - sizeof MAILTO + 1] = "";
    char target[LINK_TEXT_SIZE] = "";
    GetWindowTextA(link, text, (int)sizeof text);
    if (!MakeLinkTarget(text, target, sizeof target)) return false;
    INT_PTR answer = OpenWithShell(target);
    if (answer > 32) return true;
    if (answer == SHELL_NOT_LOADED) return false;
    // The shell's answer is an error number of its own, shown as it came.
    ReportMessage((HRESULT)answer, nullptr, MB_ICONERROR, IDS_SHELL_FAILED);
    return false;
}

HyperlinkStatic::HyperlinkStatic()
    : linkFont(nullptr), linkCursor(LoadCursorA(appModule.instance, MAKEINTRESOURCEA(IDC_LINK_CURSOR))), visited(false)
{}

HyperlinkStatic::~HyperlinkStatic()
{
    if (linkFont != nullptr) DeleteObject(linkFont);
}

const HyperlinkStatic::MapEntry HyperlinkStatic::messageMap[] = {
    MapEntry::Message(WM_SETCURSOR, &HyperlinkStatic::OnSetCursor),
    MapEntry::Message(WM_LBUTTONDOWN, &HyperlinkStatic::OnLButtonDown),
    MapEntry::Message(REFLECTED_BASE + WM_CTLCOLORSTATIC, &HyperlinkStatic::OnControlColor),
    MapEntry::ReflectedDefault(),
};
MESSAGE_MAP_HANDLER(HyperlinkStatic)

LRESULT HyperlinkStatic::OnSetCursor(UINT, WPARAM, LPARAM, bool&)
{
    SetCursor(linkCursor != nullptr ? linkCursor : LoadCursor(nullptr, IDC_HAND));
    return TRUE;
}

LRESULT HyperlinkStatic::OnLButtonDown(UINT, WPARAM, LPARAM, bool&)
{
    visited = OpenLink(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

// The control's own font, underlined. Falls back to the default GUI font when the
// control has none or its description cannot be read.
HFONT HyperlinkStatic::MakeLinkFont() const
{
    LOGFONTA description = {};
    HFONT controlFont = (HFONT)SendMessageA(hwnd, WM_GETFONT, 0, 0);
    if (controlFont == nullptr || GetObjectA(controlFont, sizeof description, &description) == 0) {
        memset(&description, 0, sizeof description);
        if (GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description) == 0) return nullptr;
    }
    description.lfUnderline = TRUE;
    return CreateFontIndirectA(&description);
}

LRESULT HyperlinkStatic::OnControlColor(UINT, WPARAM wParam, LPARAM, bool&)
{
    HDC dc = (HDC)wParam;
    if (linkFont == nullptr) linkFont = MakeLinkFont();
    if (linkFont != nullptr) SelectObject(dc, linkFont);
    SetTextColor(dc, visited ? VISITED_LINK_COLOUR : LINK_COLOUR);
    SetBkMode(dc, TRANSPARENT);
    return (LRESULT)GetStockObject(NULL_BRUSH);
}

const AboutDialog::MapEntry AboutDialog::messageMap[] = {
    MapEntry::Message(WM_INITDIALOG, &AboutDialog::OnInitDialog),
    MapEntry::Command(IDOK, &AboutDialog::OnClose),
    MapEntry::Command(IDCANCEL, &AboutDialog::OnClose),
    MapEntry::Reflect(),
};
MESSAGE_MAP_HANDLER(AboutDialog)

LRESULT AboutDialog::OnInitDialog(UINT, WPARAM, LPARAM, bool&)
{
    mailLink.Subclass(GetDlgItem(hwnd, IDC_ABOUT_MAIL));
    webLink.Subclass(GetDlgItem(hwnd, IDC_ABOUT_WEB));
    int parts[4] = {};
    char format[64] = "";
    char line[96] = "";
    if (ReadProgramVersion(parts) && LoadTextString(IDS_VERSION_LINE, format, (int)sizeof format) > 0) {
        _snprintf(line, sizeof line, format, parts[0], parts[1], parts[2], parts[3]);
        line[sizeof line - 1] = '\0';
    }
    SetDlgItemTextA(hwnd, IDC_ABOUT_VERSION, line);
    return TRUE;
}

LRESULT AboutDialog::OnClose(WORD, WORD id, HWND, bool&)
{
    EndDialog(hwnd, id);
    return 0;
}

void ShowAboutBox(HWND owner)
{
    AboutDialog about;
    about.RunModal(IDD_ABOUT, owner);
}
