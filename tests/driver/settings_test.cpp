// Configuration file and live settings.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/driver_settings.h"
#include "driver/live_settings.h"
#include "driver/render_config.h"
#include "driver_test_support.h"
#include "fbdev/device_settings.h"
#include "fbdev/vsync.h"
#include "runtime/runtime_api.h"

namespace {

int reset_calls = 0;
int count_reset() {
    ++reset_calls;
    return 0;
}

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_calls = 0;
        output_on_reset_media_item = count_reset;
        output_media_item_set_output_media_item("");
        autostart_item = false;
        restart_flag = false;
        vexa_run_as_realtime = false;
        vexa_do_mlock = false;
        take_fbcon_setting = -1;
        device_setting.clear();
        fb_index_setting = -1;
        output_media_item_reconnect_at = 12345;
        change_vsync_setting(vsync_off);
    }
    void TearDown() override { output_on_reset_media_item = nullptr; }

    int load(const std::string& content) {
        dir.write("render.conf", content);
        return load_render_config(dir.file("render.conf").c_str());
    }

    driver_test::TempDir dir;
};

TEST_F(SettingsTest, MissingFileChangesNothing) {
    output_media_item_set_output_media_item("pattern:bars");
    EXPECT_EQ(-1, load_render_config(dir.file("absent.conf").c_str()));
    EXPECT_EQ("pattern:bars", output_media_item);
    EXPECT_FALSE(vexa_run_as_realtime);
    EXPECT_FALSE(vexa_do_mlock);
    EXPECT_EQ(0, reset_calls);
    EXPECT_EQ(12345u, output_media_item_reconnect_at);
}

TEST_F(SettingsTest, EmptyFileSetsDefaultsOnly) {
    output_media_item_set_output_media_item("pattern:bars");
    take_fbcon_setting = 0;
    EXPECT_EQ(0, load(""));
    EXPECT_EQ("", output_media_item);
    EXPECT_TRUE(vexa_run_as_realtime);
    EXPECT_TRUE(vexa_do_mlock);
    EXPECT_EQ(0, take_fbcon_setting);  // not reset by a load
    EXPECT_EQ(0, reset_calls);
}

TEST_F(SettingsTest, EveryItemLineResetsAndTheLastWins) {
    ASSERT_EQ(0, load("item=pattern:bars\nitem=pattern:bars\n\titem = pattern:ramps\n"));
    EXPECT_EQ("pattern:ramps", output_media_item);
    EXPECT_EQ(3, reset_calls);
    EXPECT_TRUE(restart_flag);
    EXPECT_EQ(0u, output_media_item_reconnect_at);
}

TEST_F(SettingsTest, FileLines) {
    struct Case {
        const char* content;
        const char* item;
        bool autostart;
        bool realtime;
        bool mlock;
        int take_fbcon;
        const char* device;
        int fb_index;
    };
    const Case cases[] = {
        // Only the exact lower-case "item" is the media item; "Item" is an unknown setting.
        {"Item=pattern:bars\n", "", false, true, true, -1, "", -1},
        {"DEVICE=pci:0000:01:00.0\n", "", false, true, true, -1, "pci:0000:01:00.0", -1},
        {"device=PCI:0000:01:00.0\n", "", false, true, true, -1, "", -1},
        {"device=/dev/fb2\n", "", false, true, true, -1, "", 2},
        {"device=/dev/fb010\n", "", false, true, true, -1, "", 8},
        {"device=/dev/fb2\ndevice=fb3\n", "", false, true, true, -1, "", -1},
        {"take framebuffer console=1\ntake framebuffer console=\n", "", false, true, true, -1, "",
         -1},
        {"Take Framebuffer Console=0\n", "", false, true, true, 0, "", -1},
        // Words parse as 0: never take the console, no autostart, no realtime.
        {"take framebuffer console=always\n", "", false, true, true, 0, "", -1},
        {"autostart item=yes\nrealtime process=yes\n", "", false, false, true, -1, "", -1},
        {"autostart item=1\n", "", true, true, true, -1, "", -1},
        // "realtime process" and "lock memory" read the base from the prefix.
        {"realtime process=0x10\nlock memory=010\n", "", false, true, true, -1, "", -1},
        {"REALTIME PROCESS=0x0\nLock Memory=00\n", "", false, false, false, -1, "", -1},
        {"autostart item=0x10\n", "", false, true, true, -1, "", -1},  // base 10: "0"
        {" \t \titem=pattern:bars\n\t autostart item=2\n", "pattern:bars", true, true, true, -1, "",
         -1},
        {"item=pattern:bars\r\nautostart item=1\r\n", "pattern:bars", true, true, true, -1, "", -1},
        {"no pair here\n=nameless\nunknown=1\nitem=pattern:bars", "pattern:bars", false, true, true,
         -1, "", -1},
    };
    for (const Case& c : cases) {
        SetUp();
        SCOPED_TRACE(c.content);
        ASSERT_EQ(0, load(c.content));
        EXPECT_EQ(c.item, output_media_item);
        EXPECT_EQ(c.autostart, autostart_item);
        EXPECT_EQ(c.realtime, vexa_run_as_realtime);
        EXPECT_EQ(c.mlock, vexa_do_mlock);
        EXPECT_EQ(c.take_fbcon, take_fbcon_setting);
        EXPECT_EQ(c.device, device_setting);
        EXPECT_EQ(c.fb_index, fb_index_setting);
    }
}

