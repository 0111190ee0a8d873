// What the framework tests share: the module, a recorder window class whose procedure
// notes every message it gets, and a fixture that checks no creation record is left.
#pragma once

#include "framework/message_map.h"
#include "framework/window_binding.h"
#include "tests/framework/test_resources.h"

#include <commctrl.h>
#include <gtest/gtest.h>

const UINT UM_PROBE = WM_APP + 1;
const UINT UM_OUTER = WM_APP + 2;
const UINT UM_INNER = WM_APP + 3;
const UINT UM_ACT = WM_APP + 4;

// A recorder answers every message from WM_USER up, reflected ones included, with this.
const LRESULT RECORDER_ANSWER = 0x7E57;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateRecorder();  // hidden and top-level
// How often the recorder's procedure got message for window; the last time (or null).
int Received(HWND window, UINT message);
const WindowMessage* LastReceived(HWND window, UINT message);
void ForgetReceived();
// True when the code at address may run under Data Execution Prevention.
bool IsExecutable(LONG_PTR address);

// Destroys a window at the end of a scope; declared after the object bound to the
// window, it goes first.
struct WindowGuard {
    HWND window;
    ~WindowGuard()
    {
        if (IsWindow(window)) DestroyWindow(window);
    }
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetReceived(); }
    void TearDown() override
    {
        EXPECT_EQ(nullptr, appModule.creationList) << "a creation record was left waiting";
        appModule.creationList = nullptr;  // so that one failure does not spread
    }
};
