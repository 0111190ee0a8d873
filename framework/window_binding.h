// Window objects tied to their windows, a dialog at its first message and a control by
// subclassing, so that every message reaches the object's map through its trampoline.
#pragma once

#include "framework/app_module.h"
#include "framework/trampoline.h"

// A message as it was given to an object's procedure.
struct WindowMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The base of every window object. The binding never owns an object: whoever made it
// destroys it, and only once the object is unbound (or from OnLastMessage).
class WindowBinding {
public:
    WindowBinding();
    WindowBinding(const WindowBinding&) = delete;
    WindowBinding& operator=(const WindowBinding&) = delete;
    virtual ~WindowBinding() = default;

    // The message map (see DECLARE_MESSAGE_MAP). True when handled, with the answer in
    // result.
    virtual bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The procedure the trampoline leads to: BoundDialogProc or BoundWindowProc.
    virtual BoundProcedure GetBoundProcedure() = 0;
    // Called after the window's last message has returned, with the window that was
    // bound; the object is already unbound, so this may destroy it.
    virtual void OnLastMessage(HWND window) {}

    // The bound window; null while the object is not bound.
    HWND Window() const { return hwnd; }
    // The message being handled (the innermost one when they nest); null outside any.
    const WindowMessage* CurrentMessage() const { return currentMessage; }

protected:
    // Every dispatch goes between these two. EndDispatch is true when the window's last
    // message is done and no outer dispatch of this object is still running: then the
    // caller finishes with LetGo, which must be the last thing it does with the object.
    const WindowMessage* BeginDispatch(const WindowMessage& message);
    bool EndDispatch(const WindowMessage& message, const WindowMessage* interrupted);
    void LetGo();

    HWND hwnd;
    Trampoline trampoline;

private:
    const WindowMessage* currentMessage;
    // WM_NCDESTROY has arrived, but a dispatch it interrupted is still running.
    bool windowGone;
};

// The base of every dialog object; its trampoline is installed as the dialog procedure.
class DialogBinding : public WindowBinding {
public:
    DialogBinding();
    ~DialogBinding() override;

    // Creates the modeless dialog from the module's template dialogId; null on failure.
    HWND CreateModeless(int dialogId, HWND owner, LPARAM parameter);
    // Runs the modal dialog; its end code, or -1 when it could not be created.
    INT_PTR RunModal(int dialogId, HWND owner, LPARAM parameter = 0);

    // The registration both of the above make: the next dialog created on this thread
    // with DialogStartProc takes this object. False (with the last error set) when the
    // object is bound or waiting already, or has no memory for its trampoline.
    bool RegisterCreation();
    // Takes the object off the waiting list; false when it was not on it.
    bool WithdrawCreation();

    BoundProcedure GetBoundProcedure() override { return BoundDialogProc; }

    static INT_PTR CALLBACK DialogStartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK BoundDialogProc(WindowBinding* object, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // object is set only while the record is on appModule.creationList.
    CreationRecord creationRecord;
};

// The base of every subclassed control object.
class SubclassBinding : public WindowBinding {
public:
    SubclassBinding();
    // Gives the control back when it is still ours (see Unsubclass).
    ~SubclassBinding() override;

    // Takes the control over; false (the object stays unbound) when it cannot, or when
    // the object is bound to a control already.
    bool Subclass(HWND control);
    // Gives the control its previous procedure back, only when our trampoline is still
    // the control's procedure. True when the object was unbound by this call.
    bool Unsubclass();

    // The control's procedure from before the object took it over; DefWindowProcA
    // while the object is not bound.
    WNDPROC PreviousProc() const { return previousProc; }

    BoundProcedure GetBoundProcedure() override { return BoundWindowProc; }

    static LRESULT CALLBACK BoundWindowProc(WindowBinding* object, UINT message, WPARAM wParam, LPARAM lParam);

private:
    WNDPROC previousProc;
};
