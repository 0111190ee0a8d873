// Owner-drawn picture buttons. The picture is decoded from its stream at every paint, so
// no decoded picture outlives a paint.
#include "ui/image_button.h"

#include "card/platform.h"
#include "framework/app_module.h"

#include <gdiplus.h>

using namespace Gdiplus::DllExports;

namespace {

// One GDI+ picture decoded from a stream, disposed with the object.
class GdiplusImage {
public:
    explicit GdiplusImage(IStream* stream) : image(nullptr)
    {
        // Rewound before every decode: the platform's decoder leaves the stream at its
        // end, and a second paint would otherwise find nothing to read.
        LARGE_INTEGER start = {};
        if (stream != nullptr && SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)))
            GdipLoadImageFromStream(stream, &image);
    }
    ~GdiplusImage()
    {
        if (image != nullptr) GdipDisposeImage(image);
    }
    GdiplusImage(const GdiplusImage&) = delete;
    GdiplusImage& operator=(const GdiplusImage&) = delete;

    Gdiplus::GpImage* Get() const { return image; }

private:
    Gdiplus::GpImage* image;
};

// A memory device context with one bitmap selected into it; on destruction the original
// bitmap goes back in before the context is deleted, so the bitmap is free to delete.
class SelectedBitmap {
public:
    SelectedBitmap(HDC compatible, HBITMAP bitmap) : dc(CreateCompatibleDC(compatible)), original(nullptr)
    {
        if (dc != nullptr && bitmap != nullptr) original = SelectObject(dc, bitmap);
    }
    ~SelectedBitmap()
    {
        if (dc == nullptr) return;
        if (original != nullptr) SelectObject(dc, original);
        DeleteDC(dc);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;

    bool Ready() const { return dc != nullptr && original != nullptr; }
    HDC Dc() const { return dc; }

private:
    HDC dc;
    HGDIOBJ original;
};

// The picture as a monochrome mask of width x height: 1 where it is light (and where it
// is transparent, since it was drawn on the button face), 0 where it is dark. The emboss
// needs two tones; a colour source would let every colour through as noise.
HBITMAP MakeMonochromeMask(HDC dc, HBITMAP bitmap, int width, int height)
{
    BITMAP info = {};
    if (GetObjectA(bitmap, sizeof info, &info) == 0) return nullptr;

    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;  // top-down rows
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP scaled = CreateDIBSection(dc, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (scaled == nullptr) return nullptr;
    {
        SelectedBitmap source(dc, bitmap);
        SelectedBitmap target(dc, scaled);
        if (!source.Ready() || !target.Ready()) {
            DeleteObject(scaled);
            return nullptr;
        }
        SetStretchBltMode(target.Dc(), HALFTONE);
        StretchBlt(target.Dc(), 0, 0, width, height, source.Dc(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    GdiFlush();

    int stride = ((width + 15) / 16) * 2;  // monochrome rows are whole 16-bit words
    BYTE* maskBits = (BYTE*)calloc((size_t)stride * (size_t)height, 1);
    if (maskBits == nullptr) {
        DeleteObject(scaled);
        return nullptr;
    }
    const DWORD* pixels = (const DWORD*)bits;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            DWORD pixel = pixels[(size_t)y * (size_t)width + (size_t)x];
            int luminance = (int)(((pixel >> 16) & 0xFF) * 30 + ((pixel >> 8) & 0xFF) * 59 + (pixel & 0xFF) * 11) / 100;
            if (luminance >= 160) maskBits[(size_t)y * (size_t)stride + (size_t)(x / 8)] |= (BYTE)(0x80 >> (x % 8));
        }
    }
    HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits);
    free(maskBits);
    DeleteObject(scaled);
    return mask;
}

// The raster operation ((destination XOR brush) AND source) XOR brush: where the source
// is white the destination stays, where it is black the brush is painted.
const DWORD ROP_PAINT_BRUSH_WHERE_SOURCE_BLACK = 0xB8074A;

}  // namespace

HRESULT DrawEmbossedBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0) return S_OK;
    HBITMAP mask = MakeMonochromeMask(dc, bitmap, width, height);
    if (mask == nullptr) return FailureFromLastError();
    {
        SelectedBitmap source(dc, mask);
        if (!source.Ready()) {
            DeleteObject(mask);
            return FailureFromLastError();
        }
        // A monochrome source turns into the destination's text colour (0 bits) and
        // background colour (1 bits): black and white for the operation to work, whatever
        // colours the caption left behind.
        COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        BitBlt(dc, x + 1, y + 1, width, height, source.Dc(), 0, 0, ROP_PAINT_BRUSH_WHERE_SOURCE_BLACK);
        SelectObject(dc, GetSysColorBrush(COLOR_BTNSHADOW));
        BitBlt(dc, x, y, width, height, source.Dc(), 0, 0, ROP_PAINT_BRUSH_WHERE_SOURCE_BLACK);
        SelectObject(dc, oldBrush);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
    }
    DeleteObject(mask);
    return S_OK;
}

