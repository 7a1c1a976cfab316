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
    CPackedBitmap block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block) return nullptr;
    {
        CGlobalLock lock(block.Get());
        auto* header = static_cast<BITMAPINFOHEADER*>(lock.Get());
        if (!header) return nullptr;
        FillHeader(*header, width, height, bitsPerPixel);
    }
    return block.Detach();
}

BYTE* PackedBitmapPixels(BITMAPINFOHEADER* header) {
    BYTE* pixels = reinterpret_cast<BYTE*>(header) + header->biSize;
    if (header->biCompression == BI_BITFIELDS) return pixels + 12;
    return pixels + header->biClrUsed * 4;
}

namespace {

// The pixels of a locked 32-bit packed bitmap, as far as its block really
// holds them.
struct SourcePixels {
    const BYTE* first = nullptr;
    int width = 0;
    int height = 0;
    SIZE_T stride = 0;
};

// Checks the locked header against its block: a malformed header must not
// make the blend read past the end of the block.
bool ReadSource(PackedBitmap bitmap, BITMAPINFOHEADER* header, SourcePixels* source) {
    if (!header || header->biBitCount != 32) return false;
    const int width = header->biWidth;
    const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biSize > 1024 || header->biClrUsed > 256 ||
        width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
        return false;
    const BYTE* first = PackedBitmapPixels(header);
    const SIZE_T stride = static_cast<SIZE_T>(width) * 4;
    const SIZE_T needed = static_cast<SIZE_T>(first - reinterpret_cast<BYTE*>(header)) + stride * height;
    if (GlobalSize(bitmap) < needed) return false;
    source->first = first;
    source->width = width;
    source->height = height;
    source->stride = stride;
    return true;
}

// The size drawn: cx, else srcCx, else the bitmap's width (the same for the
// height); false when it is not a sensible one.
bool ResolveSize(const SourcePixels& source, int cx, int cy, int srcCx, int srcCy, SIZE* size) {
    size->cx = cx ? cx : (srcCx ? srcCx : source.width);
    size->cy = cy ? cy : (srcCy ? srcCy : source.height);
    return size->cx > 0 && size->cy > 0 && size->cx <= MaxSide && size->cy <= MaxSide;
}

// Blends the size.cx x size.cy rectangle of the source that starts at column
// srcX and row srcY (counted from the bottom) over `background` into
// `result`, both 32-bit and bottom-up like the source; they may be the same
// pixels. Each colour is (t * source + (255 - t) * background) / 255 with t
// the source alpha scaled by opacity; pixels outside the source keep the
// background; the spare byte becomes 0.
void BlendOver(const SourcePixels& source, int srcX, int srcY, int opacity, const BYTE* background, BYTE* result,
               SIZE size) {
    if (opacity < 0) opacity = 0;
    if (opacity > 255) opacity = 255;
    const BYTE* backgroundRow = background;
    BYTE* resultRow = result;
    for (int row = 0; row < size.cy; ++row, backgroundRow += size.cx * 4, resultRow += size.cx * 4) {
        const long long sourceRow = static_cast<long long>(srcY) + row;
        const bool rowInside = sourceRow >= 0 && sourceRow < source.height;
        for (int column = 0; column < size.cx; ++column) {
            const BYTE* back = backgroundRow + column * 4;
            BYTE* out = resultRow + column * 4;
            const long long sourceColumn = static_cast<long long>(srcX) + column;
            int t = 0;
            const BYTE* pixel = nullptr;
            if (rowInside && sourceColumn >= 0 && sourceColumn < source.width) {
                pixel = source.first + static_cast<SIZE_T>(sourceRow) * source.stride +
                        static_cast<SIZE_T>(sourceColumn) * 4;
                t = pixel[3];
                if (opacity < 255) t = t * opacity / 255;
            }
            for (int channel = 0; channel < 3; ++channel) {
                const int s = pixel ? pixel[channel] : 0;
                out[channel] = static_cast<BYTE>((t * s + (255 - t) * back[channel]) / 255);
            }
            out[3] = 0;
        }
    }
}

}  // namespace

