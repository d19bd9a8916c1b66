#include "runtime/frame_counter.h"

#include <cstring>

namespace {
// 3x5 digit glyphs, one row per entry, bit 2 the leftmost column.
constexpr uint8_t kGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};
constexpr uint8_t kInk = 235, kPaper = 16;
}  // namespace

void draw_frame_counter(uint8_t* luma, uint32_t stride, uint32_t width, uint32_t height,
                        uint64_t number) {
    char digits[21];
    int count = 0;
    do {
        digits[count++] = static_cast<char>(number % 10);
        number /= 10;
    } while (number);

    const uint32_t scale = height >= 240 ? height / 120 : 1;
    const uint32_t cell = 4 * scale;  // glyph plus one column of space
    const uint32_t box_w = cell * static_cast<uint32_t>(count) + scale;
    const uint32_t box_h = 7 * scale;
    const uint32_t x0 = scale, y0 = scale;
    for (uint32_t y = y0; y < y0 + box_h && y < height; ++y) {
        uint8_t* row = luma + static_cast<uint64_t>(y) * stride;
        if (x0 >= width) break;
        uint32_t w = box_w < width - x0 ? box_w : width - x0;
        std::memset(row + x0, kPaper, w);
        if (y < y0 + scale || y >= y0 + 6 * scale) continue;
        const uint32_t glyph_row = (y - y0 - scale) / scale;
        for (int d = 0; d < count; ++d) {
            const uint8_t bits = kGlyphs[static_cast<int>(digits[count - 1 - d])][glyph_row];
            for (uint32_t col = 0; col < 3; ++col) {
                if (!(bits & (4 >> col))) continue;
                uint32_t x = x0 + scale + static_cast<uint32_t>(d) * cell + col * scale;
                if (x >= width) continue;
                std::memset(row + x, kInk, scale < width - x ? scale : width - x);
            }
        }
    }
}
