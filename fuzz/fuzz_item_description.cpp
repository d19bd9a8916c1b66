// Item descriptions with any content: "pattern:NAME[,opt...]" or a stream path with options.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/frame_layout.h"
#include "runtime/item_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    item_description item;
    std::string error;
    if (item_description_parse(text, &item, &error) != 0) {
        if (error.empty()) std::abort();  // every refusal says why
        return 0;
    }
    // What a parsed item promises its users: a rate that can be divided by, a size and chroma
    // factors that the frame layout can take or refuse with a reason.
    if (item.fps_num == 0 || item.fps_den == 0 || item.width == 0 || item.height == 0) std::abort();
    frame_layout layout;
    if (frame_layout_compute(item.width, item.height, item.h_factor, item.v_factor, 1, &layout,
                             &error) != 0 &&
        error.empty())
        std::abort();
    return 0;
}
