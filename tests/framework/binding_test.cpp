// The window binding layer on real windows under Wine: a dialog object bound at its
// first message, a control object by subclassing, message maps tried in order,
// reflection to the controls, the list of waiting dialogs, and objects let go after the
// window's last message.
#include "framework/message_map.h"
#include "framework/window_binding.h"
#include "tests/framework/test_resources.h"

#include <commctrl.h>

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

const UINT UM_PROBE = WM_APP + 1, UM_OUTER = WM_APP + 2, UM_INNER = WM_APP + 3, UM_ACT = WM_APP + 4;
const UINT UM_RANGE_FIRST = WM_APP + 10, UM_RANGE_LAST = WM_APP + 12, UM_NOBODY = WM_APP + 100;
const WORD ID_A = 11, ID_B = 12;

// A recorder window notes every message it gets and answers those from WM_USER up with this.
const LRESULT RECORDER_ANSWER = 0x7E57;
std::vector<WindowMessage> received;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received.push_back({window, message, wParam, lParam});
    return message >= WM_USER ? RECORDER_ANSWER : DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecorder()  // hidden and top-level; the class is also named in framework_tests.rc
{
    return CreateWindowExA(0, "FrameworkRecorder", "", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, appModule.instance, nullptr);
}

// How often window got message with these wParam and lParam.
int Received(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    int count = 0;
    for (const WindowMessage& m : received) count += m.window == window && m.message == message && m.wParam == wParam && m.lParam == lParam;
    return count;
}

// True when the code at address may run under Data Execution Prevention.
bool IsExecutable(LONG_PTR address)
{
    MEMORY_BASIC_INFORMATION info;
    const DWORD EXECUTE = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return VirtualQuery((const void*)address, &info, sizeof info) != 0 && info.State == MEM_COMMIT && (info.Protect & EXECUTE) != 0;
}

// A window's procedure as an ANSI program sees it (the recorder's class is ANSI), and as
// a Unicode one sees it: the trampolines are installed as Unicode procedures.
LONG_PTR ProcedureOf(HWND window) { return GetWindowLongPtrA(window, GWLP_WNDPROC); }
LONG_PTR TrampolineOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }

class Module : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitAppModule(GetModuleHandleA(nullptr));
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecorderProc;
        windowClass.hInstance = appModule.instance;
        windowClass.lpszClassName = "FrameworkRecorder";
        ASSERT_NE(0, RegisterClassA(&windowClass));
    }
    void TearDown() override { TermAppModule(); }
};
const ::testing::Environment* const module = ::testing::AddGlobalTestEnvironment(new Module);

// Destroys a window at the end of a scope; declared after the object bound to the window, it goes first.
struct WindowGuard {
    HWND window;
    ~WindowGuard() { if (IsWindow(window)) DestroyWindow(window); }
};

enum Action { NONE, UNSUBCLASS, DESTROY };

// Handlers in a part of their own, which the probe's map chains to before its range entry.
class ProbePart : public MessageMapPart {
    DECLARE_MESSAGE_MAP(ProbePart)
public:
    std::string* trace = nullptr;
private:
    void Note(const char* event) { *trace += (trace->empty() ? "" : ",") + std::string(event); }
    LRESULT OnTaken(UINT, WPARAM, LPARAM lParam, bool&) { Note("part"); return lParam + 1; }
    LRESULT OnPassed(UINT, WPARAM, LPARAM, bool& handled) { Note("passed"); handled = false; return 0; }
};
const ProbePart::MapEntry ProbePart::messageMap[] = {
    MapEntry::Message(UM_RANGE_FIRST + 1, &ProbePart::OnTaken),
    MapEntry::Message(UM_RANGE_LAST, &ProbePart::OnPassed),
};
MESSAGE_MAP_HANDLER(ProbePart)

