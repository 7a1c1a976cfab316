#include "bench/ScreenCapture.h"

#include <algorithm>

#include "bench/Driver.h"
#include "bench/TestFiles.h"

namespace qvtest {

std::vector<DWORD> DrawnPixels(int w, int h, const std::function<void(HDC)>& paint) {
    std::vector<DWORD> pixels;
    if (w <= 0 || h <= 0) return pixels;
    pixels.resize(static_cast<size_t>(w) * h);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = w;
    header.bmiHeader.biHeight = -h;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(memory, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section && bits) {
        HGDIOBJ old = SelectObject(memory, section);
        paint(memory);
        GdiFlush();
        std::copy(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + pixels.size(), pixels.begin());
        SelectObject(memory, old);
        DeleteObject(section);
    }
    DeleteDC(memory);
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
