// The media side's hooks into the scripted item (runtime/scripted_item.h is the tests' side).
#pragma once

#include <memory>

#include "runtime/media_source.h"

std::unique_ptr<media_source> scripted_source_open();

enum class scripted_fault { connect, context, display_init };
// True when the script asks this phase to fail (and counts that failure off).
bool scripted_take_fault(scripted_fault which);
// The scripted item ended: runs its on_end once.
void scripted_item_ended();
