// Build-time tool (runs on the build machine): renders an SVG drawing to a
// Windows icon file with 32-bit images of the given sizes.
//   make_icon input.svg output.ico 16 32 48
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#define NANOSVG_IMPLEMENTATION
#include "nanosvg.h"
#define NANOSVGRAST_IMPLEMENTATION
#include "nanosvgrast.h"

namespace {

void Put16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, unsigned value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One icon image: a BITMAPINFOHEADER of double height, BGRA rows bottom
// first, then the AND mask (all zero: the alpha channel decides).
std::vector<uint8_t> IconImage(NSVGimage* image, NSVGrasterizer* rasterizer, int size) {
    std::vector<uint8_t> rgba(size * size * 4);
    const float scale = size / image->width;
    nsvgRasterize(rasterizer, image, 0, 0, scale, rgba.data(), size, size, size * 4);
    std::vector<uint8_t> out;
    const int maskStride = ((size + 31) / 32) * 4;
    Put32(out, 40);
    Put32(out, size);
    Put32(out, size * 2);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, size * size * 4 + maskStride * size);
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    for (int row = size - 1; row >= 0; --row) {
        for (int column = 0; column < size; ++column) {
            const uint8_t* p = &rgba[(row * size + column) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            out.push_back(p[3]);
        }
    }
    out.insert(out.end(), maskStride * size, 0);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icon input.svg output.ico size...\n");
        return 2;
    }
    NSVGimage* image = nsvgParseFromFile(argv[1], "px", 96.0f);
    if (!image || image->width <= 0) {
        std::fprintf(stderr, "make_icon: cannot parse %s\n", argv[1]);
        return 1;
    }
    NSVGrasterizer* rasterizer = nsvgCreateRasterizer();
    std::vector<std::vector<uint8_t>> images;
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 256) return 2;
        sizes.push_back(size);
        images.push_back(IconImage(image, rasterizer, size));
    }
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, images.size());
    unsigned offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(sizes[i] == 256 ? 0 : sizes[i]);
        file.push_back(sizes[i] == 256 ? 0 : sizes[i]);
        file.push_back(0);
        file.push_back(0);
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, images[i].size());
        Put32(file, offset);
        offset += images[i].size();
    }
    for (const auto& data : images) file.insert(file.end(), data.begin(), data.end());
    FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size()) return 1;
    std::fclose(out);
    nsvgDeleteRasterizer(rasterizer);
    nsvgDelete(image);
    return 0;
}
