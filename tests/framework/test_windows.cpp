// The recorder window class and the module of the framework tests.
#include "tests/framework/test_windows.h"

#include <vector>

namespace {

const char RECORDER_CLASS[] = "FrameworkRecorder";  // also named in framework_tests.rc

std::vector<WindowMessage> received;

class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitAppModule(GetModuleHandleA(nullptr));
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecorderProc;
        windowClass.hInstance = appModule.instance;
        windowClass.lpszClassName = RECORDER_CLASS;
        ASSERT_NE(0, RegisterClassA(&windowClass));
    }
    void TearDown() override { TermAppModule(); }
};

const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

}  // namespace

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received.push_back({window, message, wParam, lParam});
    if (message >= WM_USER) return RECORDER_ANSWER;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecorder()
{
    return CreateWindowExA(0, RECORDER_CLASS, "", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                           appModule.instance, nullptr);
}

int Received(HWND window, UINT message)
{
    int count = 0;
    for (const WindowMessage& entry : received)
        if (entry.window == window && entry.message == message) ++count;
    return count;
}

const WindowMessage* LastReceived(HWND window, UINT message)
{
    for (size_t i = received.size(); i-- > 0;)
        if (received[i].window == window && received[i].message == message) return &received[i];
    return nullptr;
}

void ForgetReceived()
{
    received.clear();
}

bool IsExecutable(LONG_PTR address)
{
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery((const void*)address, &info, sizeof info) == 0) return false;
    const DWORD EXECUTE = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                          PAGE_EXECUTE_WRITECOPY;
    return info.State == MEM_COMMIT && (info.Protect & EXECUTE) != 0;
}
