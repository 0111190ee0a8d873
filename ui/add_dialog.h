// The Add dialog: a standard property, a group or a property with a name of the user's
// own, added to the card where the item context menu was opened.
#pragma once

#include "card/document.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"

// The caption over an item: IDS_ADD_CAPTION with the dialog's caption and the item's name, cut
// to size bytes and always terminated (the name comes from the file, of any length).
void FormatItemCaption(char* caption, size_t size, const char* current, const char* name);

// presetKind when any standard property may be chosen: a number no kind has.
const PropertyKind NO_PRESET = PROPERTY_NAME_COUNT;

class AddPropertyDialog : public DialogBinding {
public:
    // parentItem: the item the menu was opened over, or TVI_ROOT.
    AddPropertyDialog(CardDocument* document, HTREEITEM parentItem);

private:
    DECLARE_MESSAGE_MAP(AddPropertyDialog)

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnOk(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnGroupChoice(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnStandardChoice(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnOtherChoice(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnListDoubleClick(int id, NMHDR* header, bool& handled);

    void EnableChoice(int radio);
    void SetCaptionForItem();
    void FillPropertyList();
    bool AddGroup();
    bool AddStandardProperty();
    bool AddOtherProperty();
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }

    CardDocument* document;
    HTREEITEM parentItem;
    PropertyKind presetKind;
};
