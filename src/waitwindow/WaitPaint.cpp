#include "WaitPaint.h"

#include "../runtime/platform/UniqueHandle.h"
#include "LavaFrames.h"

namespace {

struct MemoryDcTraits {
    using Handle = HDC;
    static HDC Invalid() { return nullptr; }
    static void Close(HDC dc) { ::DeleteDC(dc); }
};

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ object) { ::DeleteObject(object); }
};

RECT ToRect(const PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

constexpr UINT kLabelFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;

bool TextFits(HDC dc, HFONT font, const char* text, const PixelRect& label) {
    RECT rect = {0, 0, label.right - label.left, 0};
    HGDIOBJ old = ::SelectObject(dc, font);
    int height = ::DrawTextA(dc, text, -1, &rect, kLabelFormat | DT_CALCRECT);
    ::SelectObject(dc, old);
    return height > 0 && height <= label.bottom - label.top && rect.right <= label.right - label.left;
}

// The default UI font, made smaller one pixel at a time until the message
// fits its label. Fitted once per label size; the window paints often.
class FittedFont {
public:
    HFONT For(HDC dc, const PixelRect& label) {
        int width = label.right - label.left, height = label.bottom - label.top;
        if (font_.Valid() && width == width_ && height == height_) return static_cast<HFONT>(font_.Get());
        width_ = width;
        height_ = height;
        font_.Reset();
        LOGFONTA base;
        if (!::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base))
            return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        int size = base.lfHeight < 0 ? -base.lfHeight : base.lfHeight;
        for (; size >= kSmallest; --size) {
            LOGFONTA wanted = base;
            wanted.lfHeight = base.lfHeight < 0 ? -size : size;
            wanted.lfWidth = 0;
            font_.Reset(::CreateFontIndirectA(&wanted));
            if (!font_.Valid() || TextFits(dc, static_cast<HFONT>(font_.Get()), kLabels[kPleaseWaitLabel].text, label))
                break;
        }
        return font_.Valid() ? static_cast<HFONT>(font_.Get()) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    }

private:
    static constexpr int kSmallest = 6;  // below this the text is unreadable anyway
    UniqueHandle<GdiObjectTraits> font_;
    int width_ = 0, height_ = 0;
};

void Fill(HDC dc, const PixelRect& area, int stockBrush) {
    RECT rect = ToRect(area);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(stockBrush)));
}

void DrawSurface(HDC dc, const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount]) {
    Fill(dc, layout.client, WHITE_BRUSH);
    for (int i = 0; i < kFrameCount; ++i) {
        const BmpPicture& picture = LavaFrame(i);
        if (!lavaVisible[i] || !picture.bits) continue;
        ::SetDIBitsToDevice(dc, layout.lava[i].left, layout.lava[i].top, picture.width, picture.height, 0, 0, 0,
                            picture.height, picture.bits, reinterpret_cast<const BITMAPINFO*>(picture.info),
                            DIB_RGB_COLORS);
    }
    HGDIOBJ oldFont = ::SelectObject(dc, MessageFont(dc, layout.labels[kPleaseWaitLabel]));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    for (int i = 0; i < kLabelCount; ++i) {
        RECT rect = ToRect(layout.labels[i]);
        ::DrawTextA(dc, kLabels[i].text, -1, &rect, kLabelFormat);
    }
    ::SelectObject(dc, oldFont);
    for (const PixelRect& line : layout.border) Fill(dc, line, BLACK_BRUSH);
}

}  // namespace

HFONT MessageFont(HDC dc, const PixelRect& label) {
    static FittedFont font;
    return font.For(dc, label);
}

WaitLayout ScreenWaitLayout(int dotsPerInch) {
    PictureSize sizes[kFrameCount];
    for (int i = 0; i < kFrameCount; ++i) sizes[i] = {LavaFrame(i).width, LavaFrame(i).height};
    return ComputeWaitLayout(dotsPerInch, sizes);
}

void PaintWaitSurface(HDC target, const WaitLayout& layout, const bool (&lavaVisible)[kFrameCount]) {
    int width = layout.client.right, height = layout.client.bottom;
    UniqueHandle<MemoryDcTraits> buffer(::CreateCompatibleDC(target));
    UniqueHandle<GdiObjectTraits> bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!buffer.Valid() || !bitmap.Valid()) {
        DrawSurface(target, layout, lavaVisible);  // flickers, but shows everything
        return;
    }
    HGDIOBJ oldBitmap = ::SelectObject(buffer.Get(), bitmap.Get());
    DrawSurface(buffer.Get(), layout, lavaVisible);
    ::BitBlt(target, 0, 0, width, height, buffer.Get(), 0, 0, SRCCOPY);
    ::SelectObject(buffer.Get(), oldBitmap);
}
