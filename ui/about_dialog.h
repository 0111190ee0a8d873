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

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       DWORD section) override;
    bool Visited() const { return visited; }

private:
    LRESULT OnControlColor(HDC dc);
    HFONT MakeLinkFont() const;

    HFONT linkFont;
    HCURSOR linkCursor;
    bool visited;
};

class AboutDialog : public DialogBinding {
public:
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                       DWORD section) override;

private:
    static const MessageMapEntry<AboutDialog> messageMap[];
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
