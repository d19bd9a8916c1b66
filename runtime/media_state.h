// The media side's state: the named and the started item, the connected source and the display
// queue. One per process, used only from the driver's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/media_source.h"
#include "runtime/records.h"

enum class media_phase { idle, connecting, playing, ended };

struct media_state {
    // Item start.
    std::string started_item;
    bool started = false;
    uint64_t start_requests = 0;  // counts vexa_start_item calls, to cut a connect wait short
    media_phase phase = media_phase::idle;

    // Connection.
    std::unique_ptr<media_source> source;
    std::string playing_item;  // what the source was opened for
    output_media_item_context_state context{};

    // Display queue.
    std::vector<vexa_frame_slot*> slots;    // owned; empty when no queue is set up
    std::vector<vexa_frame_slot*> orphans;  // freed while the driver held them
    vexa_frame_slot* filling = nullptr;     // a slot whose fill is pending
    bool source_done = false;               // the source has nothing more to give
    uint64_t next_index = 0;                // next frame number to produce
    uint64_t start_us = 0;                  // frame 0 is due then
    uint32_t rate = 30, rate_den = 1;
    uint64_t sequence = 0;

    // A source may serve the control socket from inside a fill (a network read that waits); a
    // request that resets the item then must not free the source or the slot under it. Closing
    // and freeing wait until the fill returns.
    bool in_fill = false;
    bool close_pending = false, free_pending = false;

    // Counts for the scripted item's checks.
    uint64_t delivered = 0, discarded = 0, connects = 0;
};

media_state& media();

// Frees the queue's slots; a slot the driver still holds is freed when it comes back.
void media_queue_free();
// Closes the connected source and forgets any partly filled frame.
void media_source_close();
// The item ended: what a started item needs to be started again.
void media_item_ended();
