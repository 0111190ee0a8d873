// The main window's views of the card: the tree's and the lists' texts, the right-hand
// side of the selected property (its parameters, and its value in one edit or a list of
// components), the value edit and the ">" menu of predefined values.
#pragma once

#include "card/nodes.h"
#include "framework/message_map.h"

#include <commctrl.h>

class MainDialog;

class PropertyView : public MessageMapPart {
    DECLARE_MESSAGE_MAP(PropertyView)

public:
    explicit PropertyView(MainDialog& dialog);
    PropertyView(const PropertyView&) = delete;
    PropertyView& operator=(const PropertyView&) = delete;

    // The tree's images and the lists' columns, once the window is there.
    void SetUpViews();
    // The window is going: the tree's images go with it.
    void ReleaseViews();
    // The images of the property tree, for a tree made to stand in for it.
    HIMAGELIST TreeImages() const { return treeImages; }

    // Rebuilds the right-hand side for node; null means the node of the selected item.
    void RefreshPropertyView(CardNode* node);
    // The property of the selected item; null for a group, or when there is no card.
    PropertyNode* SelectedProperty() const;
    // After a change to the card: Undo is enabled while the card differs from its file.
    void UpdateUndoButton();
    void EnableUndoButton(bool enable);

private:
    LRESULT OnTreeGetDispInfo(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeSelChanged(int id, NMHDR* header, bool& handled);
    LRESULT OnTreeDeleteItem(int id, NMHDR* header, bool& handled);
    LRESULT OnListGetDispInfo(int id, NMHDR* header, bool& handled);
    LRESULT OnValueChange(WORD code, WORD id, HWND control, bool& handled);
    LRESULT OnPredefinedValues(WORD code, WORD id, HWND control, bool& handled);

    void ShowValueInEdit(const char* value);
    void ShowSingleValue(const PropertyNode* property);
    void EnablePropertyControls(bool enable);
    HWND Item(int id) const;

    MainDialog& dialog;
    HIMAGELIST treeImages;
    // True while the program itself puts text into the value edit: that text is never
    // stored into the card as if the user had typed it.
    bool fillingValueEdit;
};

// Line breaks as the card holds them (LF) and as an edit control shows them (CR LF).
// The caller frees the result; null when memory runs out.
// Which line breaks a value holds: LF, or the CR LF of a 2.1 card's quoted-printable
// text as phones and Outlook write it, which an edit keeps.
enum class LineBreaks { Lf, CrLf };
char* TextFromEditLines(const char* text, LineBreaks breaks = LineBreaks::Lf);
char* EditLinesFromText(const char* text);
