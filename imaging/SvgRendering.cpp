#include "imaging/SvgRendering.h"

#include <stdlib.h>
#include <string.h>

#include "framework/WinApp.h"
#include "imaging/NanoSvg.h"
#include "support/Handles.h"

namespace {

// A drawing resource larger than this is not one of ours.
constexpr DWORD MaxSvgSize = 4 * 1024 * 1024;
// Limits of a rendering: drawings are icons and logos.
constexpr double MaxRenderedSide = 8192.0;

// Scope owners of NanoSVG's parsed image, its rasteriser and a block from
// malloc: each frees what it holds and can't be copied (a copy would free it
// twice).
struct CParsedImage {
    NSVGimage* image = nullptr;
    CParsedImage() = default;
    CParsedImage(const CParsedImage&) = delete;
    CParsedImage& operator=(const CParsedImage&) = delete;
    ~CParsedImage() {
        if (image) nsvgDelete(image);
    }
};

struct CRasterizer {
    NSVGrasterizer* rasterizer = nsvgCreateRasterizer();
    CRasterizer() = default;
    CRasterizer(const CRasterizer&) = delete;
    CRasterizer& operator=(const CRasterizer&) = delete;
    ~CRasterizer() {
        if (rasterizer) nsvgDeleteRasterizer(rasterizer);
    }
};

struct CMallocBlock {
    void* data = nullptr;
    CMallocBlock() = default;
    CMallocBlock(const CMallocBlock&) = delete;
    CMallocBlock& operator=(const CMallocBlock&) = delete;
    ~CMallocBlock() { free(data); }
};

// Copies NanoSVG's top-down RGBA rows into the bitmap's bottom-up BGRA rows.
void CopyPixels(const BYTE* rgba, BYTE* bgra, int width, int height) {
    const SIZE_T stride = static_cast<SIZE_T>(width) * 4;
    for (int row = 0; row < height; ++row) {
        const BYTE* source = rgba + stride * row;
        BYTE* target = bgra + stride * (height - 1 - row);
        for (int column = 0; column < width; ++column, source += 4, target += 4) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
            target[3] = source[3];
        }
    }
}

}  // namespace

PackedBitmap RenderSvgResource(const wchar_t* name, double scale) {
    if (!name || !(scale > 0.0) || scale > 64.0) return nullptr;
    if (!IS_INTRESOURCE(name) && name[0] == L'\0') return nullptr;
    HMODULE module = AfxGetResourceHandle();
    HRSRC resource = FindResourceW(module, name, L"SVG");
    if (!resource) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    if (size > MaxSvgSize) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return nullptr;
    const void* bytes = LockResource(loaded);
    if (!bytes && size != 0) return nullptr;

    CParsedImage parsed;
    {
        // NanoSVG parses a zero-terminated text and writes into it, while the
        // resource is read-only memory and carries no terminator: it parses a
        // heap copy instead.
        CMallocBlock text;
        text.data = malloc(size + 1);
        if (!text.data) return nullptr;
        char* characters = static_cast<char*>(text.data);
        if (size != 0) memcpy(characters, bytes, size);
        characters[size] = '\0';
        CNanoSvgPrecision precision;
        parsed.image = nsvgParse(characters, "px", 96.0f);
    }
    if (!parsed.image) return nullptr;

    // Truncate the drawing's size, then the scaled size. Anything that is not
    // a drawing (no root element, no size, absurd sizes) renders nothing.
    const double drawingWidth = parsed.image->width;
    const double drawingHeight = parsed.image->height;
    if (!(drawingWidth >= 1.0 && drawingWidth <= MaxRenderedSide) ||
        !(drawingHeight >= 1.0 && drawingHeight <= MaxRenderedSide))
        return nullptr;
    const double scaledWidth = static_cast<int>(drawingWidth) * scale;
    const double scaledHeight = static_cast<int>(drawingHeight) * scale;
    if (!(scaledWidth >= 1.0 && scaledWidth <= MaxRenderedSide) ||
        !(scaledHeight >= 1.0 && scaledHeight <= MaxRenderedSide))
        return nullptr;
    const int width = static_cast<int>(scaledWidth);
    const int height = static_cast<int>(scaledHeight);

    CRasterizer rasterizer;
    if (!rasterizer.rasterizer) return nullptr;
    CMallocBlock pixels;
    pixels.data = malloc(static_cast<size_t>(width) * height * 4);
    if (!pixels.data) return nullptr;
    {
        CNanoSvgPrecision precision;
        nsvgRasterize(rasterizer.rasterizer, parsed.image, 0, 0, static_cast<float>(scale),
                      static_cast<unsigned char*>(pixels.data), width, height, width * 4);
    }

    CPackedBitmap bitmap(CreatePackedBitmap(width, height, 32));
    if (!bitmap) return nullptr;
    {
        CGlobalLock lock(bitmap.Get());
        if (!lock.Get()) return nullptr;
        auto* header = static_cast<BITMAPINFOHEADER*>(lock.Get());
        CopyPixels(static_cast<const BYTE*>(pixels.data), PackedBitmapPixels(header), width, height);
    }
    return bitmap.Detach();
}
