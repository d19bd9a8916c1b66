#include <cstring>
#include <functional>

#include "fbdev/device_settings.h"
#include "fbdev/fbdev_state.h"
#include "fbdev_fixture_support.h"

namespace {

const std::string kNotice =
    "NOTICE: fbdev support is being discontinued, modesetting not applied.\n"
    "Please update your configuration to use the DRM/KMS output driver instead.";

struct FailureCase {
    const char* name;
    const char* spec;
    std::function<void(platform::VirtualFramebuffers&)> fault;
    const char* message;  // on standard error
    const char* error;    // fbdev_last_error
    bool opened;          // the device was opened, so init closed it again
};

TEST_F(FbdevTest, EachFailureReportsAndLeavesNothingTaken) {
    using VF = platform::VirtualFramebuffers;
    const FailureCase cases[] = {
        {"no card", "16x8x16,fbcon", [](VF&) { device_setting = "pci:0000:09:00.0"; },
         "Did not choose a card\n", "Did not choose a card", false},
        {"missing device", "16x8x16,fbcon", [](VF&) { fb_index_setting = 3; },
         "Unable to open framebuffer, No such file or directory\n",
         "Unable to open framebuffer, No such file or directory", false},
        {"open refused", "16x8x16,fbcon", [](VF& d) { d.fail_open(EACCES); },
         "Unable to open framebuffer, Permission denied\n",
         "Unable to open framebuffer, Permission denied", false},
        {"fixed info", "16x8x16,fbcon", [](VF& d) { d.fail_ioctl(FBIOGET_FSCREENINFO); },
         "Unable to query framebuffer info\n", "Unable to query framebuffer", true},
        {"mode", "16x8x16,fbcon", [](VF& d) { d.fail_ioctl(FBIOGET_VSCREENINFO); },
         "Unable to query framebuffer info\n", "Unable to query framebuffer", true},
        {"second query", "16x8x16,fbcon", [](VF& d) { d.fail_ioctl(FBIOGET_VSCREENINFO, EIO, 1); },
         "Unable to query framebuffer info\n", "Unable to query framebuffer info (2)", true},
        {"colour map read", "16x8x32,direct,fbcon", [](VF& d) { d.fail_ioctl(FBIOGETCMAP); },
         "Failed to get colormap\n", "Unable to read colormap/ramp", true},
        {"ramp load", "16x8x32,direct,fbcon", [](VF& d) { d.fail_ioctl(FBIOPUTCMAP, EIO); },
         "Failed to get colormap\n", "Unable to read colormap/ramp (2)", true},
        {"pseudo colour", "16x8x16,pseudo,fbcon", [](VF&) {}, "Unsupported format\n",
         "Framebuffer is set to an unsupported format", true},
        {"monochrome", "16x8x16,mono,fbcon", [](VF&) {}, "Unsupported format\n",
         "Framebuffer is set to an unsupported format", true},
        {"24 bpp, 6-bit green", "16x8x24,fbcon", [](VF& d) { d.device(0).var.green.length = 6; },
         "Unsupported format\n", "Framebuffer is set to an unsupported format", true},
        {"24 bpp, green outside", "16x8x24,fbcon",
         [](VF& d) {
             d.device(0).var.green.offset = 0;
             d.device(0).var.blue.offset = 8;
         },
         "Unsupported format\n", "Framebuffer is set to an unsupported format", true},
        {"mmap", "16x8x16,fbcon", [](VF& d) { d.fail_map(); }, "Unable to mmap\n", "Unable to mmap",
         true},
        {"zero line length", "16x8x16,fbcon", [](VF& d) { d.device(0).fix.line_length = 0; },
         "Unable to mmap\n", "Unable to mmap", true},
        {"length beyond 32 bits", "16x8x16,fbcon",
         [](VF& d) {
             d.device(0).fix.line_length = 0x10000;
             d.device(0).var.yres_virtual = 0x10000;
         },
         "Unable to mmap\n", "Unable to mmap", true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        add(c.spec);
        platform::VirtualDevice& device = devices.device(0);
        c.fault(devices);
        fb_var_screeninfo var_before = device.var;
        platform::VirtualColourMap cmap_before = device.cmap;

        EXPECT_EQ(open_device(320, 240), -1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(fbdev_last_error, c.error);
        if (c.opened) {
            EXPECT_EQ(devices.log().back(), "close") << "closed by init_video_out";
            EXPECT_EQ(fbdev_frame_width, -1);
            EXPECT_EQ(fbdev_fd, -1);
        } else {
            EXPECT_FALSE(logged("close"));
            EXPECT_EQ(fbdev_frame_width, std::strcmp(c.name, "no card") ? 320 : -1);
            close_device();  // as the display loop does
            EXPECT_EQ(fbdev_frame_width, -1);
            EXPECT_EQ(fbdev_fd, -1);
        }
        EXPECT_FALSE(devices.console_in_graphics());
        EXPECT_EQ(fbdev_cmap_r_g_b, nullptr);
        EXPECT_EQ(fbdev_old_cmap_r_g_b, nullptr);
        EXPECT_EQ(fbdev_map, nullptr);
        EXPECT_EQ(devices.mappings(), 0);
        EXPECT_EQ(std::memcmp(&device.var, &var_before, sizeof var_before), 0);
        EXPECT_EQ(device.cmap.red, cmap_before.red);
        EXPECT_EQ(device.cmap.blue, cmap_before.blue);
    }
}

TEST_F(FbdevTest, ModeIsWrittenBackOnlyWhenThisOpenReadIt) {
    add("16x8x16");
    add("32x8x32");
    ASSERT_EQ(open_device(), 0);
    close_device();  // fbdev_old_var now holds fb0's mode
    fb_index_setting = 1;
    devices.fail_ioctl(FBIOGET_VSCREENINFO);
    devices.clear_log();
    EXPECT_EQ(open_device(), -1);
    EXPECT_FALSE(logged("ioctl FBIOPUT_VSCREENINFO"));
    EXPECT_EQ(devices.device(1).var.xres, 32u);

    devices.clear_faults();
    devices.fail_ioctl(FBIOGET_VSCREENINFO, EIO, 1);  // the second query
    devices.clear_log();
    EXPECT_EQ(open_device(), -1);
    EXPECT_TRUE(logged("ioctl FBIOPUT_VSCREENINFO"));
}

TEST_F(FbdevTest, RestoreFailureIsReportedAndTheDeviceClosedAnyway) {
    add("16x8x16");
    ASSERT_EQ(open_device(), 0);
    devices.fail_mode_restore();
    close_device();
    EXPECT_EQ(err, "Warning: Failed to restore video mode\n");
    EXPECT_EQ(devices.log().back(), "close");
    EXPECT_EQ(fbdev_fd, -1);
}

TEST_F(FbdevTest, CloseUndoesInOrderAndClearsEveryRow) {
    add("16x8x32,direct,fbcon,vyres=24,stride=80");
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(fbdev_map_length, 80u * 24u);
    std::memset(fbdev_map, 0x5a, fbdev_map_length);
    EXPECT_TRUE(devices.console_in_graphics());
    devices.clear_log();
    close_device();
    std::vector<std::string> expected = {"console text", "ioctl FBIOPUTCMAP", "unmap",
                                         "ioctl FBIOPUT_VSCREENINFO", "close"};
    EXPECT_EQ(devices.log(), expected);
    EXPECT_EQ(devices.device(0).memory, std::vector<uint8_t>(80 * 24, 0));
    EXPECT_EQ(fbdev_frame_width, -1);
    EXPECT_EQ(fbdev_frame_height, -1);
    EXPECT_EQ(fbdev_map_length, 0u);

    devices.clear_log();
    close_device();
    EXPECT_TRUE(devices.log().empty()) << "a second close touches nothing";
    EXPECT_EQ(fbdev_frame_width, -1);
}

TEST_F(FbdevTest, CloseKeepsWhatTheStatusReportShows) {
    add("16x8x16,id=keepme,kms,pci=0000:00:02.0");
    ASSERT_EQ(open_device(), 0);
    close_device();
    EXPECT_EQ(fbdev_using_device, "/dev/fb0");
    EXPECT_EQ(fbdev_bus_id, "0000:00:02.0");
    EXPECT_EQ(fbdev_index, 0);
    EXPECT_EQ(fbdev_last_notes, "Is KMS. \n" + kNotice);
    EXPECT_EQ(std::string(fbdev_fix.id), "keepmedrmfb");
    EXPECT_EQ(fbdev_var.xres, 16u);
    EXPECT_EQ(fbdev_is_kms, 1);
}

TEST_F(FbdevTest, SecondOpenWhileOpenChangesNothing) {
    add("16x8x16");
    ASSERT_EQ(open_device(320, 240), 0);
    devices.clear_log();
    EXPECT_EQ(open_device(640, 480), 0);
    EXPECT_TRUE(devices.log().empty());
    EXPECT_EQ(err, "");
    EXPECT_EQ(fbdev_frame_width, 320);
    EXPECT_EQ(fbdev_frame_height, 240);
}

TEST_F(FbdevTest, NotesNameWhatHappened) {
    const struct {
        const char* spec;
        bool unblank_fails;
        std::string notes;
    } cases[] = {
        {"16x8x16", false, kNotice},
        {"16x8x16", true, "Unblank failed. \n" + kNotice},
        {"16x8x16,fbcon", false, "Taking fbcon. \n" + kNotice},
        {"16x8x16,kms", false, "Is KMS. \n" + kNotice},
        {"16x8x16,kms,fbcon", true, "Unblank failed. Taking fbcon. Is KMS. \n" + kNotice},
    };
    EXPECT_EQ(kNotice.size(), 144u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spec);
        fresh();
        add(c.spec);
        if (c.unblank_fails) devices.fail_ioctl(FBIOBLANK, EINVAL);
        ASSERT_EQ(open_device(), 0);
        EXPECT_EQ(fbdev_last_notes, c.notes);
        EXPECT_EQ(fbdev_last_error, "");
        EXPECT_EQ(
            err.find("WARNING: Failed to unblank display, Invalid argument\n") != std::string::npos,
            c.unblank_fails);
    }
}

TEST_F(FbdevTest, PrintsTheDeviceSummary) {
    add("16x8x16,id=0123456789abcdefXYZ,vyres=20,stride=64,kms");
    ASSERT_EQ(open_device(), 0);
    EXPECT_EQ(err,
              "Using framebuffer: /dev/fb0\n"
              "  is device: \n"
              "**NOTICE: The framebuffer device is tied to the Linux DRM/KMS modesetting "
              "interface.\n"
              "          For best performance and utilization of your video hardware please use "
              "the\n"
              "          drmkms output driver instead.\n"
              "Modesetting with fbdev for anything other than the BochsVBE driver is disabled.\n"
              "This fbdev driver is being discontinued and will be removed eventually.\n"
              "Framebuffer:\n"
              "  0123456789abcdef mem@0xE0000000+1280 stride=64\n"
              "  16 x 8 (out of 16 x 20) 16bpp\n");
}

}  // namespace