TEST_F(SettingsTest, OverlongLineIsSkippedWholeWithItsNumber) {
    // The tail of an overlong comment must not become a setting, nor an item path be cut short.
    const std::string comment = "# " + std::string(1100, 'x') + " item=/x.y4m device=/dev/fb3";
    const std::string path = "item=/" + std::string(1100, 'p') + ".y4m";
    const std::string longest = "item=" + std::string(1023 - 5, 'a');  // fits exactly
    driver_test::StderrCapture err;
    ASSERT_EQ(0, load("autostart item=1\n" + comment + "\n" + path + "\n" + longest +
                      "\ntake framebuffer console=0\n" + std::string(5000, 'z')));
    const std::string text = err.text();
    EXPECT_EQ(std::string(1018, 'a'), output_media_item);
    EXPECT_EQ(-1, fb_index_setting);
    EXPECT_TRUE(autostart_item);
    EXPECT_EQ(0, take_fbcon_setting);
    for (const char* number : {"line 2 ", "line 3 ", "line 6 "})
        EXPECT_NE(std::string::npos, text.find(number)) << text;
    EXPECT_EQ(std::string::npos, text.find("line 4 ")) << text;
}

TEST_F(SettingsTest, ByteOrderMarkBeforeTheFirstLineIsSkipped) {
    ASSERT_EQ(0, load("\xEF\xBB\xBFitem=pattern:bars\nautostart item=1\n"));
    EXPECT_EQ("pattern:bars", output_media_item);
    EXPECT_TRUE(autostart_item);
}

TEST_F(SettingsTest, OnlySmallRegularFilesAreRead) {
    // A link to a regular file is followed; anything else fails without touching a setting (a
    // FIFO without a writer must not block, a device that never ends must not spin).
    dir.write("real.conf", "item=pattern:bars\n");
    ASSERT_EQ(0, symlink(dir.file("real.conf").c_str(), dir.file("link.conf").c_str()));
    ASSERT_EQ(0, mkfifo(dir.file("fifo.conf").c_str(), 0600));
    dir.write("big.conf", "item=pattern:bars\n" + std::string(1024 * 1024, '#'));
    struct Case {
        std::string path;
        int result;
        const char* reason;
    };
    const Case cases[] = {
        {dir.file("link.conf"), 0, ""},
        {dir.path(), -1, "not a regular file"},
        {dir.file("fifo.conf"), -1, "not a regular file"},
        {"/dev/zero", -1, "not a regular file"},
        {"/dev/urandom", -1, "not a regular file"},
        {dir.file("big.conf"), -1, "larger than 1 MiB"},
        {dir.file("absent.conf"), -1, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SetUp();
        output_media_item_set_output_media_item("pattern:ramps");
        SCOPED_TRACE(c.path);
        driver_test::StderrCapture err;
        EXPECT_EQ(c.result, load_render_config(c.path.c_str()));
        EXPECT_NE(std::string::npos, err.text().find(c.reason));
        EXPECT_EQ(c.result == 0 ? "pattern:bars" : "pattern:ramps", output_media_item);
    }
}

TEST_F(SettingsTest, NumberOutOfRangeKeepsTheSettingAndWarns) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"autostart item", "99999999999999999999"},
        {"autostart item", "-99999999999999999999"},
        {"autostart item", "4294967296"},  // would wrap to 0 as an int
        {"realtime process", "0x100000000"},
        {"lock memory", "-4294967297"},
        {"take framebuffer console", "99999999999999999999"},
        {"device", "/dev/fb4294967296"},
    };
    for (const Case& c : cases) {
        SetUp();
        autostart_item = true;
        take_fbcon_setting = 1;
        fb_index_setting = 2;
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        driver_test::StderrCapture err;
        ASSERT_EQ(0, load(std::string("realtime process=0\nlock memory=0\n") + c.name + "=" +
                          c.value + "\n"));
        EXPECT_NE(std::string::npos, err.text().find("out of range"));
        EXPECT_TRUE(autostart_item);
        EXPECT_FALSE(vexa_run_as_realtime);
        EXPECT_FALSE(vexa_do_mlock);
        EXPECT_EQ(1, take_fbcon_setting);
        EXPECT_EQ(2, fb_index_setting);
    }
    // Live changes are held to the same range.
    SetUp();
    autostart_item = true;
    driver_on_set(nullptr, "autostart item", "99999999999999999999");
    EXPECT_TRUE(autostart_item);
}

