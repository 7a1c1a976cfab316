#include "imaging/PackedBitmap.h"

#include "support/Handles.h"

namespace {

// Larger pictures than this are refused rather than allocated.
constexpr int MaxSide = 16384;

void FillHeader(BITMAPINFOHEADER& header, int width, int height, int bitsPerPixel) {
    ZeroMemory(&header, sizeof(header));
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
}

// A 32-bit bottom-up section of W x H pixels made against dc.
HBITMAP CreateSection(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info;
    FillHeader(info.bmiHeader, width, height, 32);
    *bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

PackedBitmap CreatePackedBitmap(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return nullptr;
    if (bitsPerPixel != 32 && bitsPerPixel != 24) return nullptr;
    const SIZE_T size = PackedHeaderSize + static_cast<SIZE_T>(DibStride(width, bitsPerPixel)) * height;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return nullptr;
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    if (!header) {
        GlobalFree(block);
        return nullptr;
    }
    FillHeader(*header, width, height, bitsPerPixel);
    GlobalUnlock(block);
    return block;
}

BYTE* PackedBitmapPixels(BITMAPINFOHEADER* header) {
    BYTE* pixels = reinterpret_cast<BYTE*>(header) + header->biSize;
    if (header->biCompression == BI_BITFIELDS) return pixels + 12;
    return pixels + header->biClrUsed * 4;
}

BOOL DrawPackedBitmap(HDC dc, int x, int y, int cx, int cy, PackedBitmap bitmap, int srcX, int srcY, int srcCx,
                      int srcCy, int opacity) {
    if (!bitmap) return FALSE;
    CGlobalLock lock(bitmap);
    auto* header = static_cast<BITMAPINFOHEADER*>(lock.Get());
    if (!header) return FALSE;
    if (header->biBitCount != 32) return FALSE;

    // The source as far as the block really holds it: a malformed header
    // must not make the blend read past the end of the block.
    const int sourceWidth = header->biWidth;
    const int sourceHeight = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biSize > 1024 || header->biClrUsed > 256 ||
        sourceWidth <= 0 || sourceHeight <= 0 || sourceWidth > MaxSide || sourceHeight > MaxSide)
        return FALSE;
    const BYTE* sourcePixels = PackedBitmapPixels(header);
    const SIZE_T stride = static_cast<SIZE_T>(sourceWidth) * 4;
    const SIZE_T needed = static_cast<SIZE_T>(sourcePixels - reinterpret_cast<BYTE*>(header)) + stride * sourceHeight;
    if (GlobalSize(bitmap) < needed) return FALSE;

    const int width = cx ? cx : (srcCx ? srcCx : sourceWidth);
    const int height = cy ? cy : (srcCy ? srcCy : sourceHeight);
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) return FALSE;
    if (opacity < 0) opacity = 0;
    if (opacity > 255) opacity = 255;

    CCreatedDc resultDc(CreateCompatibleDC(dc));
    CCreatedDc backgroundDc(CreateCompatibleDC(dc));
    if (!resultDc || !backgroundDc) return FALSE;
    void* resultBits = nullptr;
    void* backgroundBits = nullptr;
    CBitmapHandle result(CreateSection(resultDc.Get(), width, height, &resultBits));
    CBitmapHandle background(CreateSection(dc, width, height, &backgroundBits));
    if (!result || !background || !resultBits || !backgroundBits) return FALSE;

    {
        CSelectObject selected(backgroundDc.Get(), background.Get());
        if (!StretchBlt(backgroundDc.Get(), 0, 0, width, height, dc, x, y, width, height, SRCCOPY)) return FALSE;
    }
    GdiFlush();

    // Both sections are bottom-up like the source: row 0 is the bottom row
    // of the area and takes source row srcY.
    const BYTE* backgroundRow = static_cast<const BYTE*>(backgroundBits);
    BYTE* resultRow = static_cast<BYTE*>(resultBits);
    for (int row = 0; row < height; ++row, backgroundRow += width * 4, resultRow += width * 4) {
        const long long sourceRow = static_cast<long long>(srcY) + row;
        const bool rowInside = sourceRow >= 0 && sourceRow < sourceHeight;
        for (int column = 0; column < width; ++column) {
            const BYTE* back = backgroundRow + column * 4;
            BYTE* out = resultRow + column * 4;
            const long long sourceColumn = static_cast<long long>(srcX) + column;
            int t = 0;
            const BYTE* source = nullptr;
            if (rowInside && sourceColumn >= 0 && sourceColumn < sourceWidth) {
                source = sourcePixels + static_cast<SIZE_T>(sourceRow) * stride + static_cast<SIZE_T>(sourceColumn) * 4;
                t = source[3];
                if (opacity < 255) t = t * opacity / 255;
            }
            for (int channel = 0; channel < 3; ++channel) {
                const int s = source ? source[channel] : 0;
                out[channel] = static_cast<BYTE>((t * s + (255 - t) * back[channel]) / 255);
            }
            out[3] = 0;
        }
    }

    CSelectObject selected(resultDc.Get(), result.Get());
    return BitBlt(dc, x, y, width, height, resultDc.Get(), 0, 0, SRCCOPY) ? TRUE : FALSE;
}