// A dialog or control object whose map writes what its handlers see into a trace; its
// first entry sees every message.
template <class Base>
class Probe : public Base {
public:
    Probe() { part.trace = &trace; }
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        mapWindow = window;
        return RunMessageMap(*this, messageMap, window, message, wParam, lParam, result);
    }
    void OnLastMessage(HWND window) override { lastWindow = window; Note("last"); }

    bool answerEverything = false;  // the first entry then handles every message with answer
    LRESULT answer = 0;
    bool endInInitDialog = false, handleNcDestroy = false;
    bool firstKeeps = true, secondKeeps = true;  // whether the two UM_PROBE entries keep it
    Action action = NONE;

    std::vector<UINT> messages;  // every message, in order
    std::string trace;
    ProbePart part;
    HWND mapWindow = nullptr, commandControl = nullptr, lastWindow = nullptr;
    LPARAM creationParameter = 0;

private:
    static const MessageMapEntry<Probe> messageMap[];

    LRESULT Note(const std::string& event, LRESULT result = 0)
    {
        trace += (trace.empty() ? "" : ",") + event;
        return result;
    }
    // Whether the object is bound while a handler runs.
    std::string Bound() const { return this->Window() != nullptr ? "bound" : "unbound"; }
    std::string Current() const
    {
        const WindowMessage* current = this->CurrentMessage();
        return current == nullptr ? "none" : current->message == UM_OUTER ? "outer" : "inner";
    }
    LRESULT OnAny(UINT message, WPARAM, LPARAM, bool& handled)
    {
        if (messages.empty() && std::is_base_of<DialogBinding, Base>::value) Note("first message " + Bound());
        messages.push_back(message);
        handled = answerEverything;
        return answer;
    }
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, bool&)
    {
        creationParameter = lParam;
        if (endInInitDialog) EndDialog(this->Window(), 7);
        return TRUE;
    }
    LRESULT OnOuter(UINT, WPARAM, LPARAM, bool&)
    {
        Note(Current());
        SendMessageA(this->Window(), UM_INNER, 0, 0);
        return Note(Current());
    }
    LRESULT OnInner(UINT, WPARAM, LPARAM, bool&) { return Note(Current()); }
    LRESULT OnFirst(UINT, WPARAM, LPARAM lParam, bool& handled) { handled = firstKeeps; return Note("first", lParam * 2); }
    LRESULT OnSecond(UINT, WPARAM, LPARAM, bool& handled) { handled = secondKeeps; return Note("second", 2); }
    LRESULT OnRange(UINT message, WPARAM, LPARAM, bool&) { return Note("range", message); }
    LRESULT OnAClicked(WORD, WORD, HWND control, bool&) { commandControl = control; return Note("clicked", 3); }
    LRESULT OnACommand(WORD code, WORD, HWND, bool&) { return Note("command", code); }
    LRESULT OnAClick(int id, NMHDR*, bool&) { return Note("click", id); }
    LRESULT OnRecorderB(WORD, WORD, HWND, bool&) { return 99; }
    // Unsubclasses or destroys the window as asked, and leaves the message unhandled.
    LRESULT OnAct(UINT, WPARAM, LPARAM, bool& handled)
    {
        if constexpr (std::is_base_of<SubclassBinding, Base>::value) {
            if (action == UNSUBCLASS) Note(this->Unsubclass() ? "unsubclassed" : "still subclassed");
        }
        if (action == DESTROY) {
            DestroyWindow(this->Window());
            Note("destroyed while " + Bound());
        }
        handled = false;
        return 0;
    }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, bool& handled) { handled = handleNcDestroy; return Note("ncdestroy while " + Bound()); }
};

