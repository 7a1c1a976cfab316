// Rendering of SVG resources: sizes at every screen scale, the packed layout
// byte for byte, name lookup without regard to case, no file in the work
// folder, and resources that are no drawings.
#include <float.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "bench/TestFiles.h"
#include "imaging/NanoSvg.h"
#include "imaging/SvgRendering.h"
#include "support/ScreenScale.h"

namespace {

struct Packed {
    BITMAPINFOHEADER header{};
    std::vector<BYTE> pixels;
};

Packed ReadPacked(HGLOBAL block) {
    Packed packed;
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    if (!data) return packed;
    memcpy(&packed.header, data, sizeof(packed.header));
    const size_t size = static_cast<size_t>(packed.header.biWidth) * packed.header.biHeight * 4;
    packed.pixels.assign(data + 40, data + 40 + size);
    GlobalUnlock(block);
    return packed;
}

// The resource's bytes, as the program stores them.
std::string ResourceBytes(const wchar_t* name) {
    HRSRC resource = FindResourceW(nullptr, name, L"SVG");
    if (!resource) return {};
    const DWORD size = SizeofResource(nullptr, resource);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    return std::string(bytes, bytes + size);
}

class SvgRenderingTest : public ::testing::Test {};

// The length times the scale, rounded to the nearest double and then
// truncated toward zero, worked out in integers so that the expectation does
// not depend on the precision of the floating-point unit under test.
// Lengths up to 2047 keep the exact product within 64 bits.
int TruncatedDoubleProduct(int length, double scale) {
    int exponent = 0;
    const double fraction = frexp(scale, &exponent);  // scale = fraction * 2^exponent
    const uint64_t mantissa = static_cast<uint64_t>(ldexp(fraction, 53));
    exponent -= 53;  // scale = mantissa * 2^exponent
    uint64_t product = static_cast<uint64_t>(length < 0 ? -length : length) * mantissa;
    int bits = 0;
    while (bits < 64 && (product >> bits) != 0) ++bits;
    if (bits > 53) {
        // Round to 53 significant bits, ties to even.
        const int drop = bits - 53;
        const uint64_t rest = product & ((uint64_t{1} << drop) - 1);
        const uint64_t half = uint64_t{1} << (drop - 1);
        product >>= drop;
        if (rest > half || (rest == half && (product & 1))) ++product;
        exponent += drop;
    }
    const int64_t truncated =
        static_cast<int64_t>(exponent >= 0 ? product << exponent : (-exponent >= 64 ? 0 : product >> -exponent));
    return static_cast<int>(length < 0 ? -truncated : truncated);
}

// Both builds must compute the same pixels: the i686 build with the x87 unit,
// the x86_64 build with SSE. At every screen scale from 96 to 480 dpi the page
// lengths and the rendered picture sizes are the product rounded to a double
// and then truncated, never one lower.
TEST_F(SvgRenderingTest, EveryScaleFrom96To480DpiGivesTheTruncatedDoubleProduct) {
    // Products that a 64-bit x87 precision gets one pixel short of.
    const struct {
        int dpi, length, expected;
    } known[] = {
        {128, 15, 20},  {128, 60, 80},  {104, 60, 65},  {152, 60, 95},  {176, 60, 110},
        {208, 60, 130}, {232, 60, 145}, {256, 60, 160}, {280, 60, 175}, {120, 58, 72},
    };
    const double savedScale = ScreenScale;
    for (const auto& k : known) {
        ScreenScale = k.dpi / 96.0;
        EXPECT_EQ(ScaleToScreen(k.length), k.expected) << k.length << " at " << k.dpi << " dpi";
    }
    const struct {
        const wchar_t* name;
        int width, height;  // at 96 dpi
    } drawings[] = {{L"UP", 24, 24}, {L"OK_LARGE", 48, 48}, {L"QUORVEX", 125, 32}};
    int mismatches = 0;
    for (int dpi = 96; dpi <= 480 && mismatches < 10; ++dpi) {
        const double scale = dpi / 96.0;
        ScreenScale = scale;
        for (int length = -60; length <= 260; ++length) {
            const int expected = TruncatedDoubleProduct(length, scale);
            if (ScaleToScreen(length) == expected) continue;
            ++mismatches;
            ADD_FAILURE() << "ScaleToScreen(" << length << ") at " << dpi << " dpi is " << ScaleToScreen(length)
                          << ", not " << expected;
        }
        for (const auto& d : drawings) {
            HGLOBAL block = RenderSvgResource(d.name, scale);
            ASSERT_NE(block, nullptr) << qvtest::Narrow(d.name) << " at " << dpi << " dpi";
            const Packed packed = ReadPacked(block);
            GlobalFree(block);
            const int width = TruncatedDoubleProduct(d.width, scale), height = TruncatedDoubleProduct(d.height, scale);
            if (packed.header.biWidth == width && packed.header.biHeight == height) continue;
            ++mismatches;
            ADD_FAILURE() << qvtest::Narrow(d.name) << " at " << dpi << " dpi is " << packed.header.biWidth << " x "
                          << packed.header.biHeight << ", not " << width << " x " << height;
        }
    }
    ScreenScale = savedScale;
}

// NanoSVG runs with the x87 unit at a float's precision; the caller's own
// doubles get their 53 bits back.
TEST_F(SvgRenderingTest, RenderingLeavesTheFloatingPointControlAsItWas) {
    const unsigned int before = _controlfp(0, 0);
    HGLOBAL block = RenderSvgResource(L"QUORVEX", 1.25);
    ASSERT_NE(block, nullptr);
    GlobalFree(block);
    EXPECT_EQ(_controlfp(0, 0), before);
}

TEST_F(SvgRenderingTest, EveryDrawingRendersToAFixedBlockOfItsSize) {
    const struct {
        const wchar_t* name;
        int width, height;  // at 120 dpi
    } drawings[] = {
        {L"UP", 30, 30},       {L"OK", 30, 30},   {L"ERR", 30, 30},  {L"OK_LARGE", 60, 60}, {L"ERR_LARGE", 60, 60},
        {L"QUESTION", 60, 60}, {L"WARN", 60, 60}, {L"ICON", 60, 60}, {L"QUORVEX", 156, 40},
    };
    for (const auto& d : drawings) {
        HGLOBAL block = RenderSvgResource(d.name, 1.25);
        ASSERT_NE(block, nullptr) << qvtest::Narrow(d.name);
        const Packed packed = ReadPacked(block);
        EXPECT_EQ(packed.header.biWidth, d.width) << qvtest::Narrow(d.name);
        EXPECT_EQ(packed.header.biHeight, d.height) << qvtest::Narrow(d.name);
        EXPECT_EQ(GlobalSize(block), 40u + static_cast<SIZE_T>(d.width) * d.height * 4);
        EXPECT_EQ(GlobalFlags(block) & GMEM_DISCARDABLE, 0u);
        GlobalFree(block);
    }
}

TEST_F(SvgRenderingTest, HeaderIsAPackedDeviceIndependentBitmap) {
    HGLOBAL block = RenderSvgResource(L"OK", 1.0);
    ASSERT_NE(block, nullptr);
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    const BYTE expected[40] = {40, 0, 0, 0, 24, 0, 0, 0, 24, 0, 0, 0, 1, 0, 32, 0};  // the rest is zero
    EXPECT_EQ(0, memcmp(data, expected, sizeof(expected)));
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST_F(SvgRenderingTest, RowsBottomFirstInBlueGreenRedAlphaAsRasterised) {
    // Rasterise the same bytes with NanoSVG directly: the packed bitmap must
    // hold exactly these pixels, rows reversed and red and blue swapped.
    const struct {
        const wchar_t* name;
        double scale;
        int width, height;
    } renderings[] = {
        {L"ROWS", 1.0, 8, 8},       {L"ROWS", 1.5, 12, 12}, {L"QUORVEX", 1.0, 125, 32},
        {L"QUORVEX", 1.5, 187, 48}, {L"WARN", 1.0, 48, 48}, {L"WARN", 1.5, 72, 72},
    };
    for (const auto& r : renderings) {
        const wchar_t* const name = r.name;
        const double scale = r.scale;
        const int width = r.width, height = r.height;  // the drawing's size times the scale, truncated
        std::string text = ResourceBytes(name);
        ASSERT_FALSE(text.empty());
        NSVGimage* image = nullptr;
        {
            CNanoSvgPrecision precision;  // as the program calls NanoSVG
            image = nsvgParse(&text[0], "px", 96.0f);
        }
        ASSERT_NE(image, nullptr);
        std::vector<BYTE> rgba(static_cast<size_t>(width) * height * 4);
        NSVGrasterizer* rasterizer = nsvgCreateRasterizer();
        {
            CNanoSvgPrecision precision;
            nsvgRasterize(rasterizer, image, 0, 0, static_cast<float>(scale), rgba.data(), width, height, width * 4);
        }
        nsvgDeleteRasterizer(rasterizer);
        nsvgDelete(image);

        HGLOBAL block = RenderSvgResource(name, scale);
        ASSERT_NE(block, nullptr);
        const Packed packed = ReadPacked(block);
        GlobalFree(block);
        ASSERT_EQ(packed.header.biWidth, width);
        ASSERT_EQ(packed.header.biHeight, height);
        int mismatches = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const BYTE* source = &rgba[(static_cast<size_t>(row) * width + column) * 4];
                const BYTE* stored = &packed.pixels[(static_cast<size_t>(height - 1 - row) * width + column) * 4];
                if (stored[0] != source[2] || stored[1] != source[1] || stored[2] != source[0] ||
                    stored[3] != source[3])
                    ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << qvtest::Narrow(name) << " at " << scale;
    }
}

TEST_F(SvgRenderingTest, TopOfTheDrawingIsTheLastStoredRow) {
    // "ROWS": the top half half-transparent red, the bottom half blue.
    HGLOBAL block = RenderSvgResource(L"ROWS", 1.0);
    ASSERT_NE(block, nullptr);
    const Packed packed = ReadPacked(block);
    GlobalFree(block);
    ASSERT_EQ(packed.header.biWidth, 8);
    const BYTE* firstStored = &packed.pixels[(0 * 8 + 3) * 4];
    const BYTE* lastStored = &packed.pixels[(7 * 8 + 3) * 4];
    EXPECT_EQ(firstStored[0], 255);  // blue
    EXPECT_EQ(firstStored[1], 0);
    EXPECT_EQ(firstStored[2], 0);
    EXPECT_EQ(firstStored[3], 255);
    EXPECT_EQ(lastStored[0], 0);  // red at half opacity, not premultiplied
    EXPECT_EQ(lastStored[1], 0);
    EXPECT_EQ(lastStored[2], 255);
    EXPECT_NEAR(lastStored[3], 128, 1);
}

TEST_F(SvgRenderingTest, NamesAreFoundInAnyCase) {
    for (const wchar_t* name : {L"up", L"Up", L"UP", L"quorvex", L"ok_large"}) {
        HGLOBAL block = RenderSvgResource(name, 1.0);
        EXPECT_NE(block, nullptr) << qvtest::Narrow(name);
        if (block) GlobalFree(block);
    }
    HGLOBAL lower = RenderSvgResource(L"up", 1.25);
    HGLOBAL upper = RenderSvgResource(L"UP", 1.25);
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(ReadPacked(lower).pixels, ReadPacked(upper).pixels);
    GlobalFree(lower);
    GlobalFree(upper);
}

// Drawings are parsed from memory: rendering makes no file in the temporary
// folder, not even for a moment, and leaves the entries under the names that
// temporary drawing files would take alone: another drawing (a 10 x 10 square
// that must not show up) and a read-only sentinel.
TEST_F(SvgRenderingTest, RenderingMakesNoFileAndLeavesPlantedFilesAlone) {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring folder = temp;
    if (folder.back() == L'\\') folder.pop_back();
    const bool madeFolder = !qvtest::IsFolder(folder);
    ASSERT_TRUE(qvtest::MakeFolders(folder));
    const struct {
        const wchar_t* name;
        const char* bytes;
        DWORD attributes;
    } planted[] = {
        {L"inst0001.tmp",
         "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>"
         "<rect width='10' height='10' fill='red'/></svg>",
         FILE_ATTRIBUTE_NORMAL},
        {L"inst0002.tmp", "sentinel\r\n", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
    };
    std::vector<qvtest::FileState> before;
    for (const auto& p : planted) {
        const std::wstring path = folder + L"\\" + p.name;
        ASSERT_TRUE(qvtest::WriteFileBytes(path, p.bytes));
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), p.attributes));
        before.push_back(qvtest::StateOf(path));
    }

