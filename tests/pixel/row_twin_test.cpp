// Every level's row converters against the scalar reference: same pixels, same dither pattern and
// state, guard bytes untouched, for every width through three blocks, around 1920, and every
// misalignment of the rows and the destination.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "kernel_levels.h"
#include "pixel/dither_draws.h"

namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;

struct dither_snapshot {
    dither_pattern pattern;
    uint32_t state;
};

dither_snapshot take(const row_case& c) {
    dither_snapshot s{};
    if (c.kernel->pattern) s.pattern = *c.kernel->pattern;
    s.state = dither_state;
    return s;
}
void restore(const row_case& c, const dither_snapshot& s) {
    if (c.kernel->pattern) *c.kernel->pattern = s.pattern;
    dither_state = s.state;
}

// Random samples with runs of 0 and 255, where saturation and clamping happen.
void fill_samples(std::mt19937& rng, uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(rng());
    for (int runs = 0; runs < 3 && n > 0; ++runs) {
        const size_t at = rng() % n;
        const size_t len = std::min<size_t>(n - at, 1 + rng() % 24);
        std::memset(p + at, (rng() & 1) ? 255 : 0, len);
    }
}

// Half the records come from real tables; the others are raw lanes, with gains that wrap in lo16.
yuv_to_rgb_fp_coefficients random_record(std::mt19937& rng, const row_case& c) {
    if (rng() & 1) {
        std::uniform_real_distribution<float> gain(-3.0f, 3.0f);
        const yuv_to_rgb_coefficients t{gain(rng),
                                        gain(rng),
                                        gain(rng),
                                        gain(rng),
                                        static_cast<uint32_t>(rng() % 64),
                                        static_cast<uint32_t>(rng() % 1024)};
        return prepare_for(c, t);
    }
    yuv_to_rgb_fp_coefficients k{};
    const int16_t lanes[4] = {static_cast<int16_t>(rng()), static_cast<int16_t>(rng()),
                              static_cast<int16_t>(rng()), static_cast<int16_t>(rng())};
    const uint16_t off = static_cast<uint16_t>(rng() % 300), gain = static_cast<uint16_t>(rng());
    for (int i = 0; i < 8; ++i) {
        k.low_from_c1_lanes[i] = lanes[0];
        k.high_from_c2_lanes[i] = lanes[1];
        k.green_from_c1_lanes[i] = lanes[2];
        k.green_from_c2_lanes[i] = lanes[3];
        k.luma_offset_lanes[i] = off;
        k.luma_gain_lanes[i] = gain;
    }
    for (int i = 0; i < 4; ++i) {
        k.scaled_coeffs[i] = static_cast<int32_t>(rng()) >> (rng() % 20);
        k.generic_gains[i] = static_cast<int32_t>(rng()) >> (rng() % 24);
    }
    // Offsets above 255 and large gains wrap the generic 32-bit luma product.
    k.generic_luma_offset = rng() % 512;
    k.generic_luma_gain = rng() >> (rng() % 24);
    return k;
}

std::vector<unsigned> widths_for(const row_case& c) {
    std::vector<unsigned> w;
    for (unsigned i = 0; i <= 3 * c.kernel->block + 7; ++i) w.push_back(i);
    for (unsigned i : {1919u, 1920u, 1921u}) w.push_back(i);
    return w;
}

uint32_t base_seed() {
    if (const char* env = std::getenv("VEXA_PIXEL_SEED")) return std::strtoul(env, nullptr, 0);
    return std::random_device{}();
}

// One comparison; true when SIMD and twin agree. Offsets are byte misalignments from 16 for the
// sources and from 32 for the destination.
bool compare_once(const row_case& c, std::mt19937& rng, unsigned width, const unsigned off[4],
                  uint32_t seed) {
    const size_t chroma = (width + c.kernel->factor - 1) / c.kernel->factor;
    alignas(16) static uint8_t y[2048 + 16], u[2048 + 16], v[2048 + 16];
    fill_samples(rng, y + off[0], width);
    fill_samples(rng, u + off[1], chroma);
    fill_samples(rng, v + off[2], chroma);
    const size_t bytes = width * c.kernel->pixel_size;
    std::vector<uint8_t> out_simd(bytes + 2 * kGuard + 64, kFill);
    std::vector<uint8_t> out_twin(out_simd);
    uint8_t* base_simd = out_simd.data() + kGuard;
    base_simd += (32 - reinterpret_cast<uintptr_t>(base_simd) % 32) % 32 + off[3];
    uint8_t* base_twin = out_twin.data() + (base_simd - out_simd.data());
    const yuv_to_rgb_fp_coefficients k = random_record(rng, c);

    const dither_snapshot before = take(c);
    dither_draw_seed(seed);
    c.kernel->row(y + off[0], u + off[1], v + off[2], base_simd, width, k);
    const dither_snapshot after_simd = take(c);
    restore(c, before);
    dither_draw_seed(seed);
    c.reference->row(y + off[0], u + off[1], v + off[2], base_twin, width, k);
    const dither_snapshot after_twin = take(c);

    EXPECT_EQ(out_simd, out_twin) << c.level << " " << c.kernel->name << " width " << width
                                  << " offsets " << off[0] << "," << off[1] << "," << off[2] << ","
                                  << off[3];
    EXPECT_EQ(after_simd.state, after_twin.state) << c.level << " " << c.kernel->name;
    EXPECT_EQ(0, std::memcmp(after_simd.pattern.bytes, after_twin.pattern.bytes, 32))
        << c.level << " " << c.kernel->name << " width " << width;
    for (size_t i = 0; i < out_simd.size(); ++i) {
        const bool inside =
            out_simd.data() + i >= base_simd && out_simd.data() + i < base_simd + bytes;
        if (!inside && out_simd[i] != kFill) {
            ADD_FAILURE() << c.level << " " << c.kernel->name << " wrote outside its row at byte "
                          << i;
            return false;
        }
    }
    return !::testing::Test::HasFailure();
}

TEST(RowTwin, EveryLevelMatchesTheScalarReferenceBitForBit) {
    const uint32_t seed = base_seed();
    SCOPED_TRACE("seed " + std::to_string(seed) +
                 " (rerun with VEXA_PIXEL_SEED=" + std::to_string(seed) + ")");
    std::mt19937 rng(seed);
    for (const row_case& c : all_row_cases()) {
        if (c.kernel->row == c.reference->row) continue;  // the reference itself
        for (unsigned width : widths_for(c)) {
            for (unsigned m = 0; m < 16; ++m) {
                // All four pointers at one misalignment (0: the aligned path), each pointer
                // alone at it, the destination 16 bytes further (the aligned path on a
                // destination that is not 32-byte aligned), and all at random ones.
                unsigned trials[7][4] = {{m, m, m, m},
                                         {m, 0, 0, 0},
                                         {0, m, 0, 0},
                                         {0, 0, m, 0},
                                         {0, 0, 0, m},
                                         {m, m, m, m + 16},
                                         {}};
                for (unsigned& o : trials[6]) o = rng() % 16;
                for (const auto& off : trials) {
                    if (!compare_once(c, rng, width, off, rng())) return;
                }
            }
        }
    }
}

}  // namespace
