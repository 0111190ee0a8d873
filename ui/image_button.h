// The main window's command buttons: owner-drawn push buttons that show a PNG picture
// above their caption, drawn embossed in two tones while the button is disabled.
#pragma once

#include "framework/message_map.h"
#include "framework/window_binding.h"

#include <objidl.h>

class ImageButton : public SubclassBinding {
public:
    ImageButton();
    ~ImageButton() override;

    // Copies PNG resource resourceId of the program into the button's picture stream.
    HRESULT LoadPngStream(int resourceId);
    // Takes over one reference to stream as the button's picture, releasing the one it had.
    void AttachStream(IStream* stream);
    IStream* ImageStream() const { return imageStream; }

    DECLARE_MESSAGE_MAP(ImageButton)

    LRESULT OnDrawItem(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void DrawButton(const DRAWITEMSTRUCT& draw);
    void DrawPicture(HDC dc, const RECT& area, bool enabled);

    IStream* imageStream;
};

// Draws bitmap into dc at (x, y) scaled to width x height in two tones: its dark parts in
// the shadow colour with the highlight colour one pixel below and to the right, as the
// platform draws disabled pictures. Every GDI object it makes is gone when it returns.
HRESULT DrawEmbossedBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);
