// Blending packed bitmaps onto a real device context: a memory context with a
// 32-bit section whose pixels the test reads back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "bench/ScreenCapture.h"
#include "imaging/PackedBitmap.h"

namespace {

struct Bgra {
    BYTE b, g, r, a;
};

// The bench's 32-bit top-down surface, filled with one colour and read back
// pixel by pixel.
class Surface : public qvtest::TopDownSurface {
public:
    Surface(int width, int height, Bgra fill) : TopDownSurface(width, height) {
        DWORD* pixels = Pixels();
        for (int i = 0; pixels && i < width * height; ++i) memcpy(&pixels[i], &fill, sizeof(fill));
    }
    Bgra At(int x, int y) const {
        const DWORD pixel = TopDownSurface::At(x, y);
        Bgra colour;
        memcpy(&colour, &pixel, sizeof(colour));
        return colour;
    }
};

// A packed bitmap whose stored rows (bottom first) are given.
HGLOBAL MakePacked(int width, int height, const std::initializer_list<Bgra>& storedPixels) {
    HGLOBAL block = CreatePackedBitmap(width, height, 32);
    if (!block) return nullptr;
    BYTE* data = static_cast<BYTE*>(GlobalLock(block));
    Bgra* pixels = reinterpret_cast<Bgra*>(data + 40);
    int i = 0;
    for (const Bgra& p : storedPixels) pixels[i++] = p;
    GlobalUnlock(block);
    return block;
}

const Bgra Back = {200, 150, 100, 0};

void ExpectColour(const Bgra& actual, int b, int g, int r, const char* what) {
    EXPECT_EQ(actual.b, b) << what;
    EXPECT_EQ(actual.g, g) << what;
    EXPECT_EQ(actual.r, r) << what;
}

TEST(PackedBitmapTest, CreateMakesAZeroedBlockWithTheHeader) {
    HGLOBAL block = CreatePackedBitmap(5, 3, 32);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(GlobalSize(block), 40u + 5 * 3 * 4);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 5);
    EXPECT_EQ(header->biHeight, 3);
    EXPECT_EQ(header->biPlanes, 1);
    EXPECT_EQ(header->biBitCount, 32);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header->biSizeImage, 0u);
    EXPECT_EQ(header->biClrUsed, 0u);
    int nonZero = 0;
    for (size_t i = 40; i < GlobalSize(block); ++i) nonZero += data[i] != 0;
    EXPECT_EQ(nonZero, 0);
    GlobalUnlock(block);
    GlobalFree(block);

    for (auto size : {std::pair<int, int>{0, 4}, {4, 0}, {-1, 4}, {100000, 100000}})
        EXPECT_EQ(CreatePackedBitmap(size.first, size.second, 32), nullptr);
    EXPECT_EQ(CreatePackedBitmap(4, 4, 7), nullptr);
}

TEST(PackedBitmapTest, BlendsEachPixelByItsAlpha) {
    Surface surface(8, 4, Back);
    // Stored bottom row first: one row of four pixels.
    HGLOBAL block = MakePacked(4, 1,
                               {{0, 0, 255, 0},       // transparent red
                                {10, 20, 30, 255},    // opaque
                                {0, 0, 0, 128},       // half black
                                {255, 255, 255, 64}});  // quarter white
    ASSERT_NE(block, nullptr);
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 2, 1, 0, 0, block, 0, 0, 0, 0, 255));
    ExpectColour(surface.At(2, 1), 200, 150, 100, "transparent keeps");
    ExpectColour(surface.At(3, 1), 10, 20, 30, "alpha 255 replaces");
    ExpectColour(surface.At(4, 1), 127 * 200 / 255, 127 * 150 / 255, 127 * 100 / 255, "alpha 128");
    ExpectColour(surface.At(5, 1), (64 * 255 + 191 * 200) / 255, (64 * 255 + 191 * 150) / 255,
                 (64 * 255 + 191 * 100) / 255, "alpha 64");
    ExpectColour(surface.At(1, 1), 200, 150, 100, "left of the picture");
    ExpectColour(surface.At(6, 1), 200, 150, 100, "right of the picture");
    ExpectColour(surface.At(3, 0), 200, 150, 100, "above the picture");
    ExpectColour(surface.At(3, 2), 200, 150, 100, "below the picture");
    GlobalFree(block);
}

