// The main window's picture buttons, the About box and help, through the real controls.
#include "res/resource.h"
#include "tests/support/ui_driver.h"
#include "ui/about_dialog.h"
#include "ui/help.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

using ui::DialogAnswers;
using ui::Editor;

// How many pixels of the button's face show the colour.
int CountPixels(HWND button, COLORREF colour)
{
    RECT client = {};
    GetClientRect(button, &client);
    HDC dc = GetDC(button);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            if (GetPixel(dc, x, y) == colour) ++count;
    ReleaseDC(button, dc);
    return count;
}

// Pixels of the picture area (above the caption, inside the edge) in none of colours.
int CountPictureNoise(HWND button, const std::vector<COLORREF>& colours)
{
    RECT client = {};
    GetClientRect(button, &client);
    int inset = 5 * GetSystemMetrics(SM_CXEDGE);
    HDC dc = GetDC(button);
    int noise = 0;
    for (int y = inset; y < client.bottom * 6 / 10; ++y)
        for (int x = inset; x < client.right - inset; ++x) {
            COLORREF pixel = GetPixel(dc, x, y);
            bool known = false;
            for (COLORREF colour : colours) known = known || pixel == colour;
            if (!known) ++noise;
        }
    ReleaseDC(button, dc);
    return noise;
}

