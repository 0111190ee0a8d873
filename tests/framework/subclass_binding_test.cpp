// Subclassed controls and message maps: the object sees each message first, its map's
// entries are tried in order, the control's own procedure gets what the object leaves,
// and the control is given back by Unsubclass or let go at its last message.
#include "tests/framework/test_windows.h"

#include <string>

namespace {

const WORD ID_A = 11;
const WORD ID_B = 12;
const UINT UM_RANGE_FIRST = WM_APP + 10;
const UINT UM_RANGE_LAST = WM_APP + 12;

// A control object whose handlers write their names into a trace.
class ProbeControl : public SubclassBinding {
public:
    enum Action { NONE, UNSUBCLASS, DESTROY };

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       DWORD section) override;
    void OnLastMessage(HWND window) override
    {
        ++lastMessageCalls;
        lastWindow = window;
    }

    bool firstKeeps = true;
    bool secondKeeps = true;
    Action action = NONE;

    std::string trace;
    HWND probeWindow = nullptr;  // the window the map was given with UM_PROBE
    HWND commandControl = nullptr;
    bool unsubclassed = false;
    HWND boundInHandler = nullptr;
    int lastMessageCallsInHandler = -1;
    int lastMessageCalls = 0;
    HWND lastWindow = nullptr;

private:
    static const MessageMapEntry<ProbeControl> messageMap[];

    LRESULT Trace(const char* name, LRESULT answer)
    {
        trace += trace.empty() ? name : std::string(",") + name;
        return answer;
    }
    LRESULT OnFirst(UINT, WPARAM, LPARAM lParam, bool& handled)
    {
        handled = firstKeeps;
        return Trace("first", lParam * 2);
    }
    LRESULT OnSecond(UINT, WPARAM, LPARAM, bool& handled)
    {
        handled = secondKeeps;
        return Trace("second", 2);
    }
    LRESULT OnRange(UINT message, WPARAM, LPARAM, bool&) { return Trace("range", message); }
    LRESULT OnAClicked(WORD, WORD, HWND control, bool&)
    {
        commandControl = control;
        return Trace("clicked", 3);
    }
    LRESULT OnACommand(WORD code, WORD, HWND, bool&) { return Trace("command", code); }
    LRESULT OnAClick(int id, NMHDR*, bool&) { return Trace("click", id); }
    LRESULT OnAct(UINT, WPARAM, LPARAM, bool& handled)
    {
        if (action == UNSUBCLASS) unsubclassed = Unsubclass();
        if (action == DESTROY) {
            DestroyWindow(Window());
            boundInHandler = Window();
            lastMessageCallsInHandler = lastMessageCalls;
        }
        handled = false;
        return 0;
    }
};

const MessageMapEntry<ProbeControl> ProbeControl::messageMap[] = {
    MessageMapEntry<ProbeControl>::Message(UM_PROBE, &ProbeControl::OnFirst),
    MessageMapEntry<ProbeControl>::Message(UM_PROBE, &ProbeControl::OnSecond),
    MessageMapEntry<ProbeControl>::Range(UM_RANGE_FIRST, UM_RANGE_LAST, &ProbeControl::OnRange),
    MessageMapEntry<ProbeControl>::Command(ID_A, BN_CLICKED, &ProbeControl::OnAClicked),
    MessageMapEntry<ProbeControl>::Command(ID_A, &ProbeControl::OnACommand),
    MessageMapEntry<ProbeControl>::Notify(ID_A, NM_CLICK, &ProbeControl::OnAClick),
    MessageMapEntry<ProbeControl>::Message(UM_ACT, &ProbeControl::OnAct),
    MessageMapEntry<ProbeControl>::ReflectedDefault(),
};

bool ProbeControl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 LRESULT& result, DWORD section)
{
    if (message == UM_PROBE) probeWindow = window;
    return RunMessageMap(*this, messageMap, window, message, wParam, lParam, result, section);
}

LONG_PTR ProcedureOf(HWND window)
{
    return GetWindowLongPtrA(window, GWLP_WNDPROC);
}

class SubclassBindingTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        ASSERT_TRUE(probe.Subclass(guard.window));
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return SendMessageA(guard.window, message, wParam, lParam);
    }

    ProbeControl probe;
    WindowGuard guard{CreateRecorder()};
};

