// The settings dialog: whether a save escapes ':' in values.
#pragma once

#include "framework/message_map.h"
#include "framework/window_binding.h"

class SettingsDialog : public DialogBinding {
public:
    // escapeColon: the main window's setting cell, or null when it could not be made;
    // the dialog borrows it.
    explicit SettingsDialog(int* escapeColon);

private:
    DECLARE_MESSAGE_MAP(SettingsDialog)

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnOk(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, bool& handled);

    int* escapeColon;
};
