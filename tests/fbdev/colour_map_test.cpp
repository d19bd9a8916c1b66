#include "fbdev/colour_map.h"

#include <functional>

#include "fbdev/fbdev_state.h"
#include "fbdev_fixture_support.h"

namespace {

struct RampCase {
    const char* spec;
    std::function<void(fb_var_screeninfo&)> adjust;  // for depths SPEC cannot describe
    const char* message;
    unsigned len;
    std::vector<std::pair<unsigned, std::array<uint16_t, 3>>> entries;  // i -> r, g, b
};

TEST_F(FbdevTest, DirectColourDevicesGetRampsAndGetTheirMapBack) {
    const RampCase cases[] = {
        {"8x2x16,direct",
         nullptr,
         "5:6:5 colormap\n",
         64,
         {{1, {2048, 1024, 2048}},
          {31, {63488, 31744, 63488}},
          {32, {0, 32768, 0}},
          {63, {63488, 64512, 63488}}}},
        {"8x2x16,direct,green5",
         nullptr,
         "5:5:5 colormap\n",
         32,
         {{1, {2048, 2048, 2048}}, {31, {63488, 63488, 63488}}}},
        {"8x2x24,direct",
         nullptr,
         "8:8:8 colormap\n",
         256,
         {{1, {256, 256, 256}}, {255, {65280, 65280, 65280}}}},
        {"8x2x32,direct,bgr", nullptr, "8:8:8 colormap\n", 256, {{255, {65280, 65280, 65280}}}},
        {"8x2x15,direct", nullptr, "5:5:5 colormap\n", 32, {{31, {63488, 63488, 63488}}}},
        {"8x2x16,direct",
         [](fb_var_screeninfo& var) {
             var.bits_per_pixel = 8;
             var.red = {5, 3, 0};
             var.green = {2, 3, 0};
             var.blue = {0, 2, 0};
         },
         "3:3:2 colormap\n",
         8,
         {{3, {24576, 24576, 49152}}, {4, {32768, 32768, 0}}}},
    };
    for (const RampCase& c : cases) {
        SCOPED_TRACE(c.spec);
        fresh();
        add(c.spec);
        platform::VirtualDevice& device = devices.device(0);
        if (c.adjust) c.adjust(device.var);
        platform::VirtualColourMap saved = device.cmap;
        ASSERT_EQ(open_device(), 0);
        EXPECT_NE(err.find(std::string("Ugh, directcolor mapping.\n") + c.message),
                  std::string::npos)
            << err;
        EXPECT_EQ(fbdev_cmap.len, c.len);
        for (const auto& entry : c.entries) {
            unsigned i = entry.first;
            EXPECT_EQ(device.cmap.red[i], entry.second[0]) << i;
            EXPECT_EQ(device.cmap.green[i], entry.second[1]) << i;
            EXPECT_EQ(device.cmap.blue[i], entry.second[2]) << i;
        }
        if (c.len < 256) {
            EXPECT_EQ(device.cmap.red[c.len], saved.red[c.len]) << "past the ramp untouched";
        }
        close_device();
        EXPECT_EQ(device.cmap.red, saved.red);
        EXPECT_EQ(device.cmap.green, saved.green);
        EXPECT_EQ(device.cmap.blue, saved.blue);
        EXPECT_EQ(fbdev_old_cmap.len, 0u);
        EXPECT_EQ(fbdev_cmap.red, nullptr);
    }
}

TEST_F(FbdevTest, FailedMapReadLoadsNothingBack) {
    add("8x2x32,direct");
    devices.fail_ioctl(FBIOGETCMAP);
    EXPECT_EQ(open_device(), -1);
    EXPECT_FALSE(logged("ioctl FBIOPUTCMAP"));
}

TEST_F(FbdevTest, FailedRampLoadStillRestoresTheSavedMap) {
    add("8x2x32,direct");
    devices.fail_ioctl(FBIOPUTCMAP, EIO);
    EXPECT_EQ(open_device(), -1);
    std::vector<std::string> expected = {"ioctl FBIOGETCMAP", "ioctl FBIOPUTCMAP failed",
                                         "ioctl FBIOPUTCMAP failed", "ioctl FBIOPUT_VSCREENINFO",
                                         "close"};
    EXPECT_EQ(log_from("ioctl FBIOGETCMAP"), expected);
}

TEST_F(FbdevTest, TrueColourMakesNoColourMapCall) {
    add("8x2x32");
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(fbdev_old_cmap_r_g_b, nullptr);
    EXPECT_EQ(fbdev_cmap_r_g_b, nullptr);
    close_device();
    EXPECT_FALSE(logged("ioctl FBIOGETCMAP"));
    EXPECT_FALSE(logged("ioctl FBIOPUTCMAP"));
}

}  // namespace