TEST_F(SubclassBindingTest, ObjectGetsTheControlsMessagesThroughItsTrampoline)
{
    EXPECT_EQ(guard.window, probe.Window());
    EXPECT_EQ((WNDPROC)RecorderProc, probe.PreviousProc());
    EXPECT_EQ(42, Send(UM_PROBE, 0, 21));
    EXPECT_EQ(0, Received(guard.window, UM_PROBE));
    LONG_PTR trampoline = ProcedureOf(guard.window);
    EXPECT_TRUE(IsExecutable(trampoline));
    // Whatever window the trampoline is called with, the map is given the bound one.
    EXPECT_EQ(42, CallWindowProcA((WNDPROC)trampoline, (HWND)0x1234, UM_PROBE, 0, 21));
    EXPECT_EQ(guard.window, probe.probeWindow);
}

TEST_F(SubclassBindingTest, FirstEntryThatHandlesEndsTheDispatch)
{
    EXPECT_EQ(2, Send(UM_PROBE, 0, 1));
    EXPECT_EQ("first", probe.trace);
}

TEST_F(SubclassBindingTest, ClearedHandledFlagLetsTheNextEntriesAndThenTheControlRun)
{
    probe.firstKeeps = false;
    EXPECT_EQ(2, Send(UM_PROBE, 0, 0));
    probe.secondKeeps = false;
    EXPECT_EQ(RECORDER_ANSWER, Send(UM_PROBE, 5, 6));
    EXPECT_EQ("first,second,first,second", probe.trace);
    const WindowMessage* received = LastReceived(guard.window, UM_PROBE);
    ASSERT_NE(nullptr, received);
    EXPECT_EQ(1, Received(guard.window, UM_PROBE));
    EXPECT_EQ(5u, received->wParam);
    EXPECT_EQ(6, received->lParam);
}

TEST_F(SubclassBindingTest, RangeEntryTakesBothEnds)
{
    EXPECT_EQ((LRESULT)UM_RANGE_FIRST, Send(UM_RANGE_FIRST, 0, 0));
    EXPECT_EQ((LRESULT)UM_RANGE_LAST, Send(UM_RANGE_LAST, 0, 0));
    EXPECT_EQ(RECORDER_ANSWER, Send(UM_RANGE_LAST + 1, 0, 0));
    EXPECT_EQ("range,range", probe.trace);
}

TEST_F(SubclassBindingTest, CommandAndNotifyEntriesMatchIdAndCode)
{
    EXPECT_EQ(3, Send(WM_COMMAND, MAKEWPARAM(ID_A, BN_CLICKED), (LPARAM)guard.window));
    EXPECT_EQ(guard.window, probe.commandControl);
    EXPECT_EQ(BN_DOUBLECLICKED, Send(WM_COMMAND, MAKEWPARAM(ID_A, BN_DOUBLECLICKED), 0));
    Send(WM_COMMAND, MAKEWPARAM(ID_B, BN_CLICKED), 0);
    NMHDR click = {guard.window, ID_A, (UINT)NM_CLICK};
    NMHDR doubleClick = {guard.window, ID_A, (UINT)NM_DBLCLK};
    NMHDR fromB = {guard.window, ID_B, (UINT)NM_CLICK};
    EXPECT_EQ(ID_A, Send(WM_NOTIFY, ID_A, (LPARAM)&click));
    Send(WM_NOTIFY, ID_A, (LPARAM)&doubleClick);
    Send(WM_NOTIFY, ID_B, (LPARAM)&fromB);
    EXPECT_EQ("clicked,command,click", probe.trace);
    EXPECT_EQ(1, Received(guard.window, WM_COMMAND));
    EXPECT_EQ(2, Received(guard.window, WM_NOTIFY));
}

TEST_F(SubclassBindingTest, OtherMapSectionsAreNotHandled)
{
    LRESULT result = 0;
    EXPECT_FALSE(probe.HandleMessage(guard.window, UM_PROBE, 0, 0, result, 1));
    EXPECT_EQ("", probe.trace);
}

TEST_F(SubclassBindingTest, ReflectionTheControlDoesNotTakeGetsDefaultProcessing)
{
    HDC dc = GetDC(guard.window);
    LRESULT expected = DefWindowProcA(guard.window, WM_CTLCOLORSTATIC, (WPARAM)dc, 0);
    EXPECT_NE(0, expected);
    EXPECT_EQ(expected, Send(REFLECTED_BASE + WM_CTLCOLORSTATIC, (WPARAM)dc, 0));
    ReleaseDC(guard.window, dc);
    EXPECT_EQ(0, Received(guard.window, REFLECTED_BASE + WM_CTLCOLORSTATIC));
    Send(REFLECTED_BASE + WM_PAINT, 0, 0);  // not a notification: the control gets it
    EXPECT_EQ(1, Received(guard.window, REFLECTED_BASE + WM_PAINT));
}

