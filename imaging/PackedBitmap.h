// Packed bitmaps: one movable global memory block holding a 40-byte
// BITMAPINFOHEADER followed by 32-bit pixels (blue, green, red, alpha, straight
// alpha, bottom row first), and their blending onto a device context.
#pragma once

#include <windows.h>

#include "support/Handles.h"

// The block is owned by whoever receives it and released with GlobalFree;
// code that keeps one holds it in a CPackedBitmap.
using PackedBitmap = HGLOBAL;
using CPackedBitmap = CGlobalMemory;

constexpr int PackedHeaderSize = sizeof(BITMAPINFOHEADER);  // 40

// Row stride of a device-independent bitmap: rows padded to 4 bytes.
inline int DibStride(int width, int bitsPerPixel) { return ((bitsPerPixel * width + 31) / 32) * 4; }

// An all-zero packed bitmap of the given size with the header filled in, or
// null when the size is not positive, too large, the depth is not 24 or 32,
// or the memory can't be had.
PackedBitmap CreatePackedBitmap(int width, int height, int bitsPerPixel);

// Where the pixels of a locked packed bitmap start: behind the header, the
// three colour masks of BI_BITFIELDS or the colour table.
BYTE* PackedBitmapPixels(BITMAPINFOHEADER* header);

// Blends a rectangle of the bitmap onto dc at (x, y). cx/cy: the size drawn,
// 0 for srcCx/srcCy, and 0 there too for the bitmap's own size. srcX, srcY:
// the first column and row, rows counted from the bottom. opacity 0..255
// scales each pixel's alpha; 255 keeps it. Pixels outside the bitmap leave
// the destination as it is. False when nothing could be drawn: the bitmap
// can't be locked, is not 32 bits per pixel, or a transfer fails.
BOOL DrawPackedBitmap(HDC dc, int x, int y, int cx, int cy, PackedBitmap bitmap, int srcX, int srcY, int srcCx,
                      int srcCy, int opacity);

// DrawPackedBitmap's blend made once, for a destination known to be one solid
// colour: drawing it is then a single plain transfer, with no device
// contexts, sections or read-back of the destination per paint, and puts the
// same pixels there as DrawPackedBitmap would over that colour.
class CBlendedBitmap {
public:
    // Blends as DrawPackedBitmap(dc, x, y, cx, cy, bitmap, srcX, srcY, srcCx,
    // srcCy, opacity) would over a destination of `background`. False (and
    // nothing kept) where DrawPackedBitmap would draw nothing.
    bool Blend(PackedBitmap bitmap, COLORREF background, int cx, int cy, int srcX, int srcY, int srcCx, int srcCy,
               int opacity);
    // Puts the blend on dc at (x, y); false without a blend or when the
    // transfer fails.
    BOOL Draw(HDC dc, int x, int y) const;

    bool IsValid() const { return m_bitmap.IsValid(); }

private:
    CBitmapHandle m_bitmap;
    SIZE m_size = {0, 0};
};
