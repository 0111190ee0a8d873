// The Add new parameter(s) dialog: how many of each standard parameter kind to add to a
// property, or one parameter with a name of the user's own. The counts are typed into
// the list's own label editor, moved over the "Number" column.
#pragma once

#include "card/nodes.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"
#include "ui/cell_editor.h"

// The most parameters of one kind that one OK adds.
const unsigned MAX_INSTANCES = 16;

class AddParametersDialog : public DialogBinding {
public:
    AddParametersDialog();
    ~AddParametersDialog() override;

    // The chain OK built, in the order of the list's kinds; null before a successful OK.
    // The dialog object keeps its reference: whoever appends the chain takes one of its own.
    ParameterNode* Result() const { return result; }

private:
    DECLARE_MESSAGE_MAP(AddParametersDialog)

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnOk(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnOtherType(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnBeginCountEdit(int id, NMHDR* header, bool& handled);
    LRESULT OnEndCountEdit(int id, NMHDR* header, bool& handled);
    LRESULT OnCountText(int id, NMHDR* header, bool& handled);
    LRESULT OnSelectionChange(int id, NMHDR* header, bool& handled);
    LRESULT OnDoubleClick(int id, NMHDR* header, bool& handled);
    LRESULT OnSetCount(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    unsigned GetCount(int row) const;
    void SetCount(int row, unsigned count);
    HRESULT BuildCountedChain(ParameterNode** chain) const;
    bool BuildOtherParameter(ParameterNode** chain) const;
    HWND List() const;

    ParameterNode* result;
    // The column whose count is being edited; -1 while no count edit is open.
    int editColumn;
    EditorSubclass countEditor;
};

// Private message of this dialog, posted to itself. wParam: the row; lParam: its new count.
const UINT UM_SETCOUNT = WM_USER + 1;

// A count as typed: leading blanks skipped, digits up to the first other character, 0
// for none. Above MAX_INSTANCES (or too long to hold): false, the count keeps its value.
bool ParseCount(const char* text, unsigned* count);
