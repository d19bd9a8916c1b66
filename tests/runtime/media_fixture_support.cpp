#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "media_fixture.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"

namespace media_test {

uint64_t fake_now_us = 0;
uint64_t fake_clock() { return fake_now_us; }

void MediaTest::SetUp() {
    char pattern[] = "/tmp/vexa_media_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    temp_dir = pattern;
    if (!vexa_acc_cache) vexa_acc_cache = vexa_global_access_cache_create();
    DIE4 = 0;
    vexa_unpaced = true;
    fake_now_us = 1000000000;
    vexa_clock_override = nullptr;
    output_play_dropped_frames = 0;
    output_media_item_reconnect_at = 0;
}

void MediaTest::TearDown() {
    reset();
    output_media_item_set_output_media_item("");
    vexa_clock_override = nullptr;
    vexa_unpaced = false;
    std::error_code ignored;
    std::filesystem::remove_all(temp_dir, ignored);
}

int MediaTest::connect(const std::string& item) {
    output_media_item_set_output_media_item(item.c_str());
    vexa_start_item(item.c_str());
    output_media_item_reconnect_at = 0;
    if (output_media_item_default_connect_phase() != 0) return 1;
    if (output_media_item_default_get_context_phase() != 0) return 2;
    const output_media_item_context_state* c = output_media_item_our_context_state;
    if (output_driver_display_phase_av_common_init(c->rate_num * (c->field_rate ? 2 : 1),
                                                   static_cast<uint32_t>(c->rate_den), 0, 0,
                                                   c->queue_bytes) != 0)
        return 3;
    return 0;
}

OutputBufferFrame* MediaTest::take() {
    if (output_driver_display_phase_av_common_send_frame_requests() != 0) return nullptr;
    return output_driver_display_phase_av_common_next_frame(0);
}

std::vector<plane_view> MediaTest::planes(OutputBufferFrame* frame) {
    std::vector<plane_view> out;
    vexa_sub_item_frame_state* fs = frame->frame_state;
    if (!fs || !fs->get_frame_scanline_data(vexa_acc_cache)) return out;
    vexa_frame_header* h = fs->get_frame_header(true);
    uint16_t* refs = fs->get_frame_buffer_references();
    frame_image_shortcuts* s = fs->get_frame_image_shortcuts();
    if (!h || !refs || !s) return out;
    const uint8_t index[3] = {s->y_plane, s->u_plane, s->v_plane};
    const uint32_t stride[3] = {s->y_stride, s->u_stride, s->v_stride};
    const uint32_t offset[3] = {s->y_offset, s->u_offset, s->v_offset};
    const uint32_t lines[3] = {s->y_last_line + 1u, s->u_last_line + 1u, s->v_last_line + 1u};
    for (int p = 0; p < 3; ++p) {
        if (index[p] >= h->plane_count) return {};
        void* data = vexa_global_access_cache_quickfetch(vexa_acc_cache, refs[index[p]], offset[p],
                                                         uint64_t{lines[p]} * stride[p], 2);
        if (!data) return {};
        out.push_back({static_cast<const uint8_t*>(data), stride[p], lines[p]});
    }
    return out;
}

void MediaTest::reset() {
    output_media_item_reset_item_common();
    output_driver_video_queue_free();
}

int line_count(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string y4m_stream(const std::string& header, uint64_t frame_bytes, int frames) {
    std::string out = header + "\n";
    for (int i = 0; i < frames; ++i) {
        out += "FRAME\n";
        out += std::string(frame_bytes, static_cast<char>(16 + i));
    }
    return out;
}

}  // namespace media_test
