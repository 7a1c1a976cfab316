// Pictures of what is on the screen, for tests and tools: a 32-bit top-down
// surface to draw on and read back, an area captured as 32-bit pixels (top
// row first), the same once painting has settled, and a BMP file of such
// pixels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qvtest {

// A w x h bitmap of 32-bit pixels, top row first (blue, green, red, unused in
// each DWORD), selected into a memory device context while the surface
// lives. Invalid (no context, no pixels) when it cannot be made.
class TopDownSurface {
public:
    TopDownSurface(int w, int h);
    ~TopDownSurface();
    TopDownSurface(const TopDownSurface&) = delete;
    TopDownSurface& operator=(const TopDownSurface&) = delete;

    bool IsValid() const { return bits_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HDC Dc() const { return dc_; }
    // The pixels, with what was drawn so far flushed to them.
    DWORD* Pixels() const;
    DWORD At(int x, int y) const { return Pixels()[static_cast<size_t>(y) * width_ + x]; }

private:
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP section_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The pixels of a w x h area drawn by `paint` into a 32-bit bitmap, top row
// first (blue, green, red, unused in each DWORD).
std::vector<DWORD> DrawnPixels(int w, int h, const std::function<void(HDC)>& paint);

// The screen area as it is now.
std::vector<DWORD> CaptureScreen(const RECT& area);

// The screen area once two captures in a row agree (and, when asked, show
// more than one colour), or the last capture when that takes too long.
std::vector<DWORD> CaptureSettledScreen(const RECT& area, bool needsDetail = false, DWORD timeoutMs = 5000);

// Writes the pixels as a 24-bit BMP file.
bool SaveBmp(const std::wstring& path, int w, int h, const std::vector<DWORD>& pixels);

}  // namespace qvtest
