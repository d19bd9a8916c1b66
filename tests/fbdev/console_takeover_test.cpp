#include "fbdev/device_settings.h"
#include "fbdev/fbdev_state.h"
#include "fbdev_fixture_support.h"

namespace {

TEST_F(FbdevTest, ConsoleIsTakenOnlyWhereItSitsAndTheSettingAllows) {
    const char kTaking[] =
        "The device is also occupied by the Linux kernel framebuffer console. I will need to "
        "acquire ownership.\n";
    for (int console_here : {1, 0}) {
        for (bool x11 : {false, true}) {
            for (int setting : {-1, 0, 1}) {
                SCOPED_TRACE(::testing::Message() << "console here " << console_here << ", X11 "
                                                  << x11 << ", setting " << setting);
                fresh();
                add("16x8x16");
                add("16x8x16");
                devices.set_console(console_here ? 0 : 1);
                x11_running = x11;
                take_fbcon_setting = setting;
                ASSERT_EQ(open_device(), 0);
                bool take = console_here && (setting > 0 || (setting < 0 && !x11));
                EXPECT_EQ(devices.console_in_graphics(), take);
                EXPECT_EQ(fbdev_last_notes.find("Taking fbcon. ") == 0, take);
                EXPECT_EQ(err.find(kTaking) != std::string::npos, take);
                EXPECT_EQ(err.find("X11 is running\n") != std::string::npos, x11);
                close_device();
                EXPECT_FALSE(devices.console_in_graphics()) << "handed back at close";
            }
        }
    }
}

}  // namespace
