#include "imaging/SvgRendering.h"

#include <stdlib.h>

#include "framework/WinApp.h"
#include "imaging/NanoSvg.h"
#include "support/Files.h"
#include "support/Handles.h"

namespace {

constexpr int PathCapacity = MAX_PATH;
constexpr DWORD WriteChunk = 32767;
// A drawing file larger than this is not one of ours.
constexpr DWORD MaxSvgFileSize = 4 * 1024 * 1024;
// Limits of a rendering: drawings are icons and logos.
constexpr double MaxRenderedSide = 8192.0;

// The file's bytes with a terminating zero, in a malloc block; null on failure.
char* ReadWholeFile(const wchar_t* path) {
    CFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) return nullptr;
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > MaxSvgFileSize) return nullptr;
    char* text = static_cast<char*>(malloc(size + 1));
    if (!text) return nullptr;
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), text + total, size - total, &read, nullptr) || read == 0) {
            free(text);
            return nullptr;
        }
        total += read;
    }
    text[size] = '\0';
    return text;
}

struct CParsedImage {
    NSVGimage* image = nullptr;
    ~CParsedImage() {
        if (image) nsvgDelete(image);
    }
};

struct CRasterizer {
    NSVGrasterizer* rasterizer = nsvgCreateRasterizer();
    ~CRasterizer() {
        if (rasterizer) nsvgDeleteRasterizer(rasterizer);
    }
};

struct CMallocBlock {
    void* data = nullptr;
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

bool ExtractResourceToTempFile(const wchar_t* type, const wchar_t* name, wchar_t* path) {
    if (!type || !name || !path) return false;
    if (!IS_INTRESOURCE(name) && name[0] == L'\0') return false;
    HMODULE module = AfxGetResourceHandle();
    HRSRC resource = FindResourceW(module, name, type);
    if (!resource) return false;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return false;
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(loaded));
    if (!bytes && size != 0) return false;
    path[0] = L'\0';

    const CString tempName = MakeUniqueFileName(L"tmp", L"", L"inst");
    if (tempName.IsEmpty() || tempName.GetLength() >= PathCapacity) return false;
    CFileHandle file(CreateNewFile(tempName));
    if (!file) return false;
    lstrcpynW(path, tempName, PathCapacity);

    for (DWORD offset = 0; offset < size;) {
        const DWORD chunk = (size - offset < WriteChunk) ? size - offset : WriteChunk;
        if (!WriteBytes(file.Get(), bytes + offset, chunk)) {
            // Leave nothing behind in the work folder.
            CloseFile(file.Detach());
            DeleteFileIfPresent(path);
            path[0] = L'\0';
            return false;
        }
        offset += chunk;
    }
    return CloseFile(file.Detach()) != FALSE;
}

PackedBitmap RasterizeSvgFile(const wchar_t* path, double scale) {
    if (!path || !(scale > 0.0) || scale > 64.0) return nullptr;
    CParsedImage parsed;
    {
        char* text = ReadWholeFile(path);
        if (!text) return nullptr;
        parsed.image = nsvgParse(text, "px", 96.0f);
        free(text);
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
    nsvgRasterize(rasterizer.rasterizer, parsed.image, 0, 0, static_cast<float>(scale),
                  static_cast<unsigned char*>(pixels.data), width, height, width * 4);

    CGlobalMemory bitmap(CreatePackedBitmap(width, height, 32));
    if (!bitmap) return nullptr;
    {
        CGlobalLock lock(bitmap.Get());
        if (!lock.Get()) return nullptr;
        auto* header = static_cast<BITMAPINFOHEADER*>(lock.Get());
        CopyPixels(static_cast<const BYTE*>(pixels.data), PackedBitmapPixels(header), width, height);
    }
    return bitmap.Detach();
}

PackedBitmap RenderSvgResource(const wchar_t* name, double scale) {
    wchar_t path[PathCapacity] = L"";
    if (!ExtractResourceToTempFile(L"SVG", name, path)) return nullptr;
    PackedBitmap bitmap = RasterizeSvgFile(path, scale);
    DeleteFileIfPresent(path);
    return bitmap;
}
