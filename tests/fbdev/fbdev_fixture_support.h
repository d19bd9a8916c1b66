// A virtual device seam installed for each test, with the device settings at their defaults.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/virtual_framebuffers.h"

class FbdevTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts over with no devices, for a table of cases in one test.
    void fresh();
    // Adds a device; fails the test on a bad SPEC.
    void add(const char* spec);
    // init_video_out with standard error captured into `err`.
    int open_device(unsigned width = 320, unsigned height = 240);
    void close_device();  // close_video_out, standard error into `err`
    bool logged(const std::string& call) const;
    // The calls logged since the first one equal to `from`.
    std::vector<std::string> log_from(const std::string& from) const;

    platform::VirtualFramebuffers devices;
    std::string err;

  public:
    static bool x11_running;  // what the X server check answers
};
