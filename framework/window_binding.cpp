// Binding window objects to their windows: registration and the first message of a
// dialog, subclassing of controls, the two bound procedures and the last message.
#include "framework/window_binding.h"

#include "framework/message_map.h"

namespace {

// Unlinks the record when it is on the list. Only pointers are compared on the way, so
// the record's object may already be gone when the record is not there.
bool UnlinkRecord(CreationRecord* record)
{
    bool found = false;
    EnterCriticalSection(&appModule.creationLock);
    for (CreationRecord** link = &appModule.creationList; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            record->object = nullptr;
            record->next = nullptr;
            found = true;
            break;
        }
    }
    LeaveCriticalSection(&appModule.creationLock);
    return found;
}

// The newest object that this thread registered, taken off the list; null when none.
DialogBinding* TakeCreationRecord()
{
    DWORD thread = GetCurrentThreadId();
    DialogBinding* object = nullptr;
    EnterCriticalSection(&appModule.creationLock);
    for (CreationRecord** link = &appModule.creationList; *link != nullptr; link = &(*link)->next) {
        CreationRecord* record = *link;
        if (record->threadId == thread) {
            *link = record->next;
            object = record->object;
            record->object = nullptr;
            record->next = nullptr;
            break;
        }
    }
    LeaveCriticalSection(&appModule.creationLock);
    return object;
}

// The dialog procedure of a dialog that no object was waiting for: the dialog
// manager's default processing for every message.
INT_PTR CALLBACK UnboundDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Withdraws a record that a failed creation left waiting, keeping the creation's error.
void WithdrawAfterCreation(CreationRecord* record)
{
    DWORD error = GetLastError();
    UnlinkRecord(record);
    SetLastError(error);
}

}  // namespace

// ---- WindowBinding

WindowBinding::WindowBinding() : hwnd(nullptr), currentMessage(nullptr), windowGone(false) {}

const WindowMessage* WindowBinding::BeginDispatch(const WindowMessage& message)
{
    const WindowMessage* interrupted = currentMessage;
    currentMessage = &message;
    return interrupted;
}

bool WindowBinding::EndDispatch(const WindowMessage& message, const WindowMessage* interrupted)
{
    // Only while still bound to that window: a handler may have unsubclassed meanwhile.
    if (message.message == WM_NCDESTROY && hwnd != nullptr && message.window == hwnd) windowGone = true;
    currentMessage = interrupted;
    // A window destroyed from inside a handler (DestroyWindow while handling a command,
    // say) gets its last message nested in that handler's dispatch. The object stays
    // bound until the outermost dispatch returns, so the handler never finds it let go.
    return windowGone && interrupted == nullptr;
}

void WindowBinding::LetGo()
{
    HWND window = hwnd;
    hwnd = nullptr;
    windowGone = false;
    OnLastMessage(window);
}

// ---- DialogBinding

DialogBinding::DialogBinding() : creationRecord{nullptr, 0, nullptr} {}

DialogBinding::~DialogBinding()
{
    if (creationRecord.object != nullptr) WithdrawCreation();
}

bool DialogBinding::RegisterCreation()
{
    if (!trampoline.Allocate()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    bool registered = false;
    EnterCriticalSection(&appModule.creationLock);
    // A second registration would link the record twice and make the list a loop.
    if (hwnd == nullptr && creationRecord.object == nullptr) {
        creationRecord.object = this;
        creationRecord.threadId = GetCurrentThreadId();
        // The head is read under the lock: another thread may be registering too.
        creationRecord.next = appModule.creationList;
        appModule.creationList = &creationRecord;
        registered = true;
    }
    LeaveCriticalSection(&appModule.creationLock);
    if (!registered) SetLastError(ERROR_BUSY);
    return registered;
}

bool DialogBinding::WithdrawCreation()
{
    return UnlinkRecord(&creationRecord);
}

HWND DialogBinding::CreateModeless(int dialogId, HWND owner, LPARAM parameter)
{
    if (!RegisterCreation()) return nullptr;
    // Kept aside: once the dialog has run, its last message may have destroyed the object.
    CreationRecord* record = &creationRecord;
    HWND window = CreateDialogParamA(appModule.instance, MAKEINTRESOURCEA(dialogId), owner, DialogStartProc, parameter);
    // A dialog that failed before its first message (no such template) never took the
    // record; left waiting, it would be given to the thread's next dialog.
    WithdrawAfterCreation(record);
    return window;
}

INT_PTR DialogBinding::RunModal(int dialogId, HWND owner, LPARAM parameter)
{
    if (!RegisterCreation()) return -1;
    CreationRecord* record = &creationRecord;  // as in CreateModeless
    INT_PTR code = DialogBoxParamA(appModule.instance, MAKEINTRESOURCEA(dialogId), owner, DialogStartProc, parameter);
    WithdrawAfterCreation(record);
    return code;
}

// The dialog's first message (WM_SETFONT before WM_INITDIALOG when the template names a
// font) binds the object, and is then delivered like every later one.
INT_PTR CALLBACK DialogBinding::DialogStartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogBinding* dialog = TakeCreationRecord();
    if (dialog == nullptr) {
        // Not made by CreateModeless or RunModal. From now on the dialog never looks
        // again, so it cannot take a record that another dialog is waiting for.
        SetWindowLongPtrA(window, DWLP_DLGPROC, (LONG_PTR)UnboundDialogProc);
        return FALSE;
    }
    dialog->hwnd = window;
    dialog->trampoline.Write(dialog, dialog->GetBoundProcedure());
    LONG_PTR procedure = dialog->trampoline.Address();
    SetWindowLongPtrA(window, DWLP_DLGPROC, procedure);
    return ((DLGPROC)procedure)(window, message, wParam, lParam);
}

