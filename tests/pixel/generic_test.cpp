// The generic 15-bit conversion (4:4:4 and 4:1:1 into pixel_rgb555_t) and its one-time warnings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/fresh_process.h"
#include "pixel/frame_converters.h"
#include "pixel/row_converters.h"

namespace {

yuv_to_rgb_fp_coefficients generic_record(const yuv_to_rgb_coefficients& t, bool is411) {
    yuv_to_rgb_fp_coefficients k{};
    if (is411) {
        pixel_yuv_prep_coeff_411<pixel_rgb555_t>(t, &k);
    } else {
        pixel_yuv_prep_coeff_444<pixel_rgb555_t>(t, &k);
    }
    return k;
}

TEST(Generic, LumaOnlyPixels) {
    // Offset 0, unity gain, neutral chroma: every channel equals Y.
    const yuv_to_rgb_coefficients unity{1.8f, 1.4f, -0.3f, -0.7f, 0, 256};
    const yuv_to_rgb_fp_coefficients k = generic_record(unity, false);
    unsigned char y[256], c[256];
    pixel_rgb555_t out[256];
    for (int i = 0; i < 256; ++i) y[i] = static_cast<unsigned char>(i);
    std::memset(c, 128, sizeof c);
    pixel_yuv444_to_rgb<pixel_rgb555_t>(y, c, c, out, 256, k);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(0x8000 + (i >> 3) * 0x421, out[i].value) << i;
    EXPECT_EQ(0xFFFF, out[255].value);

    // Y at the black level with neutral chroma: black, top bit set.
    const yuv_to_rgb_coefficients std16{1.8f, 1.4f, -0.3f, -0.7f, 16, 298};
    unsigned char y16 = 16, c128 = 128;
    pixel_rgb555_t p{};
    pixel_yuv444_to_rgb<pixel_rgb555_t>(&y16, &c128, &c128, &p, 1, generic_record(std16, false));
    EXPECT_EQ(0x8000, p.value);
}

TEST(Generic, ZeroChromaGainsGiveGrey) {
    const yuv_to_rgb_coefficients grey{0, 0, 0, 0, 16, 298};
    const yuv_to_rgb_fp_coefficients k = generic_record(grey, false);
    unsigned char y[3] = {40, 120, 200}, u[3] = {0, 90, 255}, v[3] = {255, 30, 0};
    pixel_rgb555_t out[3];
    pixel_yuv444_to_rgb<pixel_rgb555_t>(y, u, v, out, 3, k);
    for (const pixel_rgb555_t& p : out) {
        const int r = (p.value >> 10) & 31, g = (p.value >> 5) & 31, b = p.value & 31;
        EXPECT_EQ(r, g);
        EXPECT_EQ(g, b);
    }
}

TEST(Generic, Yuv411WritesWholeGroupsOnly) {
    const yuv_to_rgb_coefficients unity{0, 0, 0, 0, 0, 256};
    const yuv_to_rgb_fp_coefficients k = generic_record(unity, true);
    unsigned char y[8] = {8, 16, 24, 32, 40, 48, 56, 64}, c[2] = {128, 128};
    const struct { unsigned width, written; } table[] = {{6, 4}, {3, 0}, {8, 8}, {0, 0}};
    for (const auto& t : table) {
        pixel_rgb555_t out[8];
        for (pixel_rgb555_t& p : out) p.value = 0x1234;
        pixel_yuv411_to_rgb<pixel_rgb555_t>(y, c, c, out, t.width, k);
        for (unsigned i = 0; i < 8; ++i) {
            const uint16_t want = i < t.written ? 0x8000 + (y[i] >> 3) * 0x421 : 0x1234;
            EXPECT_EQ(want, out[i].value) << "width " << t.width << " pixel " << i;
        }
    }
}

// Runs many 15-bit frames in every layout, both channel orders, some too small to draw, and
// counts the warning lines. Exits with that count.
int count_warnings_of_many_frames() {
    char path[] = "/tmp/vexa_pixel_warnings_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 100;
    unlink(path);
    std::fflush(stderr);
    if (dup2(fd, STDERR_FILENO) < 0) return 101;
    frame_image_shortcuts layout{};
    layout.y_stride = layout.u_stride = layout.v_stride = 64;
    std::vector<uint8_t> plane(64 * 64, 128), fb(64 * 64 * 2);
    for (frame_converter f : {frame_yuv_to_rgb555, frame_yuv_to_bgr555}) {
        for (uint8_t h : {1, 2, 4}) {
            for (uint32_t height : {1u, 16u, 16u, 2u}) {
                f(fb.data(), &layout, 48, height, h, 1, plane.data(), plane.data(), plane.data(),
                  96);
            }
        }
    }
    std::fflush(stderr);
    std::string text(4096, '\0');
    const ssize_t n = pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    int lines = 0;
    for (size_t at = 0; (at = text.find("GENERIC WARNING: ", at)) != std::string::npos; ++at) {
        ++lines;
    }
    const bool all_four =
        text.find(
            "GENERIC WARNING: void pixel_yuv_prep_coeff_444(yuv_to_rgb_coefficients, "
            "yuv_to_rgb_fp_coefficients*) [with T = pixel_rgb555_t]\n") != std::string::npos &&
        text.find(
            "GENERIC WARNING: void pixel_yuv444_to_rgb(unsigned char*, unsigned char*, "
            "unsigned char*, T*, unsigned int, yuv_to_rgb_fp_coefficients) [with T = "
            "pixel_rgb555_t]\n") != std::string::npos &&
        text.find(
            "GENERIC WARNING: void pixel_yuv_prep_coeff_411(yuv_to_rgb_coefficients, "
            "yuv_to_rgb_fp_coefficients*) [with T = pixel_rgb555_t]\n") != std::string::npos &&
        text.find(
            "GENERIC WARNING: void pixel_yuv411_to_rgb(unsigned char*, unsigned char*, "
            "unsigned char*, T*, unsigned int, yuv_to_rgb_fp_coefficients) [with T = "
            "pixel_rgb555_t]\n") != std::string::npos;
    return all_four ? lines : 50 + lines;
}

TEST(GenericDeathTest, ExactlyFourWarningLinesPerProcess) {
    // A fresh process, so that warnings printed by other tests here do not count.
    test_common::use_fresh_process_death_tests();
    EXPECT_EXIT(std::_Exit(count_warnings_of_many_frames()), ::testing::ExitedWithCode(4), "");
}

}  // namespace
