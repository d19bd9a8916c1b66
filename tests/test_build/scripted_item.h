// "script:" items, whose frames are described one by one by the caller: the display loop's tests
// use them to deliver duplicates, size changes and broken frames through the real runtime phases.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct vexa_scripted_frame {
    enum class Fault {
        none,
        null_state,       // the frame carries no frame state
        no_scanline,      // get_frame_scanline_data fails
        no_header,        // get_frame_header returns null
        no_references,    // get_frame_buffer_references returns null
        no_shortcuts,     // get_frame_image_shortcuts returns null
        wide_samples,     // bytes per sample 2
        bad_plane_index,  // a plane index not below the plane count
        unmappable_y,     // a plane range outside its buffer
        unmappable_u,
        unmappable_v,
    };
    uint32_t width = 64;
    uint32_t height = 48;
    uint64_t id = 0;
    uint8_t h_factor = 2;  // 1, 2 or 4 (the shortcuts carry factor - 1)
    uint8_t v_factor = 2;
    uint8_t field_flags = 0;
    uint8_t y = 128, u = 128, v = 128;  // every sample of the plane
    Fault fault = Fault::none;
};

struct vexa_script_faults {
    int connect_failures = 0;       // the next N connect phases fail
    int context_failures = 0;       // the next N context phases fail
    int display_init_failures = 0;  // the next N display-phase inits fail
};

struct vexa_script_counts {
    uint64_t delivered = 0;  // frames returned by next_frame
    uint64_t discarded = 0;  // frames given back with discard_src_frame
    uint64_t connects = 0;   // successful connect phases
};

// Makes the script the current item, started and unpaced: one frame per inner iteration. After the
// last frame the item ends (a display phase reports non-zero) and on_end, when set, runs once.
void vexa_script_item(const std::vector<vexa_scripted_frame>& frames,
                      vexa_script_faults faults = {}, std::function<void()> on_end = nullptr);
vexa_script_counts vexa_script_counts_get();
// Makes "script:" items a media source kind (vexa_script_item does so too). Without a script, such
// an item ends at once.
void vexa_script_register();