TEST_F(SubclassBindingTest, NoWindowOrASecondControlIsRefused)
{
    ProbeControl unbound;
    HWND gone = CreateRecorder();
    DestroyWindow(gone);
    EXPECT_FALSE(unbound.Subclass(nullptr));
    EXPECT_FALSE(unbound.Subclass(gone));
    EXPECT_EQ(nullptr, unbound.Window());
    EXPECT_EQ((WNDPROC)DefWindowProcA, unbound.PreviousProc());
    WindowGuard second{CreateRecorder()};
    EXPECT_FALSE(probe.Subclass(second.window));
    EXPECT_EQ(guard.window, probe.Window());
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(second.window));
    EXPECT_EQ(42, Send(UM_PROBE, 0, 21));
}

TEST_F(SubclassBindingTest, UnsubclassGivesTheControlBack)
{
    EXPECT_TRUE(probe.Unsubclass());
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(guard.window));
    EXPECT_EQ(nullptr, probe.Window());
    EXPECT_EQ((WNDPROC)DefWindowProcA, probe.PreviousProc());
    EXPECT_EQ(RECORDER_ANSWER, Send(UM_PROBE, 0, 21));
    EXPECT_EQ("", probe.trace);
    EXPECT_FALSE(probe.Unsubclass());
    // Bound again to a new control, as the in-place editors are.
    WindowGuard next{CreateRecorder()};
    ASSERT_TRUE(probe.Subclass(next.window));
    EXPECT_EQ(42, SendMessageA(next.window, UM_PROBE, 0, 21));
    EXPECT_EQ(0, probe.lastMessageCalls);
}

TEST_F(SubclassBindingTest, UnsubclassUnderAnotherProcedureChangesNothing)
{
    ProbeControl above;
    above.Subclass(guard.window);
    LONG_PTR aboveTrampoline = ProcedureOf(guard.window);
    EXPECT_FALSE(probe.Unsubclass());
    EXPECT_EQ(guard.window, probe.Window());
    EXPECT_EQ(aboveTrampoline, ProcedureOf(guard.window));
    above.firstKeeps = above.secondKeeps = false;
    EXPECT_EQ(42, Send(UM_PROBE, 0, 21)) << "still reaches the object below";
    DestroyWindow(guard.window);
    EXPECT_EQ(nullptr, probe.Window());
    EXPECT_EQ(1, probe.lastMessageCalls);
    EXPECT_EQ(1, above.lastMessageCalls);
}

TEST_F(SubclassBindingTest, LastMessageReachesTheControlThenLetsGo)
{
    DestroyWindow(guard.window);
    EXPECT_EQ(1, Received(guard.window, WM_NCDESTROY));
    EXPECT_EQ(nullptr, probe.Window());
    EXPECT_EQ((WNDPROC)DefWindowProcA, probe.PreviousProc());
    EXPECT_EQ(1, probe.lastMessageCalls);
    EXPECT_EQ(guard.window, probe.lastWindow);
}

TEST_F(SubclassBindingTest, MessageDuringWhichTheObjectUnsubclassesStillReachesTheControl)
{
    probe.action = ProbeControl::UNSUBCLASS;
    EXPECT_EQ(RECORDER_ANSWER, Send(UM_ACT, 3, 4));
    EXPECT_TRUE(probe.unsubclassed);
    const WindowMessage* received = LastReceived(guard.window, UM_ACT);
    ASSERT_NE(nullptr, received);
    EXPECT_EQ(3u, received->wParam);
    EXPECT_EQ(4, received->lParam);
}

TEST_F(SubclassBindingTest, ControlDestroyedByAHandlerIsLetGoWhenTheHandlerReturns)
{
    probe.action = ProbeControl::DESTROY;
    Send(UM_ACT, 0, 0);
    EXPECT_FALSE(IsWindow(guard.window));
    EXPECT_EQ(guard.window, probe.boundInHandler);
    EXPECT_EQ(0, probe.lastMessageCallsInHandler);
    EXPECT_EQ(nullptr, probe.Window());
    EXPECT_EQ(1, probe.lastMessageCalls);
}

TEST_F(SubclassBindingTest, DestroyedObjectGivesTheControlBack)
{
    WindowGuard control{CreateRecorder()};
    {
        ProbeControl scoped;
        scoped.Subclass(control.window);
    }
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(control.window));
    EXPECT_EQ(RECORDER_ANSWER, SendMessageA(control.window, UM_PROBE, 0, 21));
}

}  // namespace