TEST(ImageButtonTest, DisabledUndoStillShowsItsEmbossedPictureAfterThousandsOfPaints)
{
    DialogAnswers answers;
    Editor editor;
    HWND undo = editor.Item(IDC_UNDO);
    ASSERT_FALSE(IsWindowEnabled(undo));
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    int before = CountPixels(undo, shadow);
    ASSERT_GT(before, 100) << "the embossed picture is drawn in the shadow colour";
    EXPECT_EQ(0, CountPictureNoise(undo, {GetSysColor(COLOR_BTNFACE), shadow, GetSysColor(COLOR_BTNHIGHLIGHT)}))
        << "two tones on the button face, no colours of the picture";

    // Each paint of a disabled button makes and frees its own bitmaps and contexts. On
    // Windows a bitmap deleted while still selected stays behind, and a few thousand
    // paints exhaust the process's GDI handles; Wine defers such a deletion instead, so
    // here this proves the paint keeps working, not the count of handles.
    for (int i = 0; i < 2000; ++i) RedrawWindow(undo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(before, CountPixels(undo, shadow));
    EXPECT_TRUE(answers.Shown().empty());
}

// A picture stream that notes whether the program itself put it back to its start
// before the decoder read from it. Wine's decoder rewinds by itself and Windows' does
// not, so only who asked for the rewind tells the two cases apart.
class WatchedStream final : public IStream {
public:
    explicit WatchedStream(IStream* watched) : inner(watched), references(1) {}
    bool rewoundByProgram = false;
    bool readBeforeRewind = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IStream || id == IID_ISequentialStream) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --references;
        if (left == 0) {
            inner->Release();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override
    {
        if (!rewoundByProgram) readBeforeRewind = true;
        return inner->Read(buffer, size, read);
    }
    HRESULT STDMETHODCALLTYPE Write(const void* bytes, ULONG size, ULONG* written) override
    {
        return inner->Write(bytes, size, written);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override
    {
        HMODULE caller = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (const char*)__builtin_return_address(0), &caller);
        if (caller == GetModuleHandleA(nullptr) && origin == STREAM_SEEK_SET && move.QuadPart == 0)
            rewoundByProgram = true;
        return inner->Seek(move, origin, position);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override { return inner->SetSize(size); }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override
    {
        return inner->CopyTo(to, size, read, written);
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override { return inner->Commit(flags); }
    HRESULT STDMETHODCALLTYPE Revert() override { return inner->Revert(); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override
    {
        return inner->LockRegion(offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override
    {
        return inner->UnlockRegion(offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override { return inner->Stat(stat, flags); }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override { return inner->Clone(copy); }

private:
    IStream* inner;
    ULONG references;
};

TEST(ImageButtonTest, PictureStreamIsRewoundBeforeEachDecode)
{
    DialogAnswers answers;
    Editor editor;
    ImageButton& openButton = mainDialog->Button(0);
    IStream* original = openButton.ImageStream();
    ASSERT_NE(nullptr, original);
    original->AddRef();
    // Left at its end, as the platform's decoder leaves it after a paint.
    LARGE_INTEGER end = {};
    original->Seek(end, STREAM_SEEK_END, nullptr);
    WatchedStream* watched = new WatchedStream(original);
    openButton.AttachStream(watched);

    RedrawWindow(editor.Item(IDC_OPEN), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(watched->rewoundByProgram);
    EXPECT_FALSE(watched->readBeforeRewind);
}

TEST(HelpTest, HelpFileNameChangesOnlyTheProgramsExtension)
{
    struct Row {
        const wchar_t* program;
        const wchar_t* help;  // null: no help file to look for
    } rows[] = {
        {L"C:\\Program Files\\Oskan\\vcardedit.exe", L"C:\\Program Files\\Oskan\\vcardedit.chm"},
        {L"C:\\tools.v2\\vcardedit.exe", L"C:\\tools.v2\\vcardedit.chm"},
        {L"C:\\tools.v2\\vcardedit", nullptr},
        {L"C:\\a\\b.c.exe", L"C:\\a\\b.c.chm"},
        {L"vcardedit.exe", L"vcardedit.chm"},
    };
    for (const Row& row : rows) {
        wchar_t help[MAX_PATH] = L"";
        bool found = HelpPathFor(row.program, help, MAX_PATH);
        EXPECT_EQ(row.help != nullptr, found) << (const void*)row.program;
        if (row.help != nullptr) {
            EXPECT_STREQ(row.help, help);
        }
    }
    wchar_t small[8] = L"";
    EXPECT_FALSE(HelpPathFor(L"C:\\x.exe", small, 8)) << "no room for the terminator";
    EXPECT_TRUE(HelpPathFor(L"C:\\x.exe", small, 9));
}

bool HelpWindowShown()
{
    return FindWindowA("HH Parent", nullptr) != nullptr;
}

TEST(HelpTest, OpensFromTheHelpButton)
{
    DialogAnswers answers;
    Editor editor;
    editor.ClickButton(IDC_HELP_CONTENTS);
    EXPECT_TRUE(ui::PumpUntil(HelpWindowShown));
    EXPECT_TRUE(answers.Shown().empty());
}

TEST(HelpTest, EveryHelpWindowIsClosedBeforeTheHelpControlIsLetGo)
{
    // A help window without an owner does not go with the main window: shut-down has to
    // close it, or the control's code would be unloaded under a live window.
    DialogAnswers answers;
    Editor editor;
    ShowHelp(nullptr);
    ASSERT_TRUE(ui::PumpUntil(HelpWindowShown));
    CloseHelp();
    ui::Pump(100);
    EXPECT_FALSE(HelpWindowShown());
}

TEST(HelpTest, MissingHelpFileIsReportedOverTheMainWindow)
{
    // As a program copied without its help file.
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string help = std::string(program, strrchr(program, '.')) + ".chm";
    std::string aside = help + ".aside";
    ASSERT_TRUE(MoveFileA(help.c_str(), aside.c_str())) << help;
    DialogAnswers answers;
    answers.MessageBoxAnswer(IDOK);
    {
        Editor editor;
        editor.ClickButton(IDC_HELP_CONTENTS);
        EXPECT_TRUE(editor.IsRunning());
    }
    MoveFileA(aside.c_str(), help.c_str());
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ("Help cannot be loaded - chm file could not be found", answers.Shown()[0].text);
    EXPECT_TRUE(answers.Shown()[0].hasOwner);
}

// What the About box showed, read when it became active; then it is closed with OK.
struct AboutSeen {
    std::string caption, version, mail, web;
};
AboutSeen aboutSeen;
HHOOK aboutHook = nullptr;

LRESULT CALLBACK ReadAndCloseAbout(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = (HWND)wParam;
    if (code == HCBT_ACTIVATE && GetDlgItem(box, IDC_ABOUT_VERSION) != nullptr) {
        char text[256] = "";
        GetWindowTextA(box, text, sizeof text);
        aboutSeen.caption = text;
        GetDlgItemTextA(box, IDC_ABOUT_VERSION, text, sizeof text);
        aboutSeen.version = text;
        GetDlgItemTextA(box, IDC_ABOUT_MAIL, text, sizeof text);
        aboutSeen.mail = text;
        GetDlgItemTextA(box, IDC_ABOUT_WEB, text, sizeof text);
        aboutSeen.web = text;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(aboutHook, code, wParam, lParam);
}

TEST(AboutTest, ShowsTheVersionFromTheProgramsResourceAndItsLinks)
{
    Editor editor;
    aboutSeen = AboutSeen();
    aboutHook = SetWindowsHookExA(WH_CBT, ReadAndCloseAbout, nullptr, GetCurrentThreadId());
    editor.ChooseMenu(ID_HELP_ABOUT);
    UnhookWindowsHookEx(aboutHook);
    EXPECT_EQ("About Oskan Address Book", aboutSeen.caption);
    EXPECT_EQ("Oskan vCard Editor Version 1.0.01", aboutSeen.version);
    EXPECT_NE(std::string::npos, aboutSeen.mail.find('@'));
    EXPECT_EQ(0u, aboutSeen.web.find("https://"));
    EXPECT_TRUE(editor.IsRunning());
}

TEST(AboutTest, AnAddressGoesToTheMailProgramAndAnythingElseAsItStands)
{
    char target[128] = "";
    ASSERT_TRUE(MakeLinkTarget("jane@example.org", target, sizeof target));
    EXPECT_STREQ("mailto:jane@example.org", target);
    ASSERT_TRUE(MakeLinkTarget("https://www.example.org/", target, sizeof target));
    EXPECT_STREQ("https://www.example.org/", target);
    std::string longText(130, 'a');
    EXPECT_FALSE(MakeLinkTarget(longText.c_str(), target, sizeof target));
    EXPECT_STREQ("", target);
}

}  // namespace
