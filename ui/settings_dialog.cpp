// The settings dialog and the main window's command that runs it. The setting takes
// effect at the next save; changing it marks nothing modified, and the next load sets
// it again from the file.
#include "ui/settings_dialog.h"

#include "res/resource.h"
#include "ui/main_dialog.h"

const SettingsDialog::MapEntry SettingsDialog::messageMap[] = {
    MapEntry::Message(WM_INITDIALOG, &SettingsDialog::OnInitDialog),
    MapEntry::Command(IDOK, &SettingsDialog::OnOk),
    MapEntry::Command(IDCANCEL, &SettingsDialog::OnCancel),
};
MESSAGE_MAP_HANDLER(SettingsDialog)

SettingsDialog::SettingsDialog(int* escapeColonCell) : escapeColon(escapeColonCell) {}

LRESULT SettingsDialog::OnInitDialog(UINT, WPARAM, LPARAM, bool&)
{
    if (escapeColon != nullptr && *escapeColon != 0) CheckDlgButton(hwnd, IDC_ESCAPE_COLON, BST_CHECKED);
    return FALSE;  // no initial focus from the dialog manager
}

LRESULT SettingsDialog::OnOk(WORD, WORD, HWND, bool&)
{
    // Without a setting cell there is nothing to change.
    if (escapeColon != nullptr) *escapeColon = IsDlgButtonChecked(hwnd, IDC_ESCAPE_COLON) == BST_CHECKED ? 1 : 0;
    EndDialog(hwnd, IDOK);
    return 0;
}

LRESULT SettingsDialog::OnCancel(WORD, WORD, HWND, bool&)
{
    EndDialog(hwnd, IDCANCEL);
    return 0;
}

LRESULT MainDialog::OnSettings(WORD, WORD, HWND, bool&)
{
    CommitOpenEditor();
    SettingsDialog dialog(escapeColon);
    dialog.RunModal(IDD_SETTINGS, hwnd);
    return 0;
}
