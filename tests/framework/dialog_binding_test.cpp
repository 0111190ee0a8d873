// Dialog objects: binding at the first message, the current message, the last message,
// how a dialog answers, the list of waiting objects, and reflection to the controls.
#include "tests/framework/test_windows.h"

#include <thread>
#include <vector>

namespace {

// A dialog object that notes what reaches it; it reflects what it does not handle.
class ProbeDialog : public DialogBinding {
public:
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       DWORD section) override;
    void OnLastMessage(HWND window) override
    {
        ++lastMessageCalls;
        lastWindow = window;
    }
    // The map's verdict alone, without the dialog manager.
    bool Handles(UINT message, WPARAM wParam, LPARAM lParam)
    {
        LRESULT result = 0;
        return HandleMessage(Window(), message, wParam, lParam, result, 0);
    }

    bool answerEverything = false;  // the first entry then handles every message...
    LRESULT answer = 0;  // ...with this
    LRESULT initDialogAnswer = TRUE;
    bool endInInitDialog = false;
    bool handleNcDestroy = false;

    std::vector<UINT> messages;
    bool boundAtFirstMessage = false;
    LPARAM creationParameter = 0;
    std::vector<UINT> currentMessages;  // as the nesting handlers saw them
    HWND boundAtNcDestroy = nullptr;
    int lastMessageCallsInHandler = -1;
    HWND boundInHandler = nullptr;
    int lastMessageCalls = 0;
    HWND lastWindow = nullptr;

private:
    static const MessageMapEntry<ProbeDialog> messageMap[];

    LRESULT OnAnyMessage(UINT message, WPARAM, LPARAM, bool& handled)
    {
        if (messages.empty()) boundAtFirstMessage = Window() != nullptr;
        messages.push_back(message);
        handled = answerEverything;
        return answer;
    }
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, bool&)
    {
        creationParameter = lParam;
        if (endInInitDialog) EndDialog(Window(), 7);
        return initDialogAnswer;
    }
    LRESULT OnOuter(UINT, WPARAM, LPARAM, bool&)
    {
        NoteCurrentMessage();
        SendMessageA(Window(), UM_INNER, 0, 0);
        NoteCurrentMessage();
        return 0;
    }
    LRESULT OnInner(UINT, WPARAM, LPARAM, bool&)
    {
        NoteCurrentMessage();
        return 0;
    }
    void NoteCurrentMessage()
    {
        currentMessages.push_back(CurrentMessage() != nullptr ? CurrentMessage()->message : 0);
    }
    LRESULT OnButton(WORD, WORD, HWND, bool&)
    {
        DestroyWindow(Window());
        lastMessageCallsInHandler = lastMessageCalls;
        boundInHandler = Window();
        return 0;
    }
    LRESULT OnRecorderB(WORD, WORD, HWND, bool&) { return 99; }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, bool& handled)
    {
        boundAtNcDestroy = Window();
        handled = handleNcDestroy;
        return 0;
    }
};

const MessageMapEntry<ProbeDialog> ProbeDialog::messageMap[] = {
    MessageMapEntry<ProbeDialog>::Range(0, 0xFFFFFFFF, &ProbeDialog::OnAnyMessage),
    MessageMapEntry<ProbeDialog>::Message(WM_INITDIALOG, &ProbeDialog::OnInitDialog),
    MessageMapEntry<ProbeDialog>::Message(UM_OUTER, &ProbeDialog::OnOuter),
    MessageMapEntry<ProbeDialog>::Message(UM_INNER, &ProbeDialog::OnInner),
    MessageMapEntry<ProbeDialog>::Command(IDC_BUTTON, BN_CLICKED, &ProbeDialog::OnButton),
    MessageMapEntry<ProbeDialog>::Command(IDC_RECORDER_B, BN_CLICKED, &ProbeDialog::OnRecorderB),
    MessageMapEntry<ProbeDialog>::Message(WM_NCDESTROY, &ProbeDialog::OnNcDestroy),
    MessageMapEntry<ProbeDialog>::Reflect(),
};

bool ProbeDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT& result, DWORD section)
{
    return RunMessageMap(*this, messageMap, window, message, wParam, lParam, result, section);
}

// A dialog made straight from DialogStartProc, as CreateModeless does after registering.
HWND CreateWithStartProc()
{
    return CreateDialogParamA(appModule.instance, MAKEINTRESOURCEA(IDD_TEST), nullptr,
                              DialogBinding::DialogStartProc, 0);
}

