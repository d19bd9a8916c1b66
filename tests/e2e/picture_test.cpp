// Clips made by a real encoder, played by the real binary on emulated framebuffers of every pixel
// format, compared with a double-precision picture of the same frame in the clip's colours.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e_harness.h"
#include "reference.h"

namespace {

struct Case {
    std::string name;
    const char* source;   // encoder input filter
    const char* pix_fmt;  // encoder pixel format
    const char* device;   // bpp and options of the emulated device
    const char* item_options;
    Field field;
    // Played as a video file made losslessly from the clip with these encoder arguments (the
    // extension first), rather than as the YUV4MPEG2 clip itself.
    std::vector<std::string> encode = {};
    Colour colour = kBt601;
};

// Test listings and failures show the case by its name, not as a dump of its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// What the conversion for this device and chroma layout may lose (see reference.h).
Quantisation quantisation(const std::string& device, const Y4mClip& clip) {
    if (device.rfind("32", 0) == 0 || device.rfind("24", 0) == 0) return kExact8;
    bool fifteen = device.rfind("15", 0) == 0 || device.find("green5") != std::string::npos;
    if (fifteen && clip.h_factor != 2) return kGeneric5;
    return kDithered5;
}

// Plays the clip to its end on one device and returns the snapshot of its last frame.
void play_and_compare(const Case& c) {
    if (!have_encoder()) GTEST_SKIP() << "ffmpeg is not installed";
    const int frames = 3;
    std::string clip_path = make_clip(c.source, "321x243", c.pix_fmt, frames);
    ASSERT_FALSE(clip_path.empty()) << "the encoder could not make the clip";
    Y4mClip clip = load_clip(clip_path);
    ASSERT_EQ(clip.width, 321u);  // odd on purpose: chroma tails and the last chroma line
    ASSERT_EQ(clip.height, 243u);
    std::string device = std::string("321x243x") + c.device;
    std::string item = c.encode.empty() ? clip_path : encode_clip(clip_path, c.encode);
    ASSERT_FALSE(item.empty()) << "the encoder could not make the video";
    Driver driver(
        "item=" + item + c.item_options + "\nautostart item=1\nrealtime process=0\nlock memory=0\n",
        {"--virtual-fb", device, "--unpaced"});
    ASSERT_TRUE(driver.wait_for_item_end()) << driver.status() << driver.log();
    ASSERT_EQ(driver.stop(), 1) << driver.log();

    RgbImage shown;
    ASSERT_TRUE(read_png(driver.snapshot(), &shown)) << driver.log();
    ASSERT_EQ(shown.width, 321u);
    ASSERT_EQ(shown.height, 243u);
    Quantisation q = quantisation(c.device, clip);
    // The 15-bit 4:1:1 conversion writes whole groups of four pixels only.
    unsigned drawn = q.dither == 0 && q.bits == 5 && clip.h_factor == 4 ? 320 : 0;
    Comparison result = compare_with_reference(
        clip, frames - 1, RgbView{shown.width, shown.height, shown.pixels.data()}, q, c.field,
        drawn, c.colour);
    EXPECT_EQ(result.outside, 0u) << describe(result);
    std::printf("  %-28s %s\n", c.name.c_str(), describe(result).c_str());
}

class PictureTest : public ::testing::TestWithParam<Case> {};

TEST_P(PictureTest, SnapshotMatchesReference) { play_and_compare(GetParam()); }

std::vector<Case> every_format_and_layout() {
    const std::pair<const char*, const char*> devices[] = {
        {"rgb565", "16"}, {"bgr565", "16,bgr"}, {"rgb555", "15"},           {"bgr555", "15,bgr"},
        {"rgb888", "32"}, {"bgr888", "32,bgr"}, {"direct565", "16,direct"}, {"green5", "16,green5"},
        {"rgb24", "24"},  {"bgr24", "24,bgr"},
    };
    const std::pair<const char*, const char*> layouts[] = {
        {"444", "yuv444p"}, {"422", "yuv422p"}, {"420", "yuv420p"}, {"411", "yuv411p"}};
    std::vector<Case> cases;
    for (auto& d : devices) {
        for (auto& l : layouts) {
            cases.push_back({std::string(d.first) + "_" + l.first, "testsrc2", l.second, d.second,
                             "", Field::both});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Clips, PictureTest, ::testing::ValuesIn(every_format_and_layout()),
                         [](const auto& info) { return info.param.name; });

// Colour bars hit the corners of the colour range, where truncation and saturation bite; single
// fields show each line of one field twice.
INSTANTIATE_TEST_SUITE_P(
    Bars, PictureTest,
    ::testing::Values(Case{"bars_rgb565", "smptebars", "yuv420p", "16", "", Field::both},
                      Case{"bars_bgr888", "smptebars", "yuv422p", "32,bgr", "", Field::both},
                      Case{"bars_bgr555", "smptebars", "yuv444p", "15,bgr", "", Field::both}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    SingleField, PictureTest,
    ::testing::Values(Case{"even_rgb888", "testsrc2", "yuv420p", "32", ",field=even", Field::even},
                      Case{"odd_rgb888", "testsrc2", "yuv420p", "32", ",field=odd", Field::odd},
                      Case{"odd_bgr565", "testsrc2", "yuv422p", "16,bgr", ",field=odd",
                           Field::odd}),
    [](const auto& info) { return info.param.name; });

// Video files: the colour tables follow the stream's matrix and range, and a BT.709 picture
// stays within the same allowance as BT.601 (the blue gain's hold at 2.0 included). The encoder
// takes odd sizes in 4:4:4 only; the lossless ffv1 takes every layout.
std::vector<std::string> encode(const char* codec, const char* colour_args) {
    std::vector<std::string> args = {std::string(codec) == "libx264" ? ".mp4" : ".mkv", "-c:v",
                                     codec};
    if (args[0] == ".mp4") args.insert(args.end(), {"-qp", "0"});
    std::istringstream words(colour_args);
    for (std::string w; words >> w;) args.push_back(w);
    return args;
}
const char kTagged709[] = "-colorspace bt709 -color_primaries bt709 -color_trc bt709";

INSTANTIATE_TEST_SUITE_P(
    Video, PictureTest,
    ::testing::Values(Case{"h264_601_rgb888", "testsrc2", "yuv444p", "32", "", Field::both,
                           encode("libx264", ""), kBt601},
                      Case{"h264_709_rgb888", "testsrc2", "yuv444p", "32", "", Field::both,
                           encode("libx264", kTagged709), kBt709},
                      Case{"bars_709_bgr888", "smptebars", "yuv444p", "32,bgr", "", Field::both,
                           encode("libx264", kTagged709), kBt709},
                      Case{"ffv1_709_bgr565", "testsrc2", "yuv420p", "16,bgr", "", Field::both,
                           encode("ffv1", kTagged709), kBt709},
                      Case{"ffv1_601full_rgb888", "testsrc2", "yuv420p", "32", "", Field::both,
                           encode("ffv1", "-color_range pc"), kBt601Full},
                      Case{"ffv1_709full_rgb565", "testsrc2", "yuv422p", "16", "", Field::both,
                           encode("ffv1", "-color_range pc -colorspace bt709"), kBt709Full},
                      Case{"ffv1_709_rgb555", "testsrc2", "yuv411p", "15", "", Field::both,
                           encode("ffv1", "-colorspace bt709"), kBt709}),
    [](const auto& info) { return info.param.name; });

}  // namespace