template <class Base>
const MessageMapEntry<Probe<Base>> Probe<Base>::messageMap[] = {
    MessageMapEntry<Probe>::Range(0, 0xFFFFFFFF, &Probe::OnAny),
    MessageMapEntry<Probe>::Message(WM_INITDIALOG, &Probe::OnInitDialog),
    MessageMapEntry<Probe>::Message(UM_OUTER, &Probe::OnOuter),
    MessageMapEntry<Probe>::Message(UM_INNER, &Probe::OnInner),
    MessageMapEntry<Probe>::Message(UM_PROBE, &Probe::OnFirst),
    MessageMapEntry<Probe>::Message(UM_PROBE, &Probe::OnSecond),
    MessageMapEntry<Probe>::template Chain<ProbePart, &Probe::part>(),
    MessageMapEntry<Probe>::Range(UM_RANGE_FIRST, UM_RANGE_LAST, &Probe::OnRange),
    MessageMapEntry<Probe>::Command(ID_A, BN_CLICKED, &Probe::OnAClicked),
    MessageMapEntry<Probe>::Command(ID_A, &Probe::OnACommand),
    MessageMapEntry<Probe>::Notify(ID_A, NM_CLICK, &Probe::OnAClick),
    MessageMapEntry<Probe>::Command(IDC_RECORDER_B, BN_CLICKED, &Probe::OnRecorderB),
    MessageMapEntry<Probe>::Message(UM_ACT, &Probe::OnAct),
    MessageMapEntry<Probe>::Message(WM_NCDESTROY, &Probe::OnNcDestroy),
    MessageMapEntry<Probe>::Reflect(),
    MessageMapEntry<Probe>::ReflectedDefault(),
};

typedef Probe<DialogBinding> ProbeDialog;
typedef Probe<SubclassBinding> ProbeControl;

// A dialog made straight from DialogStartProc, as CreateModeless does after registering.
HWND CreateWithStartProc()
{
    return CreateDialogParamA(appModule.instance, MAKEINTRESOURCEA(IDD_TEST), nullptr, DialogBinding::DialogStartProc, 0);
}

// A probe dialog with its two recorder controls, and a probe subclassing a recorder;
// every test ends with no creation record left waiting.
class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        received.clear();
        guard.window = dialog.CreateModeless(IDD_TEST, nullptr, 0x1234);
        ASSERT_NE(nullptr, guard.window);
        a = GetDlgItem(guard.window, IDC_RECORDER_A);
        b = GetDlgItem(guard.window, IDC_RECORDER_B);
        ASSERT_TRUE(control.Subclass(recorder.window));
    }
    void TearDown() override
    {
        EXPECT_EQ(nullptr, appModule.creationList) << "a creation record was left waiting";
        appModule.creationList = nullptr;  // so that one failure does not spread
    }
    // The dialog procedure called as the dialog manager calls it; the answer it left.
    INT_PTR CallDialogProc(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        SetWindowLongPtrA(guard.window, DWLP_MSGRESULT, 0x5EED);
        return ((DLGPROC)GetWindowLongPtrA(guard.window, DWLP_DLGPROC))(guard.window, message, wParam, lParam);
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return SendMessageA(recorder.window, message, wParam, lParam); }

    ProbeDialog dialog;
    WindowGuard guard{nullptr};
    HWND a = nullptr, b = nullptr;
    ProbeControl control;
    WindowGuard recorder{CreateRecorder()};
};

TEST_F(Binding, FirstMessageBindsTheDialogAndNestedMessagesRestoreTheCurrentOne)
{
    EXPECT_EQ(guard.window, dialog.Window());
    EXPECT_EQ((UINT)WM_SETFONT, dialog.messages.at(0)) << "the template names a font";
    EXPECT_EQ(0x1234, dialog.creationParameter);
    LONG_PTR procedure = GetWindowLongPtrA(guard.window, DWLP_DLGPROC);
    EXPECT_NE((LONG_PTR)DialogBinding::DialogStartProc, procedure);
    EXPECT_TRUE(IsExecutable(procedure)) << "the trampoline";
    SendMessageA(guard.window, UM_OUTER, 0, 0);
    EXPECT_EQ("first message bound,outer,inner,outer", dialog.trace);
    EXPECT_EQ(nullptr, dialog.CurrentMessage());
}