const LONG_PTR UNTOUCHED = 0x5EED;

class DialogBindingTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        guard.window = probe.CreateModeless(IDD_TEST, nullptr, 0x1234);
        ASSERT_NE(nullptr, guard.window);
        SetWindowLongPtrA(guard.window, DWLP_MSGRESULT, UNTOUCHED);
    }
    // The dialog procedure called as the dialog manager calls it.
    INT_PTR CallDialogProc(UINT message)
    {
        DLGPROC procedure = (DLGPROC)GetWindowLongPtrA(guard.window, DWLP_DLGPROC);
        return procedure(guard.window, message, 0, 0);
    }
    LONG_PTR MessageResult() { return GetWindowLongPtrA(guard.window, DWLP_MSGRESULT); }

    ProbeDialog probe;
    WindowGuard guard{nullptr};
};

TEST_F(DialogBindingTest, FirstMessageBindsTheObjectAndIsDelivered)
{
    EXPECT_EQ(guard.window, probe.Window());
    ASSERT_FALSE(probe.messages.empty());
    EXPECT_EQ((UINT)WM_SETFONT, probe.messages[0]) << "the template names a font";
    EXPECT_TRUE(probe.boundAtFirstMessage);
    EXPECT_EQ(0x1234, probe.creationParameter);
    LONG_PTR procedure = GetWindowLongPtrA(guard.window, DWLP_DLGPROC);
    EXPECT_NE((LONG_PTR)DialogBinding::DialogStartProc, procedure);
    EXPECT_TRUE(IsExecutable(procedure)) << "the trampoline";
}

TEST_F(DialogBindingTest, CurrentMessageIsRestoredAfterANestedMessage)
{
    EXPECT_EQ(nullptr, probe.CurrentMessage());
    SendMessageA(guard.window, UM_OUTER, 0, 0);
    EXPECT_EQ((std::vector<UINT>{UM_OUTER, UM_INNER, UM_OUTER}), probe.currentMessages);
    EXPECT_EQ(nullptr, probe.CurrentMessage());
}

TEST_F(DialogBindingTest, ObjectIsLetGoAfterTheLastMessageHandledOrNot)
{
    for (bool handled : {false, true}) {
        ProbeDialog dialog;
        dialog.handleNcDestroy = handled;
        HWND window = dialog.CreateModeless(IDD_TEST, nullptr, 0);
        DestroyWindow(window);
        EXPECT_EQ(window, dialog.boundAtNcDestroy) << "bound while WM_NCDESTROY is handled";
        EXPECT_EQ(nullptr, dialog.Window());
        EXPECT_EQ(1, dialog.lastMessageCalls);
        EXPECT_EQ(window, dialog.lastWindow);
    }
}

TEST_F(DialogBindingTest, WindowDestroyedByAHandlerIsLetGoWhenTheHandlerReturns)
{
    HWND button = GetDlgItem(guard.window, IDC_BUTTON);
    SendMessageA(guard.window, WM_COMMAND, MAKEWPARAM(IDC_BUTTON, BN_CLICKED), (LPARAM)button);
    EXPECT_FALSE(IsWindow(guard.window));
    EXPECT_EQ(0, probe.lastMessageCallsInHandler);
    EXPECT_EQ(guard.window, probe.boundInHandler);
    EXPECT_EQ(1, probe.lastMessageCalls);
    EXPECT_EQ(nullptr, probe.Window());
}

TEST_F(DialogBindingTest, MessagesThatReturnTheirAnswerDirectly)
{
    probe.answerEverything = true;
    probe.answer = 0x4321;
    for (UINT message : {WM_COMPAREITEM, WM_VKEYTOITEM, WM_CHARTOITEM, WM_INITDIALOG,
                         WM_QUERYDRAGICON, WM_CTLCOLORMSGBOX, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX,
                         WM_CTLCOLORBTN, WM_CTLCOLORDLG, WM_CTLCOLORSCROLLBAR, WM_CTLCOLORSTATIC}) {
        EXPECT_EQ(0x4321, CallDialogProc(message)) << std::hex << message;
        EXPECT_EQ(UNTOUCHED, MessageResult()) << std::hex << message;
    }
}

