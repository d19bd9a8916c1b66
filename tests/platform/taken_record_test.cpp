// The record of what the driver has taken, and giving it back through the seam.
#include "platform/taken_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/virtual_framebuffers.h"

namespace platform {
namespace {

class TakenRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexa-taken-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir = pattern;
        ASSERT_EQ(devices.add("8x4x16,direct,fbcon"), 0);
        set_seam(&devices);
        taken_set_record_path(record().c_str());
    }
    void TearDown() override {
        taken_note_device_closed();
        taken_note_console(false);
        taken_set_record_path(nullptr);
        set_seam(nullptr);
        unlink(record().c_str());
        rmdir(dir.c_str());
    }
    std::string record() const { return dir + "/taken"; }

    // Opens the device and takes what the driver takes from it: console, mode, colour map.
    int take_all() {
        const int fd = devices.open("/dev/fb0", 0);
        fb_var_screeninfo mode{};
        devices.ioctl(fd, FBIOGET_VSCREENINFO, &mode);
        uint16_t entries[3][kTakenMapEntries];
        fb_cmap map{0, kTakenMapEntries, entries[0], entries[1], entries[2], nullptr};
        devices.ioctl(fd, FBIOGETCMAP, &map);
        taken_note_console(true);
        devices.set_console_graphics(true);
        taken_note_device("/dev/fb0", fd, mode);
        taken_note_colour_map(map);
        // What the driver then does to the device: a ramp, another mode.
        for (auto& row : entries)
            for (uint16_t& e : row) e = 0x1234;
        devices.ioctl(fd, FBIOPUTCMAP, &map);
        mode.xres = 4;
        devices.ioctl(fd, FBIOPUT_VSCREENINFO, &mode);
        devices.clear_log();
        return fd;
    }

    std::string dir;
    VirtualFramebuffers devices;
};

TEST_F(TakenRecordTest, RecordHoldsWhatIsTakenAndGoesOnceNothingIs) {
    TakenState read{};
    EXPECT_NE(0, taken_read_record(record().c_str(), &read));
    const int fd = take_all();
    ASSERT_EQ(0, taken_read_record(record().c_str(), &read));
    EXPECT_EQ(getpid(), read.owner_pid);
    EXPECT_TRUE(read.console_taken && read.mode_saved && read.map_saved);
    EXPECT_STREQ("/dev/fb0", read.device);
    EXPECT_EQ(8u, read.mode.xres);
    EXPECT_EQ(-1, read.device_fd);  // a descriptor means nothing to another process

    // Given back from the record alone, as after SIGKILL: opened by path, everything restored.
    devices.close(fd);
    devices.clear_log();
    EXPECT_EQ(0, taken_give_back(read, false));
    const std::vector<std::string> expected = {"console text", "open /dev/fb0", "ioctl FBIOPUTCMAP",
                                               "ioctl FBIOPUT_VSCREENINFO", "close"};
    EXPECT_EQ(expected, devices.log());
    VirtualDevice& device = devices.device(0);
    EXPECT_EQ(device.opened_cmap.red, device.cmap.red);
    EXPECT_EQ(device.opened_cmap.blue, device.cmap.blue);
    EXPECT_EQ(8u, device.var.xres);
    EXPECT_FALSE(devices.console_in_graphics());

    taken_note_device_closed();
    EXPECT_EQ(0, access(record().c_str(), F_OK));  // the console is still taken
    taken_note_console(false);
    EXPECT_NE(0, access(record().c_str(), F_OK));
}

TEST_F(TakenRecordTest, AFailedStepIsReportedAndTheOthersStillRun) {
    take_all();
    devices.fail_mode_restore();
    EXPECT_NE(0, taken_give_back(taken_state(), true));
    // On the open descriptor, as a signal handler does: no open, no close.
    const std::vector<std::string> expected = {"console text", "ioctl FBIOPUTCMAP",
                                               "ioctl FBIOPUT_VSCREENINFO failed"};
    EXPECT_EQ(expected, devices.log());
}

TEST_F(TakenRecordTest, ARecordThatCannotBeTrustedIsRefused) {
    take_all();
    std::ifstream in(record(), std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(sizeof(TakenState), whole.size());
    std::string long_map = whole;
    TakenState* state = reinterpret_cast<TakenState*>(&long_map[0]);
    state->map_length = kTakenMapEntries + 1;
    const std::string cases[] = {whole.substr(0, whole.size() / 2), "not a record", long_map};
    for (const std::string& bytes : cases) {
        std::ofstream(record(), std::ios::binary) << bytes;
        TakenState read{};
        EXPECT_NE(0, taken_read_record(record().c_str(), &read));
    }
}

}  // namespace
}  // namespace platform