TEST_F(Binding, DialogAnswersGoWhereTheDialogManagerLooksForThem)
{
    // Handled: WM_INITDIALOG, the WM_CTLCOLOR messages and a few others return their answer
    // (0x131 and 0x139 are just outside the WM_CTLCOLOR range); the others return TRUE and
    // leave it in DWLP_MSGRESULT. Not handled: FALSE, and DWLP_MSGRESULT untouched.
    dialog.answerEverything = true;
    dialog.answer = 0x4321;
    const struct { UINT message; INT_PTR returned; LONG_PTR left; } rows[] = {
        {WM_INITDIALOG, 0x4321, 0x5EED}, {WM_CTLCOLORMSGBOX, 0x4321, 0x5EED}, {WM_CTLCOLORSTATIC, 0x4321, 0x5EED},
        {WM_COMPAREITEM, 0x4321, 0x5EED}, {0x131, TRUE, 0x4321}, {0x139, TRUE, 0x4321}, {WM_COMMAND, TRUE, 0x4321}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.returned, CallDialogProc(row.message)) << std::hex << row.message;
        EXPECT_EQ(row.left, GetWindowLongPtrA(guard.window, DWLP_MSGRESULT)) << std::hex << row.message;
    }
    EXPECT_EQ(0x4321, SendMessageA(guard.window, UM_PROBE, 0, 0)) << "through the dialog manager";
    dialog.answerEverything = false;
    EXPECT_EQ(FALSE, CallDialogProc(UM_NOBODY));
    EXPECT_EQ(0x5EED, GetWindowLongPtrA(guard.window, DWLP_MSGRESULT));
}

TEST_F(Binding, DialogIsLetGoAfterItsLastMessage)
{
    // Destroyed inside a handler: still bound until the handler returns.
    dialog.trace.clear();
    dialog.action = DESTROY;
    SendMessageA(guard.window, UM_ACT, 0, 0);
    EXPECT_EQ("ncdestroy while bound,destroyed while bound,last", dialog.trace);
    EXPECT_EQ(nullptr, dialog.Window());
    EXPECT_EQ(guard.window, dialog.lastWindow);
    // Destroyed from outside with WM_NCDESTROY not handled and handled, and modal, ended in WM_INITDIALOG.
    for (int way : {0, 1, 2}) {
        ProbeDialog other;
        other.handleNcDestroy = way == 1;
        other.endInInitDialog = way == 2;
        if (way == 2) {
            EXPECT_EQ(7, other.RunModal(IDD_TEST, nullptr, 55));
            EXPECT_EQ(55, other.creationParameter);
        } else {
            HWND window = other.CreateModeless(IDD_TEST, nullptr, 0);
            DestroyWindow(window);
            EXPECT_EQ(window, other.lastWindow);
        }
        EXPECT_EQ("first message bound,ncdestroy while bound,last", other.trace) << way;
        EXPECT_EQ(nullptr, other.Window());
    }
}

TEST_F(Binding, FailedOrRepeatedRegistrationLeavesNoRecordWaiting)
{
    ProbeDialog failed;
    EXPECT_EQ(nullptr, failed.CreateModeless(IDD_MISSING, nullptr, 0));
    EXPECT_NE(0u, GetLastError());
    EXPECT_EQ(-1, failed.RunModal(IDD_MISSING, nullptr));
    WindowGuard next{CreateWithStartProc()};
    EXPECT_EQ(nullptr, failed.Window()) << "the next dialog took the failed one's record";

    EXPECT_EQ(nullptr, dialog.CreateModeless(IDD_TEST, nullptr, 0)) << "a bound object";
    EXPECT_EQ(guard.window, dialog.Window());
    {
        ProbeDialog waiting;
        ASSERT_TRUE(waiting.RegisterCreation());
        EXPECT_FALSE(waiting.RegisterCreation());
        EXPECT_EQ((DWORD)ERROR_BUSY, GetLastError());
        EXPECT_EQ(nullptr, appModule.creationList->next) << "the record is linked twice";
    }
    EXPECT_EQ(nullptr, appModule.creationList) << "an object destroyed while waiting";
}