BOOL DrawPackedBitmap(HDC dc, int x, int y, int cx, int cy, PackedBitmap bitmap, int srcX, int srcY, int srcCx,
                      int srcCy, int opacity) {
    if (!bitmap) return FALSE;
    CGlobalLock lock(bitmap);
    SourcePixels source;
    SIZE size;
    if (!ReadSource(bitmap, static_cast<BITMAPINFOHEADER*>(lock.Get()), &source) ||
        !ResolveSize(source, cx, cy, srcCx, srcCy, &size))
        return FALSE;

    CCreatedDc resultDc(CreateCompatibleDC(dc));
    CCreatedDc backgroundDc(CreateCompatibleDC(dc));
    if (!resultDc || !backgroundDc) return FALSE;
    void* resultBits = nullptr;
    void* backgroundBits = nullptr;
    CBitmapHandle result(CreateSection(resultDc.Get(), size.cx, size.cy, &resultBits));
    CBitmapHandle background(CreateSection(dc, size.cx, size.cy, &backgroundBits));
    if (!result || !background || !resultBits || !backgroundBits) return FALSE;

    {
        CSelectObject selected(backgroundDc.Get(), background.Get());
        if (!StretchBlt(backgroundDc.Get(), 0, 0, size.cx, size.cy, dc, x, y, size.cx, size.cy, SRCCOPY))
            return FALSE;
    }
    GdiFlush();
    BlendOver(source, srcX, srcY, opacity, static_cast<const BYTE*>(backgroundBits), static_cast<BYTE*>(resultBits),
              size);

    CSelectObject selected(resultDc.Get(), result.Get());
    return BitBlt(dc, x, y, size.cx, size.cy, resultDc.Get(), 0, 0, SRCCOPY) ? TRUE : FALSE;
}

bool CBlendedBitmap::Blend(PackedBitmap bitmap, COLORREF background, int cx, int cy, int srcX, int srcY, int srcCx,
                           int srcCy, int opacity) {
    m_bitmap.Reset();
    m_size.cx = m_size.cy = 0;
    if (!bitmap) return false;
    CGlobalLock lock(bitmap);
    SourcePixels source;
    SIZE size;
    if (!ReadSource(bitmap, static_cast<BITMAPINFOHEADER*>(lock.Get()), &source) ||
        !ResolveSize(source, cx, cy, srcCx, srcCy, &size))
        return false;
    void* bits = nullptr;
    CBitmapHandle blended(CreateSection(nullptr, size.cx, size.cy, &bits));
    if (!blended || !bits) return false;
    // The destination as DrawPackedBitmap would read it back: every pixel
    // the one colour (blue, green, red, spare byte).
    const DWORD pixel = static_cast<DWORD>(GetBValue(background)) | static_cast<DWORD>(GetGValue(background)) << 8 |
                        static_cast<DWORD>(GetRValue(background)) << 16;
    DWORD* pixels = static_cast<DWORD*>(bits);
    for (SIZE_T i = 0, n = static_cast<SIZE_T>(size.cx) * size.cy; i < n; ++i) pixels[i] = pixel;
    BlendOver(source, srcX, srcY, opacity, static_cast<const BYTE*>(bits), static_cast<BYTE*>(bits), size);
    m_bitmap = static_cast<CBitmapHandle&&>(blended);
    m_size = size;
    return true;
}

BOOL CBlendedBitmap::Draw(HDC dc, int x, int y) const {
    if (!m_bitmap) return FALSE;
    CCreatedDc memoryDc(CreateCompatibleDC(dc));
    if (!memoryDc) return FALSE;
    CSelectObject selected(memoryDc.Get(), m_bitmap.Get());
    return BitBlt(dc, x, y, m_size.cx, m_size.cy, memoryDc.Get(), 0, 0, SRCCOPY) ? TRUE : FALSE;
}
