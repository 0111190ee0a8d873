// Reflection: a notification that a parent does not handle goes back to the control it
// concerns, which may answer it (an owner-drawn button draws itself, a link picks its
// colour) or leave it to the platform's default processing.
#include "framework/message_map.h"

namespace {

// Where a message names the child control it concerns.
enum class ChildIn {
    None,          // it concerns no child: never reflected
    LParam,        // lParam is the child's handle
    NotifyHeader,  // the NMHDR's hwndFrom
    ParentNotify,  // lParam on creation and destruction, else the child of HIWORD(wParam)
    DrawItem,      // the DRAWITEMSTRUCT's hwndItem, unless a menu draws
    MeasureItem,   // the child of the MEASUREITEMSTRUCT's CtlID, unless a menu
    DeleteItem,    // the child of the DELETEITEMSTRUCT's CtlID
    CompareItem,   // the child of the COMPAREITEMSTRUCT's CtlID
};

// The one table of the messages this layer treats apart: those reflected to the child
// they concern, and those whose answer a dialog procedure returns itself (for every
// other message it returns TRUE and leaves the answer in DWLP_MSGRESULT).
struct MessageKind {
    UINT message;
    ChildIn child;
    bool returnsResultDirectly;
};

// clang-format off
const MessageKind MESSAGE_KINDS[] = {
    {WM_COMMAND, ChildIn::LParam, false},  // null lParam from a menu item or an accelerator
    {WM_NOTIFY, ChildIn::NotifyHeader, false},
    {WM_PARENTNOTIFY, ChildIn::ParentNotify, false},
    {WM_DRAWITEM, ChildIn::DrawItem, false},
    {WM_MEASUREITEM, ChildIn::MeasureItem, false},
    {WM_DELETEITEM, ChildIn::DeleteItem, false},
    {WM_COMPAREITEM, ChildIn::CompareItem, true},
    {WM_VKEYTOITEM, ChildIn::LParam, true},
    {WM_CHARTOITEM, ChildIn::LParam, true},
    {WM_HSCROLL, ChildIn::LParam, false},  // null lParam from a window's own scroll bar
    {WM_VSCROLL, ChildIn::LParam, false},
    {WM_CTLCOLORMSGBOX, ChildIn::LParam, true},
    {WM_CTLCOLOREDIT, ChildIn::LParam, true},
    {WM_CTLCOLORLISTBOX, ChildIn::LParam, true},
    {WM_CTLCOLORBTN, ChildIn::LParam, true},
    {WM_CTLCOLORDLG, ChildIn::LParam, true},
    {WM_CTLCOLORSCROLLBAR, ChildIn::LParam, true},
    {WM_CTLCOLORSTATIC, ChildIn::LParam, true},
    {WM_INITDIALOG, ChildIn::None, true},
    {WM_QUERYDRAGICON, ChildIn::None, true},
};
// clang-format on

const MessageKind* FindKind(UINT message)
{
    for (const MessageKind& kind : MESSAGE_KINDS) {
        if (kind.message == message) return &kind;
    }
    return nullptr;
}

// The child control a notification concerns, or null when it concerns none.
HWND FindReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MessageKind* kind = FindKind(message);
    if (kind == nullptr) return nullptr;
    HWND child = nullptr;
    switch (kind->child) {
    case ChildIn::None: break;
    case ChildIn::LParam: child = (HWND)lParam; break;
    case ChildIn::NotifyHeader:
        if (lParam != 0) child = ((NMHDR*)lParam)->hwndFrom;
        break;
    case ChildIn::ParentNotify:
        if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
            child = (HWND)lParam;
        else
            child = GetDlgItem(parent, HIWORD(wParam));
        break;
    // A menu draws with wParam 0 and CtlType ODT_MENU; its hwndItem is the menu and its
    // CtlID means nothing, so either could name a control by accident.
    case ChildIn::DrawItem: {
        DRAWITEMSTRUCT* item = (DRAWITEMSTRUCT*)lParam;
        if (wParam != 0 && item->CtlType != ODT_MENU) child = item->hwndItem;
        break;
    }
    case ChildIn::MeasureItem: {
        MEASUREITEMSTRUCT* item = (MEASUREITEMSTRUCT*)lParam;
        if (wParam != 0 && item->CtlType != ODT_MENU) child = GetDlgItem(parent, item->CtlID);
        break;
    }
    case ChildIn::DeleteItem:
        if (wParam != 0) child = GetDlgItem(parent, ((DELETEITEMSTRUCT*)lParam)->CtlID);
        break;
    case ChildIn::CompareItem:
        if (wParam != 0) child = GetDlgItem(parent, ((COMPAREITEMSTRUCT*)lParam)->CtlID);
        break;
    }
    // Only our own controls. The handle comes from the message, and anyone can post a
    // WM_COMMAND naming a stranger's window; WM_CTLCOLORDLG names the dialog itself.
    if (child != nullptr && !IsChild(parent, child)) child = nullptr;
    return child;
}

}  // namespace

bool ReturnsResultDirectly(UINT message)
{
    const MessageKind* kind = FindKind(message);
    return kind != nullptr && kind->returnsResultDirectly;
}

bool ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND child = FindReflectionTarget(parent, message, wParam, lParam);
    if (child == nullptr) return false;
    result = SendMessageA(child, REFLECTED_BASE + message, wParam, lParam);
    return true;
}

bool HandleReflectedDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message < REFLECTED_BASE) return false;
    UINT plain = message - REFLECTED_BASE;
    const MessageKind* kind = FindKind(plain);
    if (kind == nullptr || kind->child == ChildIn::None) return false;
    // The platform's processing of the plain message, not the control's own procedure:
    // that one would not know what to do with a parent's notification.
    result = DefWindowProcA(window, plain, wParam, lParam);
    return true;
}
