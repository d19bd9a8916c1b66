#include "runtime/frame_slot.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>

#include "runtime/cnb_domain.h"

namespace {
constexpr uint32_t kFourccI420 = 0x30323449;  // "I420"

int grow(vexa_frame_slot* slot, uint64_t bytes) {
    if (slot->buffer >= 0 && slot->capacity >= bytes) return 0;
    frame_slot_release(slot);
    int number = cnb_buffer_create(bytes, "vexa-frame");
    if (number < 0) return -1;
    cnb_buffer_info info{};
    cnb_buffer_lookup(number, &info);
    void* addr = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, info.fd, 0);
    if (addr == MAP_FAILED) {
        std::fprintf(stderr, "cnb: cannot map a frame buffer of %llu bytes\n",
                     static_cast<unsigned long long>(bytes));
        cnb_buffer_free(number);
        return -1;
    }
    slot->buffer = number;
    slot->data = static_cast<uint8_t*>(addr);
    slot->capacity = bytes;
    slot->content_key = 0;
    return 0;
}
}  // namespace

int frame_slot_prepare(vexa_frame_slot* slot, const frame_layout& layout, uint8_t field_flags,
                       uint64_t frame_id) {
    if (grow(slot, layout.buffer_bytes) != 0) return -1;
    if (slot->layout.y_stride != layout.y_stride || slot->layout.height != layout.height ||
        slot->layout.width != layout.width || slot->layout.h_factor != layout.h_factor ||
        slot->layout.v_factor != layout.v_factor || slot->layout.c_stride != layout.c_stride ||
        slot->layout.u_offset != layout.u_offset)
        slot->content_key = 0;
    slot->layout = layout;
    slot->fail_scanline = slot->fail_header = slot->fail_references = slot->fail_shortcuts = false;

    vexa_sub_item_frame_state& fs = slot->frame_state;
    fs = vexa_sub_item_frame_state{};
    fs.width = layout.width;
    fs.height = layout.height;
    fs.frame_id = frame_id;
    fs.slot = slot;
    fs.header.plane_count = 1;  // all three planes share the one buffer
    fs.header.format_fourcc = kFourccI420;
    fs.buffer_refs[0] = static_cast<uint16_t>(slot->buffer);

    frame_image_shortcuts& s = fs.shortcuts;
    s.y_stride = static_cast<uint16_t>(layout.y_stride);
    s.u_stride = s.v_stride = static_cast<uint16_t>(layout.c_stride);
    s.y_plane = s.u_plane = s.v_plane = 0;
    s.field_flags = field_flags;
    s.bytes_per_sample = 1;
    s.h_subsampling = static_cast<uint8_t>(layout.h_factor - 1);
    s.v_subsampling = static_cast<uint8_t>(layout.v_factor - 1);
    s.y_offset = static_cast<uint32_t>(layout.y_offset);
    s.u_offset = static_cast<uint32_t>(layout.u_offset);
    s.v_offset = static_cast<uint32_t>(layout.v_offset);
    s.y_last_line = static_cast<uint16_t>(layout.height - 1);
    s.u_last_line = s.v_last_line = static_cast<uint16_t>(layout.chroma_lines - 1);

    slot->frame = OutputBufferFrame{};
    slot->frame.frame_state = &slot->frame_state;
    return 0;
}

uint8_t* frame_slot_plane(vexa_frame_slot* slot, int plane) {
    const frame_layout& l = slot->layout;
    uint64_t offset = plane == 0 ? l.y_offset : plane == 1 ? l.u_offset : l.v_offset;
    return slot->data + offset;
}

void frame_slot_release(vexa_frame_slot* slot) {
    if (slot->data) munmap(slot->data, slot->capacity);
    if (slot->buffer >= 0) cnb_buffer_free(slot->buffer);
    slot->data = nullptr;
    slot->buffer = -1;
    slot->capacity = 0;
    slot->content_key = 0;
}
