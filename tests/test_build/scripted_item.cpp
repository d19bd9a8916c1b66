// The scripted item: frames described one by one by a test, played through the real phases.
#include "test_build/scripted_item.h"

#include <cstdio>
#include <cstring>

#include "runtime/frame_slot.h"
#include "runtime/media_source_registry.h"
#include "runtime/media_state.h"
#include "runtime/runtime_api.h"

namespace {
struct script_state {
    std::vector<vexa_scripted_frame> frames;
    vexa_script_faults faults;
    std::function<void()> on_end;
};

script_state& script() {
    static script_state s;
    return s;
}

class scripted_source : public media_source {
  public:
    scripted_source() {
        format_.paced = false;
        format_.frame_limit = script().frames.size();
        if (!script().frames.empty()) {
            const vexa_scripted_frame& f = script().frames[0];
            std::string error;
            frame_layout_compute(f.width, f.height, f.h_factor, f.v_factor, 16, &format_.layout,
                                 &error);
        }
    }

    fill_status fill(vexa_frame_slot* slot, uint64_t index) override {
        if (index >= script().frames.size()) return fill_status::end;
        const vexa_scripted_frame& f = script().frames[index];
        frame_layout layout;
        std::string error;
        if (frame_layout_compute(f.width, f.height, f.h_factor, f.v_factor, 16, &layout, &error) !=
            0) {
            std::fprintf(stderr, "script: frame %llu: %s\n", static_cast<unsigned long long>(index),
                         error.c_str());
            return fill_status::failed;
        }
        if (frame_slot_prepare(slot, layout, f.field_flags, f.id) != 0) return fill_status::failed;
        std::memset(frame_slot_plane(slot, 0), f.y, layout.y_bytes);
        std::memset(frame_slot_plane(slot, 1), f.u, layout.c_bytes);
        std::memset(frame_slot_plane(slot, 2), f.v, layout.c_bytes);
        slot->content_key = 0;
        apply_fault(slot, f.fault);
        return fill_status::frame;
    }

  private:
    static void apply_fault(vexa_frame_slot* slot, vexa_scripted_frame::Fault fault) {
        using F = vexa_scripted_frame::Fault;
        frame_image_shortcuts& s = slot->frame_state.shortcuts;
        // Beyond the buffer: the access cache must refuse to map it.
        const uint32_t outside = static_cast<uint32_t>(slot->capacity) + 4096;
        switch (fault) {
            case F::none:
                break;
            case F::null_state:
                slot->frame.frame_state = nullptr;
                break;
            case F::no_scanline:
                slot->fail_scanline = true;
                break;
            case F::no_header:
                slot->fail_header = true;
                break;
            case F::no_references:
                slot->fail_references = true;
                break;
            case F::no_shortcuts:
                slot->fail_shortcuts = true;
                break;
            case F::wide_samples:
                s.bytes_per_sample = 2;
                break;
            case F::bad_plane_index:
                s.u_plane = slot->frame_state.header.plane_count;
                break;
            case F::unmappable_y:
                s.y_offset = outside;
                break;
            case F::unmappable_u:
                s.u_offset = outside;
                break;
            case F::unmappable_v:
                s.v_offset = outside;
                break;
        }
    }
};

std::unique_ptr<media_source> open_script(const std::string& /*item*/, open_outcome* outcome) {
    *outcome = open_outcome::opened;
    return std::make_unique<scripted_source>();
}

// Counts one failure of the phase off the script, while it has any left.
bool take_fault(media_phase_point point) {
    vexa_script_faults& f = script().faults;
    int* counter = point == media_phase_point::connect   ? &f.connect_failures
                   : point == media_phase_point::context ? &f.context_failures
                                                         : &f.display_init_failures;
    if (*counter <= 0) return false;
    --*counter;
    return true;
}

void run_on_end() {
    std::function<void()> on_end = std::move(script().on_end);
    script().on_end = nullptr;
    if (on_end) on_end();
}
}  // namespace

void vexa_script_item(const std::vector<vexa_scripted_frame>& frames, vexa_script_faults faults,
                      std::function<void()> on_end) {
    vexa_script_register();
    script() = script_state{frames, faults, std::move(on_end)};
    media_state& m = media();
    m.delivered = m.discarded = m.connects = 0;
    output_media_item = "script:";
    vexa_start_item(output_media_item.c_str());
}

vexa_script_counts vexa_script_counts_get() {
    const media_state& m = media();
    return {m.delivered, m.discarded, m.connects};
}

void vexa_script_register() {
    media_source_register({"script:", open_script, take_fault, run_on_end});
}
