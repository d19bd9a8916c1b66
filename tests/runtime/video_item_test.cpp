// Video files through the FFmpeg module: containers, codecs and pixel formats reach the frame
// buffers as the encoder's own decoder sees them, with the colour tables following the stream;
// timestamps pace; loop, start= and size=; broken input ends the item with one line.
#include <cstring>
#include <string>
#include <vector>

#include "runtime/yuv_coefficients.h"
#include "video_fixture.h"

namespace {
using namespace media_test;
using namespace video_test;

struct format_case {
    const char* name;  // file name: its extension chooses the container
    const char* size;
    const char* encode;  // codec and pixel format
    const char* layout;  // what the frames must hold, as the reference's pixel format
    colour_signal colour;
};

constexpr colour_signal k601{colour_matrix::bt601, false};
constexpr colour_signal k601full{colour_matrix::bt601, true};
constexpr colour_signal k709{colour_matrix::bt709, false};

TEST_F(VideoTest, ContainersCodecsAndPixelFormatsPlayAsDecoded) {
    const format_case cases[] = {
        // The four layouts the pixel code takes, copied as they are.
        {"h264.mp4", "68x48", "-c:v libx264 -pix_fmt yuv420p", "yuv420p", k601},
        {"h264_709.mp4", "68x48",
         "-c:v libx264 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 -color_trc bt709",
         "yuv420p", k709},
        {"h264_full.mkv", "68x48", "-c:v libx264 -pix_fmt yuv420p -color_range pc", "yuvj420p",
         k601full},
        {"h264_444.mkv", "68x48", "-c:v libx264 -pix_fmt yuv444p", "yuv444p", k601},
        {"vp9.webm", "68x48", "-c:v libvpx-vp9 -pix_fmt yuv420p", "yuv420p", k601},
        {"mpeg2_422.ts", "68x48", "-c:v mpeg2video -pix_fmt yuv422p", "yuv422p", k601},
        {"mpeg4.avi", "68x48", "-c:v mpeg4 -pix_fmt yuv420p", "yuv420p", k601},
        // Odd sizes: chroma planes round up.
        {"ffv1_411.mkv", "67x45", "-vf format=yuv444p,crop=67:45:0:0 -c:v ffv1 -pix_fmt yuv411p",
         "yuv411p", k601},
        {"ffv1_odd.mkv", "67x45", "-vf format=yuv444p,crop=67:45:0:0 -c:v ffv1 -pix_fmt yuv420p",
         "yuv420p", k601},
        // Full range by its format: the same layout, full-range tables.
        {"mjpeg.mov", "68x48", "-c:v mjpeg -pix_fmt yuvj422p", "yuvj422p", k601full},
        // Converted once to the nearest layout.
        {"nv12.nut", "68x48", "-c:v rawvideo -pix_fmt nv12", "yuv420p", k601},
        {"deep.mkv", "68x48", "-c:v ffv1 -pix_fmt yuv422p10le", "yuv422p", k601},
        {"rgb.mkv", "68x48", "-c:v ffv1 -pix_fmt bgr0", "yuv444p", k601},
        {"pal8.mkv", "68x48", "-c:v png -pix_fmt pal8", "yuv444p", k601},
        {"gray.mkv", "68x48", "-c:v ffv1 -pix_fmt gray", "yuvj420p", k601full},
    };
    for (const format_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string clip = make_video(c.name, source_args("68x48"), c.encode);
        ASSERT_FALSE(clip.empty()) << "the encoder could not make " << c.name;
        uint32_t w = 0, h = 0;
        ASSERT_EQ(2, std::sscanf(c.size, "%ux%u", &w, &h));
        const auto reference = decode_reference(clip, c.layout, w, h);
        ASSERT_EQ(4u, reference.size());

        stderr_capture err;
        ASSERT_EQ(0, connect(clip));
        const yuv_to_rgb_coefficients want = yuv_coefficients_for(c.colour);
        EXPECT_EQ(0, std::memcmp(&want, &standard_yuv_coefficients, sizeof want))
            << colour_signal_name(c.colour);
        const std::vector<picture> shown = play();
        EXPECT_EQ("", err.text());
        ASSERT_EQ(reference.size(), shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            ASSERT_EQ(w, shown[i].width);
            ASSERT_EQ(h, shown[i].height);
            ASSERT_EQ(reference[i].size(), shown[i].samples.size());
            EXPECT_TRUE(reference[i] == shown[i].samples) << "frame " << i;
        }
        reset();
    }
}

}  // namespace
