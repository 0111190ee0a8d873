// The dialog that asks which card of a file to edit: every card by its name, in file
// order, in a list that is made for the keyboard (type a name's first letters, Enter,
// Escape). The list asks for each row's text when it shows the row, so a file of tens
// of thousands of cards opens it at once.
#pragma once

#include "card/card_file.h"
#include "framework/message_map.h"
#include "framework/window_binding.h"

#include <commctrl.h>

class CardPicker : public DialogBinding {
public:
    // cards: the file's cards, borrowed; selected: the row selected at first.
    CardPicker(const CardFile& cards, size_t selected);

    // The index of the chosen card; CHOSE_NONE when the user cancelled, DIALOG_FAILED
    // when the dialog could not be shown (the code left as the thread's last error).
    static const long CHOSE_NONE = -1;
    static const long DIALOG_FAILED = -2;
    long Choose(HWND owner);

private:
    DECLARE_MESSAGE_MAP(CardPicker)

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnOk(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnGetDispInfo(int id, NMHDR* header, bool& handled);
    LRESULT OnFindItem(int id, NMHDR* header, bool& handled);
    LRESULT OnActivate(int id, NMHDR* header, bool& handled);

    // The name a row shows: the card's name, or "Card k" when it has none.
    const char* RowName(size_t index);

    const CardFile& cards;
    size_t selected;
    long chosen;
    char cardFormat[64];
    // The texts the list shows are asked for one at a time and copied at once.
    char text[256];
};
