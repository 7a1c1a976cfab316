// Pictures of what is on the screen, for tests and tools: an area captured as
// 32-bit pixels (top row first), the same once painting has settled, and a
// BMP file of such pixels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qvtest {

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