    std::vector<std::wstring> changes;
    {
        qvtest::FolderWatch watch(folder);
        // Their sizes are checked with every scale's above.
        for (const wchar_t* name : {L"UP", L"OK_LARGE", L"QUORVEX"}) {
            HGLOBAL block = RenderSvgResource(name, 1.0);
            ASSERT_NE(block, nullptr) << qvtest::Narrow(name);
            GlobalFree(block);
        }
        changes = watch.Changes();
    }
    EXPECT_TRUE(changes.empty()) << qvtest::Narrow(changes.empty() ? L"" : changes.front());

    for (size_t i = 0; i < std::size(planted); ++i) {
        const std::wstring path = folder + L"\\" + planted[i].name;
        EXPECT_TRUE(before[i] == qvtest::StateOf(path)) << qvtest::Narrow(path);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    if (madeFolder) RemoveDirectoryW(folder.c_str());
}

TEST_F(SvgRenderingTest, MissingResourcesAndResourcesThatAreNoDrawingsRenderNothing) {
    for (const wchar_t* name : {L"NOT_SVG", L"EMPTY_SVG", L"RANDOM_BYTES", L"HUGE", L"NO_SUCH_PICTURE", L"",
                                L"IMAGE|up|1", L"U P", static_cast<const wchar_t*>(nullptr)}) {
        for (double scale : {1.0, 2.0}) {
            HGLOBAL block = RenderSvgResource(name, scale);
            EXPECT_EQ(block, nullptr) << qvtest::Narrow(name ? name : L"(null)") << " at " << scale;
            if (block) GlobalFree(block);
        }
    }
}

TEST_F(SvgRenderingTest, TruncatedDrawingGivesASanePictureOrNone) {
    HGLOBAL block = RenderSvgResource(L"TRUNCATED", 1.0);
    if (block) {
        const Packed packed = ReadPacked(block);
        EXPECT_EQ(packed.header.biWidth, 24);
        EXPECT_EQ(packed.header.biHeight, 24);
        GlobalFree(block);
    }
}

TEST_F(SvgRenderingTest, UnusableScalesRenderNothing) {
    for (double scale : {0.0, -1.0, 0.001, 1e9}) EXPECT_EQ(RenderSvgResource(L"UP", scale), nullptr) << scale;
}

// The program's icon (icon group 1) is made from the same drawing as the
// "ICON" picture of the page banner: its 48-pixel image holds the same pixels.
TEST_F(SvgRenderingTest, ProgramIconIsTheBannerIconDrawing) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    const auto* entries = reinterpret_cast<const GroupEntry*>(directory + 6);
    int id = 0;
    for (WORD i = 0; i < count; ++i)
        if (entries[i].width == 48 && entries[i].bitCount == 32) id = entries[i].id;
    ASSERT_NE(id, 0) << "no 48-pixel 32-bit image in the program icon";
    HRSRC image = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
    ASSERT_NE(image, nullptr);
    const BYTE* icon = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, image)));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(icon);
    ASSERT_EQ(header->biWidth, 48);
    ASSERT_EQ(header->biHeight, 96);  // colour image and mask
    ASSERT_EQ(header->biBitCount, 32);
    const BYTE* iconPixels = icon + header->biSize;

    HGLOBAL block = RenderSvgResource(L"ICON", 1.0);
    ASSERT_NE(block, nullptr);
    const Packed packed = ReadPacked(block);
    GlobalFree(block);
    ASSERT_EQ(packed.pixels.size(), 48u * 48 * 4);
    // The icon is rasterised at build time with single-precision floats (SSE),
    // as the x86_64 build does; the i686 build's x87 unit rounds to a float's
    // precision while NanoSVG runs. Both give the very same pixels.
    int different = 0;
    for (size_t i = 0; i < packed.pixels.size(); ++i) different += packed.pixels[i] != iconPixels[i];
    EXPECT_EQ(different, 0);
    int opaque = 0;
    for (size_t i = 3; i < packed.pixels.size(); i += 4) opaque += packed.pixels[i] == 255;
    EXPECT_GT(opaque, 48 * 48 / 2) << "the icon is a solid tile";
}

}  // namespace