TEST(PackedBitmapTest, OpacityScalesTheAlpha) {
    Surface surface(4, 1, Back);
    HGLOBAL block = MakePacked(2, 1, {{10, 20, 30, 255}, {0, 0, 0, 0}});
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, block, 0, 0, 0, 0, 128));
    // t = 255 * 128 / 255 = 128
    ExpectColour(surface.At(0, 0), (128 * 10 + 127 * 200) / 255, (128 * 20 + 127 * 150) / 255,
                 (128 * 30 + 127 * 100) / 255, "opacity 128");
    ExpectColour(surface.At(1, 0), 200, 150, 100, "transparent stays transparent");
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 2, 0, 0, 0, block, 0, 0, 0, 0, 0));
    ExpectColour(surface.At(2, 0), 200, 150, 100, "opacity 0 draws nothing");
    GlobalFree(block);
}

TEST(PackedBitmapTest, RowsAreStoredBottomFirstAndSourceRowsCountFromTheBottom) {
    Surface surface(2, 3, Back);
    const Bgra bottom = {255, 0, 0, 255}, middle = {0, 255, 0, 255}, top = {0, 0, 255, 255};
    HGLOBAL block = MakePacked(1, 3, {bottom, middle, top});
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, block, 0, 0, 0, 0, 255));
    ExpectColour(surface.At(0, 0), 0, 0, 255, "top row on top");
    ExpectColour(surface.At(0, 1), 0, 255, 0, "middle");
    ExpectColour(surface.At(0, 2), 255, 0, 0, "bottom row at the bottom");
    // One row from source row 1 (the middle one, counted from the bottom).
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 1, 0, 1, 1, block, 0, 1, 1, 1, 255));
    ExpectColour(surface.At(1, 0), 0, 255, 0, "source row 1");
    ExpectColour(surface.At(1, 1), 200, 150, 100, "nothing more");
    GlobalFree(block);
}

TEST(PackedBitmapTest, SizesFallBackToTheSourceSizeThenTheBitmap) {
    HGLOBAL block = MakePacked(3, 2, {{1, 2, 3, 255}, {1, 2, 3, 255}, {1, 2, 3, 255},
                                      {1, 2, 3, 255}, {1, 2, 3, 255}, {1, 2, 3, 255}});
    {
        Surface surface(5, 4, Back);
        ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, block, 0, 0, 0, 0, 255));
        ExpectColour(surface.At(2, 1), 1, 2, 3, "whole bitmap");
        ExpectColour(surface.At(3, 1), 200, 150, 100, "width 3");
        ExpectColour(surface.At(2, 2), 200, 150, 100, "height 2");
    }
    {
        Surface surface(5, 4, Back);
        ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, block, 0, 0, 2, 1, 255));
        ExpectColour(surface.At(1, 0), 1, 2, 3, "source size");
        ExpectColour(surface.At(2, 0), 200, 150, 100, "source width 2");
        ExpectColour(surface.At(0, 1), 200, 150, 100, "source height 1");
    }
    GlobalFree(block);
}

TEST(PackedBitmapTest, RectanglesBeyondTheBitmapNeverReadOutsideIt) {
    Surface surface(6, 6, Back);
    HGLOBAL block = MakePacked(2, 2, {{1, 2, 3, 255}, {1, 2, 3, 255}, {1, 2, 3, 255}, {1, 2, 3, 255}});
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 5, 5, block, 1, 1, 0, 0, 255));
    // Only source pixel (1, 1) exists: it lands in the bottom-left... of a
    // 5 x 5 area whose row 0 counted from the bottom is source row 1.
    ExpectColour(surface.At(0, 4), 1, 2, 3, "the one pixel inside");
    ExpectColour(surface.At(1, 4), 200, 150, 100, "column beyond");
    ExpectColour(surface.At(0, 3), 200, 150, 100, "row beyond");
    ASSERT_TRUE(DrawPackedBitmap(surface.Dc(), 0, 0, 3, 3, block, -100000, 2000000000, 0, 0, 255));
    ExpectColour(surface.At(0, 0), 200, 150, 100, "far outside");
    GlobalFree(block);
}

TEST(PackedBitmapTest, RefusesWhatItCannotDraw) {
    Surface surface(4, 4, Back);
    HGLOBAL deep = CreatePackedBitmap(2, 2, 24);
    ASSERT_NE(deep, nullptr);
    EXPECT_FALSE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, deep, 0, 0, 0, 0, 255));
    ExpectColour(surface.At(0, 0), 200, 150, 100, "24-bit draws nothing");
    GlobalFree(deep);
    EXPECT_FALSE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 255));

    // A header that claims more pixels than the block holds.
    HGLOBAL lying = CreatePackedBitmap(2, 2, 32);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(lying));
    header->biWidth = 4000;
    header->biHeight = 4000;
    GlobalUnlock(lying);
    EXPECT_FALSE(DrawPackedBitmap(surface.Dc(), 0, 0, 0, 0, lying, 0, 0, 0, 0, 255));
    GlobalFree(lying);

    HGLOBAL block = MakePacked(1, 1, {{1, 2, 3, 255}});
    EXPECT_FALSE(DrawPackedBitmap(surface.Dc(), 0, 0, -2, 0, block, 0, 0, 0, 0, 255));
    EXPECT_FALSE(DrawPackedBitmap(nullptr, 0, 0, 0, 0, block, 0, 0, 0, 0, 255));
    GlobalFree(block);
}

