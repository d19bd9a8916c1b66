// YUV4MPEG2 streams from a file or a FIFO, read without blocking the display loop.
#pragma once

#include <memory>
#include <string>

#include "runtime/item_description.h"
#include "runtime/media_source.h"

// Opens the stream and reads its header. On `broken` a one-line reason is in *error (the item
// cannot play); `not_yet` means no header arrived in time (a FIFO without a writer) or a shutdown
// was asked for: try again later.
std::unique_ptr<media_source> y4m_source_open(const item_description& spec, open_outcome* outcome,
                                              std::string* error);