TEST_F(SettingsTest, LiveChangesThatRestart) {
    struct Case {
        const char* name;
        const char* value;
        bool restarts;
    };
    // Current state: item "pattern:bars", take_fbcon_setting 1, device /dev/fb1.
    const Case cases[] = {
        {"item", "pattern:bars", false},
        {"item", "pattern:ramps", true},
        {"item", "", true},
        {"take framebuffer console", "1", false},
        {"take framebuffer console", "0", true},
        {"take framebuffer console", "", true},
        {"device", "/dev/fb1", true},  // always, even unchanged
        {"device", "", true},
        {"autostart item", "1", false},
        {"vsync", "2", false},  // the framebuffer may reopen; the item goes on
        {"realtime process", "1", false},
        {"unknown", "1", false},
    };
    for (const Case& c : cases) {
        SetUp();
        output_media_item_set_output_media_item("pattern:bars");
        take_fbcon_setting = 1;
        fb_index_setting = 1;
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        driver_on_set(nullptr, c.name, c.value);
        EXPECT_EQ(c.restarts, restart_flag);
        EXPECT_EQ(c.restarts ? 1 : 0, reset_calls);
        EXPECT_EQ(c.restarts ? 0u : 12345u, output_media_item_reconnect_at);
    }
}

TEST_F(SettingsTest, LiveValuesTakeEffect) {
    driver_on_set(nullptr, "item", "pattern:ramps");
    EXPECT_EQ("pattern:ramps", output_media_item);
    driver_on_set(nullptr, "take framebuffer console", "");
    EXPECT_EQ(-1, take_fbcon_setting);
    driver_on_set(nullptr, "take framebuffer console", "2");
    EXPECT_EQ(2, take_fbcon_setting);
    driver_on_set(nullptr, "Device", "pci:0000:02:00.0");
    EXPECT_EQ("pci:0000:02:00.0", device_setting);
    driver_on_set(nullptr, "device", "/dev/fb0x1");  // base 0 after the prefix: "0x1"
    EXPECT_EQ("", device_setting);
    EXPECT_EQ(1, fb_index_setting);
    driver_on_set(nullptr, "autostart item", "3");
    EXPECT_TRUE(autostart_item);
    // File-only settings are ignored live.
    driver_on_set(nullptr, "realtime process", "1");
    driver_on_set(nullptr, "lock memory", "1");
    EXPECT_FALSE(vexa_run_as_realtime);
    EXPECT_FALSE(vexa_do_mlock);
}

TEST_F(SettingsTest, VsyncIsZeroOneOrTwoFromFileAndLive) {
    const struct {
        const char* line;
        int setting;
        const char* warning;
    } cases[] = {
        {"vsync=1", 1, ""},
        {"VSync=2", 2, ""},
        {"vsync=0", 0, ""},
        {"vsync=3", 1, "WARNING: vsync=3 is not 0, 1 or 2; keeping 1\n"},
        {"vsync=-1", 1, "WARNING: vsync=-1 is not 0, 1 or 2; keeping 1\n"},
        {"vsync=on", 1, "WARNING: vsync=on is not 0, 1 or 2; keeping 1\n"},
        {"vsync=2x", 1, "WARNING: vsync=2x is not 0, 1 or 2; keeping 1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        for (bool live : {false, true}) {
            SetUp();
            change_vsync_setting(vsync_wait);
            driver_test::StderrCapture capture;
            if (live) {
                const std::string line = c.line;
                const size_t equals = line.find('=');
                driver_on_set(nullptr, line.substr(0, equals).c_str(), line.substr(equals + 1));
            } else {
                EXPECT_EQ(0, load(std::string(c.line) + "\n"));
            }
            EXPECT_EQ(c.warning, capture.text());
            EXPECT_EQ(c.setting, vsync_setting);
            EXPECT_FALSE(restart_flag);
        }
    }
}

}  // namespace
