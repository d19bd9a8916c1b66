// Generated test patterns: "bars", "ramps" and "moving" (diagonal stripes that move, with the frame
// number drawn into the luma).
#pragma once

#include <memory>
#include <string>

#include "runtime/item_description.h"
#include "runtime/media_source.h"

// Null with a one-line reason in *error for an unknown name or an unusable size.
std::unique_ptr<media_source> pattern_source_open(const item_description& spec, std::string* error);
