#include "WaitPaint.h"

#include "../runtime/UniqueHandle.h"
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
    HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    for (int i = 0; i < kLabelCount; ++i) {
        RECT rect = ToRect(layout.labels[i]);
        ::DrawTextA(dc, kLabels[i].text, -1, &rect, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    }
    ::SelectObject(dc, oldFont);
    for (const PixelRect& line : layout.border) Fill(dc, line, BLACK_BRUSH);
}

}  // namespace

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
