#include "fbdev_fixture_support.h"

#include <algorithm>

#include "fbdev/console_takeover.h"
#include "fbdev/device_settings.h"
#include "fbdev/fbdev_state.h"
#include "fbdev/vsync.h"
#include "platform/device_seam.h"

bool FbdevTest::x11_running = false;

namespace {
int fake_program_running(const char*, procfs_path_in_use_info*, unsigned long, unsigned int) {
    return FbdevTest::x11_running ? 1 : 0;
}
}  // namespace

void FbdevTest::SetUp() {
    platform::set_seam(&devices);
    fbdev_program_running = fake_program_running;
    x11_running = false;
    take_fbcon_setting = -1;
    device_setting.clear();
    fb_index_setting = -1;
    change_vsync_setting(vsync_off);
}

void FbdevTest::TearDown() {
    ::testing::internal::CaptureStderr();
    close_video_out();
    ::testing::internal::GetCapturedStderr();
    platform::set_seam(nullptr);
}

void FbdevTest::fresh() {
    TearDown();
    devices.~VirtualFramebuffers();
    new (&devices) platform::VirtualFramebuffers();
    SetUp();
}

void FbdevTest::add(const char* spec) {
    std::string error;
    ASSERT_GE(devices.add(spec, &error), 0) << error;
}

int FbdevTest::open_device(unsigned width, unsigned height) {
    ::testing::internal::CaptureStderr();
    int result = init_video_out(width, height);
    err = ::testing::internal::GetCapturedStderr();
    return result;
}

void FbdevTest::close_device() {
    ::testing::internal::CaptureStderr();
    close_video_out();
    err = ::testing::internal::GetCapturedStderr();
}

bool FbdevTest::logged(const std::string& call) const {
    const auto& log = devices.log();
    return std::find(log.begin(), log.end(), call) != log.end();
}

std::vector<std::string> FbdevTest::log_from(const std::string& from) const {
    const auto& log = devices.log();
    auto start = std::find(log.begin(), log.end(), from);
    return std::vector<std::string>(start, log.end());
}
