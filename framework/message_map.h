// Message maps: a window class lists (message, control id, notification code) entries
// with one short handler each; the entries are tested in order and the first one whose
// handler leaves the message handled ends the dispatch. The class declares its map with
// DECLARE_MESSAGE_MAP; its source defines the map and lets MESSAGE_MAP_HANDLER write the
// HandleMessage that runs it:
//
//     class AboutDialog : public DialogBinding {
//         DECLARE_MESSAGE_MAP(AboutDialog)
//         ...
//     };
//
//     const AboutDialog::MapEntry AboutDialog::messageMap[] = {
//         MapEntry::Message(WM_INITDIALOG, &AboutDialog::OnInitDialog),
//         MapEntry::Command(IDOK, BN_CLICKED, &AboutDialog::OnOk),
//         MapEntry::Reflect(),
//     };
//     MESSAGE_MAP_HANDLER(AboutDialog)
//
// A window with many handlers keeps groups of them in parts of their own (MessageMapPart,
// with a map declared and defined the same way), and its map chains to each part where
// the part's entries belong in its order:
//
//         MapEntry::Chain<FileCommands, &MainDialog::files>(),
#pragma once

#include <windows.h>

#include <stddef.h>

// A notification reflected to the control it concerns arrives with this added to its
// number (the platform's OCM__BASE): WM_COMMAND comes as REFLECTED_BASE + WM_COMMAND.
const UINT REFLECTED_BASE = 0x2000;

