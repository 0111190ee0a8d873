// Reflection: a notification that a parent does not handle goes back to the control it
// concerns, which may answer it (an owner-drawn button draws itself, a link picks its
// colour) or leave it to the platform's default processing.
#include "framework/message_map.h"

namespace {

// The child control a notification concerns, or null when it concerns none.
HWND FindReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        child = (HWND)lParam;  // null from a menu item or an accelerator
        break;
    case WM_NOTIFY:
        if (lParam != 0) child = ((NMHDR*)lParam)->hwndFrom;
        break;
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
            child = (HWND)lParam;
        else
            child = GetDlgItem(parent, HIWORD(wParam));
        break;
    // A menu draws with wParam 0 and CtlType ODT_MENU; its hwndItem is the menu and its
    // CtlID means nothing, so either could name a control by accident.
    case WM_DRAWITEM: {
        DRAWITEMSTRUCT* item = (DRAWITEMSTRUCT*)lParam;
        if (wParam != 0 && item->CtlType != ODT_MENU) child = item->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        MEASUREITEMSTRUCT* item = (MEASUREITEMSTRUCT*)lParam;
        if (wParam != 0 && item->CtlType != ODT_MENU) child = GetDlgItem(parent, item->CtlID);
        break;
    }
    case WM_DELETEITEM:
        if (wParam != 0) child = GetDlgItem(parent, ((DELETEITEMSTRUCT*)lParam)->CtlID);
        break;
    case WM_COMPAREITEM:
        if (wParam != 0) child = GetDlgItem(parent, ((COMPAREITEMSTRUCT*)lParam)->CtlID);
        break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = (HWND)lParam;  // null from a window's own scroll bar
        break;
    default:
        break;
    }
    // Only our own controls. The handle comes from the message, and anyone can post a
    // WM_COMMAND naming a stranger's window; WM_CTLCOLORDLG names the dialog itself.
    if (child != nullptr && !IsChild(parent, child)) child = nullptr;
    return child;
}

}  // namespace

bool ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = FindReflectionTarget(parent, message, wParam, lParam);
    if (child == nullptr) return false;
    result = SendMessageA(child, REFLECTED_BASE + message, wParam, lParam);
    return true;
}

bool HandleReflectedDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result)
{
    if (message < REFLECTED_BASE) return false;
    UINT plain = message - REFLECTED_BASE;
    switch (plain) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The platform's processing of the plain message, not the control's own
        // procedure: that one would not know what to do with a parent's notification.
        result = DefWindowProcA(window, plain, wParam, lParam);
        return true;
    default:
        return false;
    }
}