TEST_F(Binding, RecordsGoToTheNewestWaiterOfTheSameThreadOnly)
{
    ProbeDialog older, newer, theirs, waitingThere, later;
    ASSERT_TRUE(older.RegisterCreation());
    ASSERT_TRUE(newer.RegisterCreation());
    std::thread([&theirs] { DestroyWindow(theirs.CreateModeless(IDD_TEST, nullptr, 0)); }).join();
    EXPECT_EQ("first message bound,ncdestroy while bound,last", theirs.trace);
    std::thread([&waitingThere] { EXPECT_TRUE(waitingThere.RegisterCreation()); }).join();
    WindowGuard first{CreateWithStartProc()};
    WindowGuard second{CreateWithStartProc()};
    EXPECT_EQ(first.window, newer.Window());
    EXPECT_EQ(second.window, older.Window());
    EXPECT_TRUE(waitingThere.WithdrawCreation()) << "this thread's dialog took another's record";
    // A dialog nobody waited for never looks at the list again.
    WindowGuard stray{CreateWithStartProc()};
    ASSERT_NE(nullptr, stray.window) << "the dialog works with the default processing";
    ASSERT_TRUE(later.RegisterCreation());
    SendMessageA(stray.window, UM_PROBE, 0, 0);
    EXPECT_TRUE(later.WithdrawCreation()) << "the stray dialog took the record";
}

TEST_F(Binding, NotificationsAreReflectedToTheChildTheyConcernOnly)
{
    WindowGuard stranger{CreateRecorder()};
    NMHDR header = {b, IDC_RECORDER_B, (UINT)NM_CLICK};
    // A menu's hwndItem and CtlID mean nothing: here they name a control by accident.
    DRAWITEMSTRUCT draw = {}, menuDraw = {};
    draw.CtlType = ODT_BUTTON;
    menuDraw.CtlType = ODT_MENU;
    draw.hwndItem = menuDraw.hwndItem = a;
    MEASUREITEMSTRUCT measure = {}, menuMeasure = {};
    measure.CtlType = ODT_LISTBOX;
    menuMeasure.CtlType = ODT_MENU;
    measure.CtlID = menuMeasure.CtlID = IDC_RECORDER_B;
    DELETEITEMSTRUCT deleted = {};
    COMPAREITEMSTRUCT compare = {};
    deleted.CtlID = compare.CtlID = IDC_RECORDER_B;
    const struct { UINT message; WPARAM wParam; LPARAM lParam; HWND child; } rows[] = {  // child null: not handled
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, BN_CLICKED), (LPARAM)a, a},
        {WM_NOTIFY, IDC_RECORDER_B, (LPARAM)&header, b},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, IDC_RECORDER_B), (LPARAM)a, a},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, IDC_RECORDER_B), MAKELPARAM(5, 5), b},
        {WM_DRAWITEM, IDC_RECORDER_A, (LPARAM)&draw, a},
        {WM_MEASUREITEM, IDC_RECORDER_B, (LPARAM)&measure, b},
        {WM_DELETEITEM, IDC_RECORDER_B, (LPARAM)&deleted, b},
        {WM_COMPAREITEM, IDC_RECORDER_B, (LPARAM)&compare, b},
        {WM_CTLCOLORSTATIC, 0, (LPARAM)a, a},
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, 0), 0, nullptr},  // menu or accelerator
        {WM_COMMAND, MAKEWPARAM(IDC_RECORDER_A, 0), (LPARAM)stranger.window, nullptr},
        {WM_DRAWITEM, 0, (LPARAM)&menuDraw, nullptr},
        {WM_MEASUREITEM, 0, (LPARAM)&menuMeasure, nullptr},
        {WM_CTLCOLORDLG, 0, (LPARAM)guard.window, nullptr},  // the dialog itself
        {WM_HSCROLL, SB_LINEDOWN, 0, nullptr},  // the dialog's own scroll bar
        {WM_SIZE, 0, (LPARAM)a, nullptr},
    };
    for (const auto& row : rows) {
        received.clear();
        // The child's answer is the dialog's, whichever way the dialog returns it.
        if (row.child != nullptr) EXPECT_EQ(RECORDER_ANSWER, SendMessageA(guard.window, row.message, row.wParam, row.lParam)) << std::hex << row.message;
        else EXPECT_EQ(FALSE, CallDialogProc(row.message, row.wParam, row.lParam)) << std::hex << row.message;
        for (HWND window : {a, b, stranger.window}) {
            EXPECT_EQ(window == row.child, Received(window, REFLECTED_BASE + row.message, row.wParam, row.lParam)) << std::hex << row.message;
        }
    }
    // A command the dialog handles itself is not reflected.
    EXPECT_EQ(99, SendMessageA(guard.window, WM_COMMAND, MAKEWPARAM(IDC_RECORDER_B, BN_CLICKED), (LPARAM)b));
    EXPECT_EQ(0, Received(b, REFLECTED_BASE + WM_COMMAND, MAKEWPARAM(IDC_RECORDER_B, BN_CLICKED), (LPARAM)b));
}

