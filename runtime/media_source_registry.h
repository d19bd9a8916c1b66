// The kinds of media source and which items each opens. The built-in kinds (patterns, YUV4MPEG2
// streams) sit here like any other, so a new kind is one more entry, not a change to the display
// phases.
#pragma once

#include <memory>
#include <string>

#include "runtime/media_source.h"

// Display phases a source kind may make fail, to drive the display loop's failure paths.
enum class media_phase_point { connect, context, display_init };

struct media_source_kind {
    // Items that begin with this text are this kind's. The kind with the empty prefix takes every
    // item no other prefix claims: paths.
    std::string prefix;
    // Opens the item. Null with *outcome `broken` (the reason already logged, one line) or
    // `not_yet`.
    std::unique_ptr<media_source> (*open)(const std::string& item, open_outcome* outcome);
    // Optional: true when this phase of an item of this kind is to fail now.
    bool (*phase_fails)(media_phase_point point) = nullptr;
    // Optional: runs when an item of this kind has played to its end.
    void (*ended)() = nullptr;
};

// Adds a kind, or replaces the one registered with the same prefix.
void media_source_register(const media_source_kind& kind);
// The kind for an item: the longest registered prefix it begins with, else the empty-prefix kind.
const media_source_kind& media_source_kind_for(const std::string& item);
// True when the item's kind makes this phase fail now.
bool media_phase_fails(const std::string& item, media_phase_point point);
