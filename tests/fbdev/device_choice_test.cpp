#include "fbdev/device_choice.h"

#include "fbdev/device_settings.h"
#include "fbdev/fbdev_state.h"
#include "fbdev_fixture_support.h"

namespace {

TEST_F(FbdevTest, ExplicitIndexOpensWithoutScanning) {
    add("16x8x16,pci=0000:01:00.0");
    add("16x8x16,pci=0000:02:00.0");
    fb_index_setting = 1;
    device_setting = "pci:0000:01:00.0";  // the explicit index wins
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(fbdev_using_device, "/dev/fb1");
    EXPECT_FALSE(logged("opendir /sys/class/graphics"));
    EXPECT_NE(err.find("Using framebuffer: /dev/fb1\n  is device: 0000:02:00.0\n"),
              std::string::npos)
        << err;
}

TEST_F(FbdevTest, DefaultIsTheFirstDevice) {
    add("16x8x16");
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(fbdev_index, 0);
    EXPECT_EQ(fbdev_bus_id, "");
    EXPECT_NE(err.find("  is device: \n"), std::string::npos);
}

TEST_F(FbdevTest, BusIdIsFoundInDirectoryOrder) {
    add("16x8x16,pci=0000:01:00.0");
    add("16x8x16,pci=0000:03:00.0");
    add("16x8x16,pci=0000:03:00.0");
    devices.add_sysfs_entry("fbcon", "");
    devices.add_sysfs_entry("fb7", "../../../platform/simple-framebuffer.0");
    devices.add_sysfs_entry("fb8", "0000:03:00.1");  // a bare target is its own last component
    devices.set_sysfs_order({"fbcon", "fb2", "fb7", "fb1", "fb0", "fb8"});
    device_setting = "PCI:0000:03:00.0";
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(fbdev_index, 2);
    EXPECT_NE(err.find("  fb2 -> 0000:03:00.0\n    I found the device I wanted\nUsing framebuffer: "
                       "/dev/fb2\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("fb1 ->"), std::string::npos) << "the scan stops at the first match";
}

TEST_F(FbdevTest, UnknownBusIdListsTheCandidatesAndFails) {
    add("16x8x16,pci=0000:01:00.0");
    add("16x8x16");
    devices.add_sysfs_entry("fbcon", "");
    devices.add_sysfs_entry("fb9", "../../../0000:03:00.1");
    devices.add_sysfs_entry("gpu0", "../../../0000:04:00.0");
    device_setting = "pci:0000:03:00.0";
    EXPECT_EQ(open_device(), -1);
    EXPECT_EQ(err,
              "  fb0 -> 0000:01:00.0\n"
              "  fb9 -> 0000:03:00.1\n"
              "Did not choose a card\n");
    EXPECT_EQ(fbdev_index, -1);
    EXPECT_EQ(devices.log().back(), "closedir");
}

TEST(BusIdComponent, TakesTheLastComponentWhenItLooksHex) {
    const struct {
        const char* target;
        const char* component;
    } cases[] = {
        {"../../../0000:01:00.0", "0000:01:00.0"},
        {"0000:01:00.0", "0000:01:00.0"},
        {"../../devices/Ab:cd", "Ab:cd"},
        {"../../vfb.0", ""},
        {"../../", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bus_id_component(c.target), c.component) << c.target;
    }
}

}  // namespace