TEST_F(Binding, ControlObjectTakesOverOneControlThroughItsTrampoline)
{
    EXPECT_EQ(recorder.window, control.Window());
    EXPECT_NE(nullptr, control.PreviousProc());
    EXPECT_TRUE(IsExecutable(TrampolineOf(recorder.window)));
    // Whatever window the trampoline is called with, the map is given the bound one.
    EXPECT_EQ(42, CallWindowProcW((WNDPROC)TrampolineOf(recorder.window), (HWND)0x1234, UM_PROBE, 0, 21));
    EXPECT_EQ(recorder.window, control.mapWindow);
    // No window, a destroyed one, or a second control while bound: refused.
    ProbeControl unbound;
    HWND gone = CreateRecorder();
    DestroyWindow(gone);
    EXPECT_FALSE(unbound.Subclass(nullptr));
    EXPECT_FALSE(unbound.Subclass(gone));
    EXPECT_EQ(nullptr, unbound.Window());
    EXPECT_EQ((WNDPROC)DefWindowProcA, unbound.PreviousProc());
    WindowGuard second{CreateRecorder()};
    EXPECT_FALSE(control.Subclass(second.window));
    EXPECT_EQ(recorder.window, control.Window());
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(second.window));
}

TEST_F(Binding, MapEntriesAreTriedInOrderUntilOneHandles)
{
    HWND self = recorder.window;
    NMHDR click = {self, ID_A, (UINT)NM_CLICK}, doubleClick = {self, ID_A, (UINT)NM_DBLCLK}, fromB = {self, ID_B, (UINT)NM_CLICK};
    const struct {
        UINT message; WPARAM wParam; LPARAM lParam;
        bool firstKeeps, secondKeeps;  // whether the two UM_PROBE entries keep the message
        LRESULT result; const char* trace;  // the answer, and the handlers that ran
        bool control;  // the control's own procedure got the message, as it was sent
    } rows[] = {
        {UM_PROBE, 0, 0, false, true, 2, "first,second", false},
        {UM_PROBE, 5, 6, false, false, RECORDER_ANSWER, "first,second", true},
        {UM_RANGE_FIRST, 0, 0, true, true, (LRESULT)UM_RANGE_FIRST, "range", false},
        // The part's entries run in its place in the map, and what it leaves goes on.
        {UM_RANGE_FIRST + 1, 0, 4, true, true, 5, "part", false},
        {UM_RANGE_LAST, 0, 0, true, true, (LRESULT)UM_RANGE_LAST, "passed,range", false},
        {UM_RANGE_LAST + 1, 0, 0, true, true, RECORDER_ANSWER, "", true},
        {WM_COMMAND, MAKEWPARAM(ID_A, BN_CLICKED), (LPARAM)self, true, true, 3, "clicked", false},
        {WM_COMMAND, MAKEWPARAM(ID_A, BN_DOUBLECLICKED), 0, true, true, BN_DOUBLECLICKED, "command", false},
        {WM_COMMAND, MAKEWPARAM(ID_B, BN_CLICKED), 0, true, true, 0, "", true},
        {WM_NOTIFY, ID_A, (LPARAM)&click, true, true, ID_A, "click", false},
        {WM_NOTIFY, ID_A, (LPARAM)&doubleClick, true, true, 0, "", true},
        {WM_NOTIFY, ID_B, (LPARAM)&fromB, true, true, 0, "", true},
        // A reflected message that is no notification goes to the control.
        {REFLECTED_BASE + WM_PAINT, 0, 0, true, true, RECORDER_ANSWER, "", true},
    };
    for (const auto& row : rows) {
        received.clear();
        control.trace.clear();
        control.firstKeeps = row.firstKeeps;
        control.secondKeeps = row.secondKeeps;
        EXPECT_EQ(row.result, Send(row.message, row.wParam, row.lParam)) << row.message << " " << row.wParam;
        EXPECT_EQ(row.trace, control.trace) << row.message << " " << row.wParam;
        EXPECT_EQ(row.control, Received(self, row.message, row.wParam, row.lParam)) << row.message << " " << row.wParam;
    }
    EXPECT_EQ(self, control.commandControl);
    // A reflected notification that no entry takes gets the platform's default processing.
    HDC dc = GetDC(self);
    LRESULT expected = DefWindowProcA(self, WM_CTLCOLORSTATIC, (WPARAM)dc, 0);
    EXPECT_NE(0, expected);
    EXPECT_EQ(expected, Send(REFLECTED_BASE + WM_CTLCOLORSTATIC, (WPARAM)dc, 0));
    EXPECT_EQ(0, Received(self, REFLECTED_BASE + WM_CTLCOLORSTATIC, (WPARAM)dc, 0));
    ReleaseDC(self, dc);
}

