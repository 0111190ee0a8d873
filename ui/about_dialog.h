// The About box: the program's version and two links (an e-mail address and a web
// address) drawn as hyperlinks that the shell opens.
#pragma once

#include "framework/message_map.h"
#include "framework/window_binding.h"

// A static control that looks and acts like a hyperlink: underlined, blue until a click
// has opened it and dark red after, with the hand cursor over it.
class HyperlinkStatic : public SubclassBinding {
public:
    HyperlinkStatic();
    ~HyperlinkStatic() override;

    bool Visited() const { return visited; }

    DECLARE_MESSAGE_MAP(HyperlinkStatic)

    LRESULT OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnControlColor(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    HFONT MakeLinkFont() const;

    HFONT linkFont;
    HCURSOR linkCursor;
    bool visited;
};

class AboutDialog : public DialogBinding {
    DECLARE_MESSAGE_MAP(AboutDialog)

    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnClose(WORD code, WORD id, HWND control, bool& handled);

    HyperlinkStatic mailLink;
    HyperlinkStatic webLink;
};

// Runs the About box modally over owner.
void ShowAboutBox(HWND owner);

// The program's file version from its version resource, in its four parts.
bool ReadProgramVersion(int parts[4]);
// What the shell is given for a link's text: "mailto:" before an e-mail address, any
// other text as it stands. Returns false when the text does not fit target (size bytes).
bool MakeLinkTarget(const char* text, char* target, size_t size);
// Hands the link's text to the shell; true when the shell accepted it, else false after
// telling the user.
bool OpenLink(HWND link);