// For a parent's map, after its own entries: sends a notification to the child control
// it concerns as REFLECTED_BASE + message, and answers with the child's answer. False
// when the message concerns no child of parent (a menu command or a menu draw, say).
bool ReflectToChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// For a control's map, after its own entries: a reflected notification that the control
// does not take gets the platform's default processing of the plain message. False for
// any other message.
bool HandleReflectedDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Whether a dialog procedure returns the answer to message itself (WM_INITDIALOG,
// WM_CTLCOLOR*, ...) rather than in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message);

// A group of a window's handlers in a class of its own, which the window owns: its map
// runs where the window's map chains to it (MessageMapEntry::Chain).
class MessageMapPart {
public:
    virtual ~MessageMapPart() = default;
    virtual bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
};

// One entry of the map of window class T. Handlers start with handled set to true and
// clear it to let the following entries see the message.
template <class T>
class MessageMapEntry {
public:
    typedef LRESULT (T::*MessageHandler)(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    typedef LRESULT (T::*CommandHandler)(WORD code, WORD id, HWND control, bool& handled);
    typedef LRESULT (T::*NotifyHandler)(int id, NMHDR* header, bool& handled);
    typedef bool (*ChainHandler)(T& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    static constexpr MessageMapEntry Message(UINT message, MessageHandler handler)
    {
        return MessageMapEntry(MESSAGE, message, message, 0, 0, false, handler, nullptr, nullptr, nullptr);
    }
    // Every message from first to last, both included.
    static constexpr MessageMapEntry Range(UINT first, UINT last, MessageHandler handler)
    {
        return MessageMapEntry(MESSAGE, first, last, 0, 0, false, handler, nullptr, nullptr, nullptr);
    }
    // WM_COMMAND from control (or menu item) id with notification code.
    static constexpr MessageMapEntry Command(WORD id, WORD code, CommandHandler handler)
    {
        return MessageMapEntry(COMMAND, WM_COMMAND, WM_COMMAND, id, code, false, nullptr, handler, nullptr, nullptr);
    }
    // WM_COMMAND from id with any notification code.
    static constexpr MessageMapEntry Command(WORD id, CommandHandler handler)
    {
        return MessageMapEntry(COMMAND, WM_COMMAND, WM_COMMAND, id, 0, true, nullptr, handler, nullptr, nullptr);
    }
    // WM_NOTIFY from the control whose idFrom is id, with notification code.
    static constexpr MessageMapEntry Notify(int id, UINT code, NotifyHandler handler)
    {
        return MessageMapEntry(NOTIFY, WM_NOTIFY, WM_NOTIFY, (UINT)id, code, false, nullptr, nullptr, handler, nullptr);
    }
    // The map of the part that member of T holds, run in this entry's place.
    template <class Part, Part T::*member>
    static constexpr MessageMapEntry Chain()
    {
        return MessageMapEntry(CHAIN, 0, 0, 0, 0, false, nullptr, nullptr, nullptr, &RunPart<Part, member>);
    }
    // ReflectToChild; goes last in the map of a parent that reflects.
    static constexpr MessageMapEntry Reflect()
    {
        return MessageMapEntry(REFLECT, 0, 0, 0, 0, false, nullptr, nullptr, nullptr, nullptr);
    }
    // HandleReflectedDefault; goes last in the map of a control that takes reflections.
    static constexpr MessageMapEntry ReflectedDefault()
    {
        return MessageMapEntry(REFLECTED_DEFAULT, 0, 0, 0, 0, false, nullptr, nullptr, nullptr, nullptr);
    }

    bool Handle(T& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const
    {
        bool handled = true;
        LRESULT answer = 0;
        switch (kind) {
        case MESSAGE:
            if (message < first || message > last) return false;
            answer = (object.*onMessage)(message, wParam, lParam, handled);
            break;
        case COMMAND:
            if (message != WM_COMMAND || LOWORD(wParam) != id) return false;
            if (!anyCode && HIWORD(wParam) != code) return false;
            answer = (object.*onCommand)(HIWORD(wParam), LOWORD(wParam), (HWND)lParam, handled);
            break;
        case NOTIFY: {
            if (message != WM_NOTIFY || lParam == 0) return false;
            NMHDR* header = (NMHDR*)lParam;
            if (header->idFrom != id || header->code != code) return false;
            answer = (object.*onNotify)((int)header->idFrom, header, handled);
            break;
        }
        case CHAIN: return onChain(object, window, message, wParam, lParam, result);
        case REFLECT: return ReflectToChild(window, message, wParam, lParam, result);
        case REFLECTED_DEFAULT: return HandleReflectedDefault(window, message, wParam, lParam, result);
        }
        if (handled) result = answer;
        return handled;
    }

private:
    enum Kind { MESSAGE, COMMAND, NOTIFY, CHAIN, REFLECT, REFLECTED_DEFAULT };

    constexpr MessageMapEntry(Kind kind_, UINT first_, UINT last_, UINT id_, UINT code_, bool anyCode_,
                              MessageHandler onMessage_, CommandHandler onCommand_, NotifyHandler onNotify_,
                              ChainHandler onChain_)
        : kind(kind_), first(first_), last(last_), id(id_), code(code_), anyCode(anyCode_), onMessage(onMessage_),
          onCommand(onCommand_), onNotify(onNotify_), onChain(onChain_)
    {}

    template <class Part, Part T::*member>
    static bool RunPart(T& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        MessageMapPart& part = object.*member;
        return part.HandleMessage(window, message, wParam, lParam, result);
    }

    Kind kind;
    UINT first;  // the messages of a MESSAGE entry
    UINT last;
    UINT id;    // the control of a COMMAND or NOTIFY entry
    UINT code;  // its notification code, unless anyCode
    bool anyCode;
    MessageHandler onMessage;
    CommandHandler onCommand;
    NotifyHandler onNotify;
    ChainHandler onChain;
};

// Runs a map for object's HandleMessage: true when an entry handled the message.
template <class T, size_t N>
bool RunMessageMap(T& object, const MessageMapEntry<T> (&map)[N], HWND window, UINT message, WPARAM wParam,
                   LPARAM lParam, LRESULT& result)
{
    for (const MessageMapEntry<T>& entry : map) {
        if (entry.Handle(object, window, message, wParam, lParam, result)) return true;
    }
    return false;
}

// In the class: the map and the HandleMessage that runs it. MapEntry names the class's
// entries, in the map as in the class.
#define DECLARE_MESSAGE_MAP(T)                                                                                         \
public:                                                                                                                \
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;             \
                                                                                                                       \
private:                                                                                                               \
    typedef MessageMapEntry<T> MapEntry;                                                                               \
    static const MapEntry messageMap[];

// In the class's source, after its map: the HandleMessage that runs it.
#define MESSAGE_MAP_HANDLER(T)                                                                                         \
    bool T::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& mapResult)                 \
    {                                                                                                                  \
        return RunMessageMap(*this, messageMap, window, message, wParam, lParam, mapResult);                           \
    }
