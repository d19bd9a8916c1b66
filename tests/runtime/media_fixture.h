// Plays media items through the runtime's real phases, as the display loop does, one step at a
// time, and reads frames back the way the driver maps them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/stderr_capture.h"
#include "runtime/records.h"

namespace media_test {

// A clock the test moves by hand.
extern uint64_t fake_now_us;
uint64_t fake_clock();

struct plane_view {
    const uint8_t* data = nullptr;
    uint32_t stride = 0, lines = 0;
};

class MediaTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Names and starts the item, then connect, context and display init. 0 when all succeed.
    int connect(const std::string& item);
    // One pass of send_frame_requests and next_frame; null when no frame is due.
    OutputBufferFrame* take();
    // The three planes of a delivered frame, mapped through the access cache as the driver does.
    std::vector<plane_view> planes(OutputBufferFrame* frame);
    // Ends the connection like the driver's reset hook.
    void reset();

    std::string temp_dir;
};

using stderr_capture = test_common::StderrCapture;

// Lines in `text`.
int line_count(const std::string& text);

// Writes `bytes` to `path`.
void write_file(const std::string& path, const std::string& bytes);
// A YUV4MPEG2 stream: the header line, then `frames` frames of the given bytes each.
std::string y4m_stream(const std::string& header, uint64_t frame_bytes, int frames);

}  // namespace media_test
