// Row converter edges, at every level: reading no sample past the planes, fixed numeric cases,
// field bits that must stay clear, and the dither pattern's life.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "kernel_levels.h"
#include "pixel/dither_draws.h"

namespace {

// A row whose last byte sits right before an inaccessible page.
class fenced_row {
  public:
    fenced_row() {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* m =
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = m == MAP_FAILED ? nullptr : static_cast<uint8_t*>(m);
        if (base_) mprotect(base_ + page_, page_, PROT_NONE);
    }
    ~fenced_row() {
        if (base_) munmap(base_, 2 * page_);
    }
    bool ok() const { return base_ != nullptr; }
    uint8_t* row(size_t len) {
        std::memset(base_, 128, page_);
        return base_ + page_ - len;
    }

  private:
    size_t page_ = 0;
    uint8_t* base_ = nullptr;
};

TEST(RowEdges, TailReadsNothingPastThePlanes) {
    fenced_row y, u, v;
    ASSERT_TRUE(y.ok() && u.ok() && v.ok());
    std::vector<uint8_t> out(1921 * 4 + 64);
    for (const row_case& c : all_row_cases()) {
        const yuv_to_rgb_fp_coefficients k = prepare_for(c, standard_yuv_coefficients);
        std::vector<unsigned> widths;
        for (unsigned w = 0; w <= 3 * c.kernel->block + 7; ++w) widths.push_back(w);
        for (unsigned w : {1919u, 1920u, 1921u}) widths.push_back(w);
        for (unsigned w : widths) {
            const size_t chroma = (w + c.kernel->factor - 1) / c.kernel->factor;
            // A fault here kills the test binary, which is the failure.
            c.kernel->row(y.row(w), u.row(chroma), v.row(chroma), out.data(), w, k);
        }
    }
}

yuv_to_rgb_fp_coefficients luma_only(const row_case& c, uint32_t offset, uint32_t gain_x4) {
    // Chroma samples are 128 here, so the chroma gains play no part.
    const yuv_to_rgb_coefficients t{1.5f, 1.25f, -0.25f, -0.5f, offset, gain_x4};
    return prepare_for(c, t);
}

uint32_t first_pixel(const row_case& c, uint8_t luma, const yuv_to_rgb_fp_coefficients& k,
                     uint8_t dither) {
    alignas(16) uint8_t y[32], u[32], v[32];
    alignas(16) uint8_t out[128] = {};
    std::memset(y, luma, sizeof y);
    std::memset(u, 128, sizeof u);
    std::memset(v, 128, sizeof v);
    if (c.kernel->pattern) std::memset(c.kernel->pattern->bytes, dither, 32);
    c.kernel->row(y, u, v, out, c.kernel->block, k);
    uint32_t p = 0;
    std::memcpy(&p, out, c.kernel->pixel_size);
    return p;
}

TEST(RowEdges, LumaValues) {
    struct row {
        uint8_t luma;
        uint32_t rgb565, rgb555, rgb888;
    };
    // Offset 16, gain lanes 74: the luma term is (Y - 16) x 148, 128 per 8-bit step.
    const row table[] = {
        {16, 0x0000, 0x0000, 0x00000000},   // black
        {128, 0x8410, 0x4210, 0x00818181},  // 16576: 16 of 31, 129 of 255
        {235, 0xFFDF, 0x7FFF, 0x00FDFDFD},  // 32412: 31 and 253
        {255, 0xFFDF, 0x7FFF, 0x00FFFFFF},  // saturates at 32767
    };
    for (const row_case& c : all_row_cases()) {
        if (c.kernel->form == coefficient_form::generic) continue;  // tested on its own
        const yuv_to_rgb_fp_coefficients k = luma_only(c, 16, 298);
        ASSERT_EQ(74, k.luma_gain_lanes[0]);
        for (const row& r : table) {
            const uint32_t want = c.kind == pixel_kind::rgb565   ? r.rgb565
                                  : c.kind == pixel_kind::rgb555 ? r.rgb555
                                                                 : r.rgb888;
            EXPECT_EQ(want, first_pixel(c, r.luma, k, 0))
                << c.level << " " << c.kernel->name << " luma " << int(r.luma);
        }
    }
}

TEST(RowEdges, DitheredLumaSaturatesAt255) {
    // Offset 128, gain 64: 255 gives 16256 (15 of 31), 257 would give 16512 (16 of 31).
    for (const row_case& c : all_row_cases()) {
        if (!c.kernel->pattern) continue;
        const yuv_to_rgb_fp_coefficients k = luma_only(c, 128, 256);
        const uint32_t want = c.kind == pixel_kind::rgb565 ? 0x7BCFu : 0x3DEFu;
        EXPECT_EQ(want, first_pixel(c, 252, k, 5)) << c.level << " " << c.kernel->name;
    }
}

TEST(RowEdges, UnusedBitsStayClear) {
    std::mt19937 rng(7);
    alignas(16) uint8_t y[1000], u[1000], v[1000];
    std::vector<uint8_t> out(1000 * 4);
    for (uint8_t* p : {y, u, v})
        for (int i = 0; i < 1000; ++i) p[i] = static_cast<uint8_t>(rng());
    for (const row_case& c : all_row_cases()) {
        // The generic conversion sets bit 15; packed 24 bpp has no spare bits.
        if (c.kernel->form == coefficient_form::generic || c.kind == pixel_kind::rgb24) continue;
        const yuv_to_rgb_fp_coefficients k = prepare_for(c, standard_yuv_coefficients);
        c.kernel->row(y, u, v, out.data(), 997, k);
        const uint32_t must_be_clear = c.kind == pixel_kind::rgb565   ? 0x20u
                                       : c.kind == pixel_kind::rgb555 ? 0x8000u
                                                                      : 0xFF000000u;
        for (size_t i = 0; i < 997; ++i) {
            uint32_t p = 0;
            std::memcpy(&p, out.data() + i * c.kernel->pixel_size, c.kernel->pixel_size);
            ASSERT_EQ(0u, p & must_be_clear) << c.level << " " << c.kernel->name << " pixel " << i;
        }
    }
}

TEST(RowEdges, DitherAdvancesOncePerCallPlusOncePerTail) {
    for (const row_case& c : all_row_cases()) {
        dither_pattern* pattern = c.kernel->pattern;
        if (!pattern) continue;
        const unsigned block = c.kernel->block;
        const yuv_to_rgb_fp_coefficients k = prepare_for(c, standard_yuv_coefficients);
        alignas(16) uint8_t samples[128] = {};
        alignas(16) uint8_t out[256];
        const struct {
            unsigned width;
            int advances;
        } table[] = {{0, 1}, {block, 1}, {2 * block, 1}, {block + 1, 2}, {3, 2}};
        for (const auto& t : table) {
            // Count the advances by replaying the sequence with rand(): each is eight draws.
            std::memset(pattern->bytes, 0, 32);
            const dither_pattern start = *pattern;
            const uint32_t state = dither_state;
            dither_draw_seed(99);
            c.kernel->row(samples, samples, samples, out, t.width, k);
            const int next = dither_draw();
            int calls = 0;
            std::srand(99);
            while (std::rand() != next && calls < 100) ++calls;
            EXPECT_EQ(8 * t.advances, calls)
                << c.level << " " << c.kernel->name << " width " << t.width;
            *pattern = start;
            dither_state = state;
        }
    }
}

}  // namespace