ImageButton::ImageButton() : imageStream(nullptr) {}

ImageButton::~ImageButton()
{
    AttachStream(nullptr);
}

void ImageButton::AttachStream(IStream* stream)
{
    if (imageStream != nullptr) imageStream->Release();
    imageStream = stream;
}

HRESULT ImageButton::LoadPngStream(int resourceId)
{
    HRSRC found = FindResourceA(appModule.instance, MAKEINTRESOURCEA(resourceId), "PNG");
    if (found == nullptr) return FailureFromLastError();
    DWORD size = SizeofResource(appModule.instance, found);
    if (size == 0) return FailureFromLastError();

    IStream* stream = nullptr;
    HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(result)) return result;
    HGLOBAL loaded = LoadResource(appModule.instance, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (loaded == nullptr)
        result = FailureFromLastError();
    else if (bytes == nullptr)
        result = E_FAIL;
    else
        result = stream->Write(bytes, size, nullptr);
    if (FAILED(result)) {
        stream->Release();
        return result;
    }
    AttachStream(stream);
    return S_OK;
}

const ImageButton::MapEntry ImageButton::messageMap[] = {
    MapEntry::Message(REFLECTED_BASE + WM_DRAWITEM, &ImageButton::OnDrawItem),
    MapEntry::ReflectedDefault(),
};
MESSAGE_MAP_HANDLER(ImageButton)

LRESULT ImageButton::OnDrawItem(UINT, WPARAM, LPARAM lParam, bool&)
{
    DrawButton(*(const DRAWITEMSTRUCT*)lParam);
    return 0;
}

void ImageButton::DrawButton(const DRAWITEMSTRUCT& draw)
{
    HDC dc = draw.hDC;
    const RECT& item = draw.rcItem;
    bool pressed = (draw.itemState & ODS_SELECTED) != 0;
    bool disabled = (draw.itemState & ODS_DISABLED) != 0;
    int edge = GetSystemMetrics(SM_CXEDGE);
    int frameX = GetSystemMetrics(SM_CXFRAME) / 2;
    int frameY = GetSystemMetrics(SM_CYFRAME) / 2;

    wchar_t caption[64] = L"";
    char ansiCaption[64] = "";
    if (GetWindowTextA(draw.hwndItem, ansiCaption, (int)sizeof ansiCaption) > 0)
        MultiByteToWideChar(CP_ACP, 0, ansiCaption, -1, caption, (int)(sizeof caption / sizeof caption[0]));

    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &item, nullptr, 0, nullptr);
    SetBkColor(dc, oldBack);

    RECT frame = {item.left + 3 * edge, item.top + 3 * edge, item.right - edge, item.bottom - edge};
    // A released button shows caption and picture raised: up and to the left.
    int shift = pressed ? 0 : -edge;
    RECT picture = {frame.left + frameX, frame.top + edge, frame.right - frameX, frame.bottom - frameY};
    if (caption[0] != L'\0') {
        int split = 4 * (frame.bottom - frame.top) / 5;
        RECT text = frame;
        text.top = split;
        picture.bottom = split;
        OffsetRect(&text, shift, shift);
        int oldMode = SetBkMode(dc, TRANSPARENT);
        COLORREF oldText = SetTextColor(dc, GetSysColor(disabled ? COLOR_ACTIVEBORDER : COLOR_BTNTEXT));
        DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        SetTextColor(dc, oldText);
        SetBkMode(dc, oldMode);
    }
    OffsetRect(&picture, shift, shift);
    InflateRect(&picture, -2 * edge, -2 * edge);
    DrawPicture(dc, picture, !disabled);

    DrawEdge(dc, &frame, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (draw.itemState & ODS_FOCUS) {
        RECT focus = frame;
        InflateRect(&focus, -frameX, -frameY);
        DrawFocusRect(dc, &focus);
    }
}

void ImageButton::DrawPicture(HDC dc, const RECT& area, bool enabled)
{
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    GdiplusImage image(imageStream);
    if (image.Get() == nullptr) return;
    if (enabled) {
        Gdiplus::GpGraphics* graphics = nullptr;
        if (GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return;
        GdipDrawImageRectI(graphics, image.Get(), area.left, area.top, width, height);
        GdipDeleteGraphics(graphics);
        return;
    }
    HBITMAP bitmap = nullptr;
    Gdiplus::ARGB face = 0xFF000000u | ((Gdiplus::ARGB)GetRValue(GetSysColor(COLOR_BTNFACE)) << 16) |
                         ((Gdiplus::ARGB)GetGValue(GetSysColor(COLOR_BTNFACE)) << 8) |
                         GetBValue(GetSysColor(COLOR_BTNFACE));
    if (GdipCreateHBITMAPFromBitmap((Gdiplus::GpBitmap*)image.Get(), &bitmap, face) != Gdiplus::Ok) return;
    DrawEmbossedBitmap(dc, bitmap, area.left, area.top, width, height);
    DeleteObject(bitmap);
}