TEST_F(DialogBindingTest, OtherMessagesLeaveTheirAnswerInMsgResult)
{
    probe.answerEverything = true;
    probe.answer = 0x4321;
    // 0x131 and 0x139 are just outside the WM_CTLCOLOR range.
    for (UINT message : {(UINT)WM_COMMAND, (UINT)WM_NOTIFY, 0x131u, 0x139u, UM_PROBE}) {
        SetWindowLongPtrA(guard.window, DWLP_MSGRESULT, UNTOUCHED);
        EXPECT_EQ(TRUE, CallDialogProc(message)) << std::hex << message;
        EXPECT_EQ(0x4321, MessageResult()) << std::hex << message;
    }
    EXPECT_EQ(0x4321, SendMessageA(guard.window, UM_PROBE, 0, 0)) << "through the dialog manager";
}

TEST_F(DialogBindingTest, InitDialogHandledWithZeroAndUnhandledMessagesReturnFalse)
{
    probe.initDialogAnswer = 0;
    EXPECT_EQ(FALSE, CallDialogProc(WM_INITDIALOG));
    EXPECT_EQ(FALSE, CallDialogProc(UM_PROBE));
    EXPECT_EQ(UNTOUCHED, MessageResult());
}

TEST_F(DialogBindingTest, ModalDialogReturnsItsEndCodeAndLetsGo)
{
    ProbeDialog dialog;
    dialog.endInInitDialog = true;
    EXPECT_EQ(7, dialog.RunModal(IDD_TEST, nullptr, 55));
    EXPECT_EQ(55, dialog.creationParameter);
    EXPECT_EQ(nullptr, dialog.Window());
    EXPECT_EQ(1, dialog.lastMessageCalls);
}

TEST_F(DialogBindingTest, FailedCreationLeavesNoRecordForTheNextDialog)
{
    ProbeDialog failed;
    EXPECT_EQ(nullptr, failed.CreateModeless(IDD_MISSING, nullptr, 0));
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ(-1, failed.RunModal(IDD_MISSING, nullptr));
    WindowGuard next{CreateWithStartProc()};
    EXPECT_EQ(nullptr, failed.Window());
    EXPECT_TRUE(failed.messages.empty());
}

TEST_F(DialogBindingTest, NewestRecordIsTakenFirst)
{
    ProbeDialog older, newer;
    ASSERT_TRUE(older.RegisterCreation());
    ASSERT_TRUE(newer.RegisterCreation());
    WindowGuard first{CreateWithStartProc()};
    WindowGuard second{CreateWithStartProc()};
    EXPECT_EQ(first.window, newer.Window());
    EXPECT_EQ(second.window, older.Window());
}

TEST_F(DialogBindingTest, RecordsAreKeptApartByThread)
{
    ProbeDialog mine, theirs, waitingThere;
    ASSERT_TRUE(mine.RegisterCreation());
    std::thread([&theirs] {
        HWND window = theirs.CreateModeless(IDD_TEST, nullptr, 0);
        EXPECT_EQ(window, theirs.Window());
        DestroyWindow(window);
    }).join();
    EXPECT_EQ(1, theirs.lastMessageCalls);
    std::thread([&waitingThere] { EXPECT_TRUE(waitingThere.RegisterCreation()); }).join();
    WindowGuard window{CreateWithStartProc()};
    EXPECT_EQ(window.window, mine.Window());
    EXPECT_TRUE(waitingThere.WithdrawCreation()) << "this thread's dialog took another's record";
}

TEST_F(DialogBindingTest, WaitingOrBoundObjectCannotRegisterAgain)
{
    EXPECT_EQ(nullptr, probe.CreateModeless(IDD_TEST, nullptr, 0));
    EXPECT_EQ(guard.window, probe.Window());
    {
        ProbeDialog waiting;
        ASSERT_TRUE(waiting.RegisterCreation());
        EXPECT_FALSE(waiting.RegisterCreation());
        EXPECT_EQ((DWORD)ERROR_BUSY, GetLastError());
        EXPECT_EQ(nullptr, appModule.creationList->next) << "the record is linked twice";
    }
    EXPECT_EQ(nullptr, appModule.creationList) << "an object destroyed while waiting";
}

TEST_F(DialogBindingTest, DialogNobodyWaitedForNeverTakesALaterRecord)
{
    WindowGuard stray{CreateWithStartProc()};
    ASSERT_NE(nullptr, stray.window) << "the dialog works with the default processing";
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.RegisterCreation());
    SendMessageA(stray.window, UM_PROBE, 0, 0);
    EXPECT_TRUE(dialog.WithdrawCreation()) << "the stray dialog took the record";
}

