#include "bench/ScreenCapture.h"

#include <algorithm>

#include "bench/Driver.h"
#include "bench/TestFiles.h"

namespace qvtest {

TopDownSurface::TopDownSurface(int w, int h) {
    if (w <= 0 || h <= 0) return;
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = w;
    header.bmiHeader.biHeight = -h;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    section_ = dc_ ? CreateDIBSection(dc_, &header, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!section_ || !bits) return;
    previous_ = SelectObject(dc_, section_);
    bits_ = static_cast<DWORD*>(bits);
    width_ = w;
    height_ = h;
}

TopDownSurface::~TopDownSurface() {
    if (previous_) SelectObject(dc_, previous_);
    if (section_) DeleteObject(section_);
    if (dc_) DeleteDC(dc_);
}

DWORD* TopDownSurface::Pixels() const {
    GdiFlush();
    return bits_;
}

std::vector<DWORD> DrawnPixels(int w, int h, const std::function<void(HDC)>& paint) {
    if (w <= 0 || h <= 0) return {};
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
    TopDownSurface surface(w, h);
    if (!surface.IsValid()) return pixels;
    paint(surface.Dc());
    std::copy(surface.Pixels(), surface.Pixels() + pixels.size(), pixels.begin());
    return pixels;
}

std::vector<DWORD> CaptureScreen(const RECT& area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    return DrawnPixels(w, h, [&](HDC memory) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

std::vector<DWORD> CaptureSettledScreen(const RECT& area, bool needsDetail, DWORD timeoutMs) {
    std::vector<DWORD> shown = CaptureScreen(area);
    WaitUntil(
        [&] {
            std::vector<DWORD> again = CaptureScreen(area);
            const bool detailed =
                !needsDetail || std::any_of(again.begin(), again.end(), [&](DWORD p) { return p != again[0]; });
            const bool settled = again == shown && detailed;
            shown = std::move(again);
            return settled;
        },
        timeoutMs);
    return shown;
}

bool SaveBmp(const std::wstring& path, int w, int h, const std::vector<DWORD>& pixels) {
    if (w <= 0 || h <= 0 || pixels.size() != static_cast<size_t>(w) * h) return false;
    // 24 bits, bottom row first: the plainest form, which every reader takes
    // as opaque (some read the spare byte of 32-bit pixels as alpha).
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    std::string rows(stride * h, '\0');
    for (int row = 0; row < h; ++row) {
        char* out = &rows[stride * (h - 1 - row)];
        for (int column = 0; column < w; ++column) {
            const DWORD pixel = pixels[static_cast<size_t>(row) * w + column];
            out[column * 3] = static_cast<char>(pixel & 0xFF);
            out[column * 3 + 1] = static_cast<char>((pixel >> 8) & 0xFF);
            out[column * 3 + 2] = static_cast<char>((pixel >> 16) & 0xFF);
        }
    }
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + rows.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
    bytes += rows;
    return WriteFileBytes(path, bytes);
}

}  // namespace qvtest