LRESULT CALLBACK DialogBinding::BoundDialogProc(WindowBinding* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogBinding* dialog = static_cast<DialogBinding*>(object);
    HWND window = dialog->hwnd;
    WindowMessage current = {window, message, wParam, lParam};
    const WindowMessage* interrupted = dialog->BeginDispatch(current);

    LRESULT result = 0;
    LRESULT answer = FALSE;  // not handled: the dialog manager's default processing
    if (dialog->HandleMessage(window, message, wParam, lParam, result)) {
        if (ReturnsResultDirectly(message)) {
            answer = result;
        } else {
            // NOT stored when a handler destroyed the window: the handle is dead.
            if (dialog->hwnd == window && IsWindow(window)) SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            answer = TRUE;
        }
    }
    if (dialog->EndDispatch(current, interrupted)) dialog->LetGo();
    return answer;
}

// ---- SubclassBinding

SubclassBinding::SubclassBinding() : previousProc(DefWindowProcA) {}

SubclassBinding::~SubclassBinding()
{
    if (hwnd != nullptr) Unsubclass();
}

bool SubclassBinding::Subclass(HWND control)
{
    if (hwnd != nullptr) {
        // The first control would keep calling a trampoline that now serves another.
        SetLastError(ERROR_BUSY);
        return false;
    }
    if (!trampoline.Allocate()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    trampoline.Write(this, GetBoundProcedure());
    // A Unicode procedure: a character the message loop took in UTF-16 reaches the
    // control's own procedure unchanged. An ANSI one would have it converted twice, in
    // the keyboard language's code page, which loses what the program's code page holds.
    // The messages the program's subclasses handle carry no text either way.
    LONG_PTR previous = SetWindowLongPtrW(control, GWLP_WNDPROC, trampoline.Address());
    if (previous == 0) return false;
    previousProc = (WNDPROC)previous;
    hwnd = control;
    return true;
}

bool SubclassBinding::Unsubclass()
{
    if (hwnd == nullptr) return false;
    // Another procedure installed over ours still calls our trampoline: taking it out
    // of the chain would cut that one off. The control's last message unbinds us.
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != trampoline.Address()) return false;
    if (SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)previousProc) == 0) return false;
    hwnd = nullptr;
    previousProc = DefWindowProcA;
    return true;
}

LRESULT CALLBACK SubclassBinding::BoundWindowProc(WindowBinding* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    SubclassBinding* subclass = static_cast<SubclassBinding*>(object);
    // Read once: a handler may unsubclass, which forgets both, and this message must
    // still reach the control's own procedure.
    HWND window = subclass->hwnd;
    WNDPROC previous = subclass->previousProc;
    WindowMessage current = {window, message, wParam, lParam};
    const WindowMessage* interrupted = subclass->BeginDispatch(current);

    LRESULT result = 0;
    bool handled = subclass->HandleMessage(window, message, wParam, lParam, result);
    if (message != WM_NCDESTROY) {
        if (!handled) result = CallWindowProcW(previous, window, message, wParam, lParam);
    } else {
        LONG_PTR before = GetWindowLongPtrW(window, GWLP_WNDPROC);
        if (!handled) result = CallWindowProcW(previous, window, message, wParam, lParam);
        // The control's own procedure goes back only when ours was on top and nobody
        // changed it while the message was being handled.
        LONG_PTR ours = subclass->trampoline.Address();
        if (previous != DefWindowProcA && before == ours && GetWindowLongPtrW(window, GWLP_WNDPROC) == ours)
            SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)previous);
    }
    if (subclass->EndDispatch(current, interrupted)) {
        subclass->previousProc = DefWindowProcA;
        subclass->LetGo();
    }
    return result;
}
