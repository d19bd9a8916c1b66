// Between the runtime's two halves: the process side (arguments, metadata directory, control
// socket, status) and the media side (items, frame buffers, display phases). Not for the driver.
#pragma once

#include <cstdint>
#include <string>

// ---- Process side provides ----
// Serves control clients for up to timeout_ms (0: only what is pending) without busy-looping.
// Returns early when a signal arrives or a request changed the item or settings.
int vexa_control_wait(int timeout_ms);
extern bool vexa_unpaced;               // --unpaced
extern const char* vexa_snapshot_path;  // --snapshot PATH, null when not given
// Opens what the instance holds in its metadata directory: the lock files (vexa_meta), the
// metadata file (vexa_metadata) and the control socket. vexa_join_cnb_domain calls it once the
// domain is joined, so a run that fails earlier leaves nothing behind. Failures show as null
// vexa_meta / vexa_metadata / vexa_sock, each with a one-line reason on stderr.
void vexa_open_instance();

// ---- Media side provides ----
extern uint64_t output_play_shown_frames;  // frames given back after delivery
// What the item is doing, for the status reply: "idle", "connecting", "playing", "ended".
const char* output_media_item_state_text();
// Frees items, frame buffers and the access cache (part of vexa_free_all).
void vexa_media_free_all();