class ReflectionTest : public DialogBindingTest {
protected:
    void SetUp() override
    {
        DialogBindingTest::SetUp();
        a = GetDlgItem(guard.window, IDC_RECORDER_A);
        b = GetDlgItem(guard.window, IDC_RECORDER_B);
    }

    HWND a = nullptr;
    HWND b = nullptr;
};

TEST_F(ReflectionTest, NotificationsGoToTheChildTheyConcern)
{
    NMHDR header = {b, IDC_RECORDER_B, (UINT)NM_CLICK};
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_BUTTON;
    draw.hwndItem = a;
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = IDC_RECORDER_B;
    DELETEITEMSTRUCT deleted = {};
    deleted.CtlID = IDC_RECORDER_B;
    COMPAREITEMSTRUCT compare = {};
    compare.CtlID = IDC_RECORDER_B;
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        HWND child;
    } ROWS[] = {
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, BN_CLICKED), (LPARAM)a, a},
        {WM_NOTIFY, IDC_RECORDER_B, (LPARAM)&header, b},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, IDC_RECORDER_B), (LPARAM)a, a},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, IDC_RECORDER_B), MAKELPARAM(5, 5), b},
        {WM_DRAWITEM, IDC_RECORDER_A, (LPARAM)&draw, a},
        {WM_MEASUREITEM, IDC_RECORDER_B, (LPARAM)&measure, b},
        {WM_DELETEITEM, IDC_RECORDER_B, (LPARAM)&deleted, b},
        {WM_COMPAREITEM, IDC_RECORDER_B, (LPARAM)&compare, b},
        {WM_VSCROLL, SB_LINEDOWN, (LPARAM)a, a},
        {WM_CTLCOLORSTATIC, 0, (LPARAM)a, a},
    };
    for (const auto& row : ROWS) {
        ForgetReceived();
        // The child's answer is the dialog's, whichever way the dialog returns it.
        EXPECT_EQ(RECORDER_ANSWER, SendMessageA(guard.window, row.message, row.wParam, row.lParam))
            << std::hex << row.message;
        const WindowMessage* got = LastReceived(row.child, REFLECTED_BASE + row.message);
        ASSERT_NE(nullptr, got) << std::hex << row.message;
        EXPECT_EQ(row.wParam, got->wParam);
        EXPECT_EQ(row.lParam, got->lParam);
        EXPECT_EQ(0, Received(row.child == a ? b : a, REFLECTED_BASE + row.message));
    }
}

TEST_F(ReflectionTest, MessagesAboutNoChildAreNotReflected)
{
    WindowGuard stranger{CreateRecorder()};
    HMENU menu = CreatePopupMenu();
    DRAWITEMSTRUCT menuDraw = {};
    menuDraw.CtlType = ODT_MENU;
    menuDraw.hwndItem = (HWND)menu;
    MEASUREITEMSTRUCT menuMeasure = {};
    menuMeasure.CtlType = ODT_MENU;
    menuMeasure.CtlID = IDC_RECORDER_A;  // means nothing for a menu
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } ROWS[] = {
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, 0), 0},  // menu
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, 1), 0},  // accelerator
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, 0), (LPARAM)stranger.window},
        {WM_DRAWITEM, 0, (LPARAM)&menuDraw},
        {WM_MEASUREITEM, 0, (LPARAM)&menuMeasure},
        {WM_CTLCOLORDLG, 0, (LPARAM)guard.window},  // the dialog itself
        {WM_HSCROLL, SB_LINEDOWN, 0},  // the dialog's own scroll bar
        {WM_SIZE, 0, (LPARAM)a},
    };
    for (const auto& row : ROWS)
        EXPECT_FALSE(probe.Handles(row.message, row.wParam, row.lParam)) << std::hex << row.message;
    for (HWND window : {a, b, stranger.window})
        for (const auto& row : ROWS) EXPECT_EQ(0, Received(window, REFLECTED_BASE + row.message));
    DestroyMenu(menu);
}

TEST_F(ReflectionTest, CommandTheDialogHandlesIsNotReflected)
{
    EXPECT_EQ(99, SendMessageA(guard.window, WM_COMMAND, MAKEWPARAM(IDC_RECORDER_B, BN_CLICKED),
                               (LPARAM)b));
    EXPECT_EQ(0, Received(b, REFLECTED_BASE + WM_COMMAND));
}

}  // namespace
