// The dither draws rand()'s own sequence without taking its lock: in a fresh process, every
// pattern each dithering converter leaves equals the one computed from std::rand() directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "common/fresh_process.h"
#include "pixel/dither.h"
#include "pixel/row_converters.h"

namespace {

using row_565 = void (*)(unsigned char*, unsigned char*, unsigned char*, pixel_rgb565_t*,
                         unsigned int, yuv_to_rgb_fp_coefficients);
using row_555 = void (*)(unsigned char*, unsigned char*, unsigned char*, pixel_rgb555_t*,
                         unsigned int, yuv_to_rgb_fp_coefficients);

// Exit status 0 when the first `calls` patterns all match, 1 at the first that does not.
template <typename T>
int patterns_match_rand(void (*row)(unsigned char*, unsigned char*, unsigned char*, T*,
                                    unsigned int, yuv_to_rgb_fp_coefficients),
                        const dither_pattern* pattern, int calls) {
    alignas(16) unsigned char samples[64] = {};
    alignas(16) T out[64];
    yuv_to_rgb_fp_coefficients k{};
    uint32_t state = 0x83783AF7u;
    uint8_t want[32] = {};
    for (int call = 0; call < calls; ++call) {
        row(samples, samples, samples, out, 0, k);
        for (int w = 0; w < 8; ++w) {
            const uint32_t noise = static_cast<uint32_t>(std::rand()) & 0x00330012u;
            state = ((state << 13) | (state >> 19)) ^ noise;
            for (int b = 0; b < 4; ++b) want[4 * w + b] ^= (state & 0x07070707u) >> 8 * b & 0xFF;
        }
        if (std::memcmp(want, pattern->bytes, 32) != 0 || state != dither_state) return 1;
    }
    return 0;
}

TEST(DitherDrawsDeathTest, FirstPatternsEqualThoseOfRand) {
    test_common::use_fresh_process_death_tests();
    constexpr int kCalls = 100000;
    const struct {
        const char* name;
        int (*run)();
    } converters[] = {
        {"yuv444_rgb565",
         [] {
             return patterns_match_rand(row_565(pixel_yuv444_to_rgb<pixel_rgb565_t>),
                                        &dither_pattern_yuv444_rgb565, kCalls);
         }},
        {"yuv422_rgb565",
         [] {
             return patterns_match_rand(row_565(pixel_yuv422_to_rgb<pixel_rgb565_t>),
                                        &dither_pattern_yuv422_rgb565, kCalls);
         }},
        {"yuv411_rgb565",
         [] {
             return patterns_match_rand(row_565(pixel_yuv411_to_rgb<pixel_rgb565_t>),
                                        &dither_pattern_yuv411_rgb565, kCalls);
         }},
        {"yuv422_rgb555",
         [] {
             return patterns_match_rand(row_555(pixel_yuv422_to_rgb<pixel_rgb555_t>),
                                        &dither_pattern_yuv422_rgb555, kCalls);
         }},
    };
    // Each in a process of its own: the converters share the state and the sequence.
    for (const auto& c : converters) {
        EXPECT_EXIT(std::_Exit(c.run()), ::testing::ExitedWithCode(0), "") << c.name;
    }
}

}  // namespace
