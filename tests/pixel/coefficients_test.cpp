// Preparation of the fixed-point records, the runtime's two tables, and the proof that no legal
// chroma sample wraps a 16-bit lane with those tables.
#include <gtest/gtest.h>

#include <cstdint>

#include "pixel/fp_coefficients.h"

namespace {

TEST(Coefficients, LaneAndScalarPreparation) {
    const yuv_to_rgb_coefficients t{1.5f, -1.75f, -0.25f, 0.5f, 16, 298};
    yuv_to_rgb_fp_coefficients lane{}, scalar{};
    pixel_yuv_prep_coeff_444<pixel_rgb565_t>(t, &lane);
    pixel_yuv_prep_coeff_411<pixel_rgb565_t>(t, &scalar);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(96, lane.low_from_c1_lanes[i]);
        EXPECT_EQ(-112, lane.high_from_c2_lanes[i]);
        EXPECT_EQ(-32, lane.green_from_c1_lanes[i]);
        EXPECT_EQ(64, lane.green_from_c2_lanes[i]);
        EXPECT_EQ(16, lane.luma_offset_lanes[i]);
        EXPECT_EQ(74, lane.luma_gain_lanes[i]);
        EXPECT_EQ(74, scalar.luma_gain_lanes[i]);
    }
    EXPECT_EQ(192, scalar.scaled_coeffs[0]);
    EXPECT_EQ(-224, scalar.scaled_coeffs[1]);
    EXPECT_EQ(-32, scalar.scaled_coeffs[2]);
    EXPECT_EQ(64, scalar.scaled_coeffs[3]);

    yuv_to_rgb_fp_coefficients wide{};
    pixel_yuv_prep_coeff_444<pixel_rgb888_t>(t, &wide);  // sA = 128
    EXPECT_EQ(192, wide.low_from_c1_lanes[0]);
}

TEST(Coefficients, TruncationTowardZeroAndLow16Bits) {
    // 300 x 128 = 38400 keeps its low 16 bits as -27136; -0.999 truncates to 0, not -1.
    const yuv_to_rgb_coefficients t{300.0f, -0.999f / 128, 1.0f / 256, -513.0f, 0x12345, 0x40001};
    yuv_to_rgb_fp_coefficients k{};
    pixel_prep_lane_form(t, 128.0f, 128.0f, &k);
    EXPECT_EQ(-27136, k.low_from_c1_lanes[0]);
    EXPECT_EQ(0, k.high_from_c2_lanes[0]);
    EXPECT_EQ(0, k.green_from_c1_lanes[0]);
    EXPECT_EQ(static_cast<int16_t>(-65664), k.green_from_c2_lanes[0]);
    EXPECT_EQ(0x2345, k.luma_offset_lanes[0]);
    EXPECT_EQ(0x0000, k.luma_gain_lanes[0]);  // 0x40001 >> 2 = 0x10000
    EXPECT_EQ(0, pixel_truncate_low32(__builtin_nanf("")));
    EXPECT_EQ(0, pixel_truncate_low32(1e30f));
}

TEST(Coefficients, BlueFirstTableIsTheExchange) {
    const yuv_to_rgb_coefficients& a = standard_yuv_coefficients;
    const yuv_to_rgb_coefficients& b = standard_yuv_coefficients_srb;
    EXPECT_EQ(a.low_from_c1, b.high_from_c2);
    EXPECT_EQ(a.high_from_c2, b.low_from_c1);
    EXPECT_EQ(a.green_from_c1, b.green_from_c2);
    EXPECT_EQ(a.green_from_c2, b.green_from_c1);
    EXPECT_EQ(a.luma_offset, b.luma_offset);
    EXPECT_EQ(a.luma_gain, b.luma_gain);
    EXPECT_EQ(16u, a.luma_offset);
    EXPECT_EQ(298u, a.luma_gain);
}

// Every chroma sample 0..255, in every form that takes a product without doubling it first: the
// product must be the true one (no lo16 wrap), and so must green's 32-bit sum. For the tables of
// every colour signal an item may declare.
TEST(Coefficients, NoChromaSampleWrapsWithTheStandardTables) {
    for (const colour_signal& signal :
         {colour_signal{colour_matrix::bt601, false}, colour_signal{colour_matrix::bt709, false},
          colour_signal{colour_matrix::bt601, true}, colour_signal{colour_matrix::bt709, true}}) {
        SCOPED_TRACE(colour_signal_name(signal));
        yuv_coefficients_select(signal);
        for (const yuv_to_rgb_coefficients* t :
             {&standard_yuv_coefficients, &standard_yuv_coefficients_srb}) {
            yuv_to_rgb_fp_coefficients doubled{}, single{}, scalar{};
            pixel_prep_lane_form(*t, 64.0f, 128.0f, &doubled);
            pixel_prep_lane_form(*t, 128.0f, 128.0f, &single);
            pixel_prep_scalar_form(*t, &scalar);
            const int32_t gains[] = {
                doubled.low_from_c1_lanes[0],   doubled.high_from_c2_lanes[0],
                doubled.green_from_c1_lanes[0], doubled.green_from_c2_lanes[0],
                single.low_from_c1_lanes[0],    single.high_from_c2_lanes[0],
                scalar.scaled_coeffs[0],        scalar.scaled_coeffs[1],
                scalar.scaled_coeffs[2],        scalar.scaled_coeffs[3],
            };
            // The lanes must hold the scaled gain itself, not a wrapped copy of it.
            EXPECT_EQ(scalar.scaled_coeffs[0], single.low_from_c1_lanes[0]);
            EXPECT_EQ(scalar.scaled_coeffs[1], single.high_from_c2_lanes[0]);
            for (int32_t g : gains) {
                for (int s = 0; s < 256; ++s) {
                    const int32_t product = (s - 128) * g;
                    EXPECT_EQ(product, static_cast<int16_t>(product))
                        << "gain " << g << " sample " << s;
                }
            }
            for (int s1 = 0; s1 < 256; ++s1) {
                for (int s2 = 0; s2 < 256; ++s2) {
                    const int32_t sum =
                        (s1 - 128) * scalar.scaled_coeffs[2] + (s2 - 128) * scalar.scaled_coeffs[3];
                    ASSERT_EQ(sum, static_cast<int16_t>(sum)) << s1 << "," << s2;
                }
            }
        }
    }
    yuv_coefficients_select(colour_signal{});
}

}  // namespace