// The blend made once over a known colour puts exactly the pixels on a
// device context that DrawPackedBitmap puts there over that colour.
TEST(PackedBitmapTest, BlendOverAColourGivesTheSamePixelsAsDrawingOverIt) {
    // Two rows of eight: every alpha class (none, faint, half, nearly and
    // fully opaque) with colours at both ends of the range.
    HGLOBAL block = MakePacked(8, 2, {{0, 0, 255, 0},       {10, 20, 30, 1},   {255, 255, 255, 64},
                                      {0, 0, 0, 127},       {90, 180, 45, 128}, {1, 254, 128, 200},
                                      {255, 0, 255, 254},   {33, 66, 99, 255}, {255, 255, 255, 255},
                                      {0, 0, 0, 255},       {17, 34, 51, 3},    {200, 100, 50, 129},
                                      {128, 128, 128, 126}, {0, 255, 0, 250},   {255, 0, 0, 5},
                                      {77, 77, 77, 77}});
    ASSERT_NE(block, nullptr);
    const COLORREF backgrounds[] = {RGB(250, 250, 250), RGB(96, 96, 96), RGB(240, 240, 240), RGB(0, 0, 0),
                                    RGB(255, 255, 255), RGB(12, 200, 77)};
    struct Rectangle {
        int cx, cy, srcX, srcY, srcCx, srcCy, opacity;
    };
    const Rectangle rectangles[] = {
        {0, 0, 0, 0, 0, 0, 255},    // the whole bitmap
        {0, 0, 0, 0, 0, 0, 128},    // at half opacity
        {0, 0, 0, 0, 0, 0, 0},      // at none
        {3, 1, 2, 1, 0, 0, 255},    // a part of the upper row
        {0, 0, 5, 0, 4, 2, 200},    // a frame that reaches beyond the right edge
        {10, 4, -1, -1, 0, 0, 255}, // an area larger than the bitmap
    };
    for (COLORREF background : backgrounds) {
        const Bgra fill = {GetBValue(background), GetGValue(background), GetRValue(background), 0};
        for (const Rectangle& r : rectangles) {
            SCOPED_TRACE(testing::Message() << "background " << std::hex << background << std::dec << ", rectangle "
                                            << r.cx << "x" << r.cy << " from " << r.srcX << "," << r.srcY
                                            << ", opacity " << r.opacity);
            Surface drawn(12, 6, fill), blended(12, 6, fill);
            ASSERT_TRUE(DrawPackedBitmap(drawn.Dc(), 1, 1, r.cx, r.cy, block, r.srcX, r.srcY, r.srcCx, r.srcCy,
                                         r.opacity));
            CBlendedBitmap blend;
            ASSERT_TRUE(blend.Blend(block, background, r.cx, r.cy, r.srcX, r.srcY, r.srcCx, r.srcCy, r.opacity));
            ASSERT_TRUE(blend.Draw(blended.Dc(), 1, 1));
            int differing = 0;
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 12; ++x) {
                    const Bgra a = drawn.At(x, y), b = blended.At(x, y);
                    differing += a.b != b.b || a.g != b.g || a.r != b.r;
                }
            EXPECT_EQ(differing, 0);
        }
    }
    GlobalFree(block);

    // Where DrawPackedBitmap draws nothing there is no blend either.
    CBlendedBitmap blend;
    HGLOBAL deep = CreatePackedBitmap(2, 2, 24);
    EXPECT_FALSE(blend.Blend(deep, RGB(1, 2, 3), 0, 0, 0, 0, 0, 0, 255));
    EXPECT_FALSE(blend.Blend(nullptr, RGB(1, 2, 3), 0, 0, 0, 0, 0, 0, 255));
    EXPECT_FALSE(blend.IsValid());
    EXPECT_FALSE(blend.Draw(nullptr, 0, 0));
    GlobalFree(deep);
}

TEST(PackedBitmapTest, DrawsOnAWindowDeviceContext) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 40, 40, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HDC dc = GetDC(window);
    HGLOBAL block = MakePacked(1, 1, {{10, 20, 30, 255}});
    EXPECT_TRUE(DrawPackedBitmap(dc, 5, 5, 0, 0, block, 0, 0, 0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(30, 20, 10));
    GlobalFree(block);
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

}  // namespace
