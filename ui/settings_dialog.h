// The settings dialog: whether a save escapes ':' in values.
#pragma once

#include "framework/message_map.h"
#include "framework/window_binding.h"

class SettingsDialog : public DialogBinding {
public:
    // escapeColon: the main window's setting cell, or null when it could not be made;
    // the dialog borrows it.
    explicit SettingsDialog(int* escapeColon);

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       DWORD section) override;

private:
    static const MessageMapEntry<SettingsDialog> messageMap[];

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnOk(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, bool& handled);

    int* escapeColon;
};