TEST_F(Binding, UnsubclassGivesTheControlBackOnlyFromTheTop)
{
    // Under another object's procedure, nothing changes until the control is destroyed.
    ProbeControl above;
    above.Subclass(recorder.window);
    LONG_PTR aboveTrampoline = TrampolineOf(recorder.window);
    EXPECT_FALSE(control.Unsubclass());
    EXPECT_EQ(aboveTrampoline, TrampolineOf(recorder.window));
    above.firstKeeps = above.secondKeeps = false;
    EXPECT_EQ(42, Send(UM_PROBE, 0, 21)) << "still reaches the object below";
    DestroyWindow(recorder.window);
    EXPECT_EQ(1, Received(recorder.window, WM_NCDESTROY, 0, 0)) << "the control's own procedure got its last message";
    EXPECT_EQ("first,second,ncdestroy while bound,last", above.trace);
    EXPECT_EQ("first,ncdestroy while bound,last", control.trace);
    EXPECT_EQ(nullptr, control.Window());
    EXPECT_EQ((WNDPROC)DefWindowProcA, control.PreviousProc());
    EXPECT_EQ(recorder.window, control.lastWindow);
    // On top: the control's own procedure again, and the object free for another control.
    WindowGuard next{CreateRecorder()};
    ASSERT_TRUE(control.Subclass(next.window));
    EXPECT_TRUE(control.Unsubclass());
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(next.window));
    EXPECT_EQ(nullptr, control.Window());
    EXPECT_FALSE(control.Unsubclass());
    // An object destroyed while bound gives its control back.
    {
        ProbeControl scoped;
        scoped.Subclass(next.window);
    }
    EXPECT_EQ((LONG_PTR)RecorderProc, ProcedureOf(next.window));
}

TEST_F(Binding, HandlerThatUnsubclassesOrDestroysTheControl)
{
    // The message during which the object unsubclasses still reaches the control.
    control.trace.clear();
    control.action = UNSUBCLASS;
    EXPECT_EQ(RECORDER_ANSWER, Send(UM_ACT, 3, 4));
    EXPECT_EQ(1, Received(recorder.window, UM_ACT, 3, 4));
    // Destroyed by a handler: let go when the handler returns.
    ASSERT_TRUE(control.Subclass(recorder.window));
    control.action = DESTROY;
    Send(UM_ACT, 0, 0);
    EXPECT_FALSE(IsWindow(recorder.window));
    EXPECT_EQ("unsubclassed,ncdestroy while bound,destroyed while bound,last", control.trace);
    EXPECT_EQ(nullptr, control.Window());
}

}  // namespace
