#include "runtime/media_source_registry.h"

#include <cstdio>
#include <vector>

#include "runtime/ffmpeg_module.h"
#include "runtime/item_description.h"
#include "runtime/pattern_source.h"
#include "runtime/y4m_source.h"

namespace {
// Parses the item's text; logs why not when it cannot.
bool describe(const std::string& item, item_description* spec) {
    std::string error;
    if (item_description_parse(item, spec, &error) == 0) return true;
    std::fprintf(stderr, "item: '%s': %s\n", item.c_str(), error.c_str());
    return false;
}

std::unique_ptr<media_source> open_pattern(const std::string& item, open_outcome* outcome) {
    *outcome = open_outcome::broken;
    item_description spec;
    if (!describe(item, &spec)) return nullptr;
    std::string error;
    std::unique_ptr<media_source> source = pattern_source_open(spec, &error);
    if (!source) {
        std::fprintf(stderr, "pattern: %s\n", error.c_str());
        return nullptr;
    }
    *outcome = open_outcome::opened;
    return source;
}

std::unique_ptr<media_source> open_video(const std::string& item, open_outcome* outcome) {
    *outcome = open_outcome::broken;
    item_description spec;
    if (!describe(item, &spec)) return nullptr;
    return video_item_open(spec, outcome);
}

// Paths: a video file, or a YUV4MPEG2 stream (a FIFO among them).
std::unique_ptr<media_source> open_stream(const std::string& item, open_outcome* outcome) {
    *outcome = open_outcome::broken;
    item_description spec;
    if (!describe(item, &spec)) return nullptr;
    if (item_is_video_file(spec)) return video_item_open(spec, outcome);
    if (spec.loop || spec.start_us || spec.scale_width) {
        std::fprintf(stderr, "y4m: %s: loop, start= and size= need a video file\n",
                     spec.name.c_str());
        return nullptr;
    }
    std::string error;
    std::unique_ptr<media_source> source = y4m_source_open(spec, outcome, &error);
    if (!source && *outcome == open_outcome::broken)
        std::fprintf(stderr, "y4m: %s: %s\n", spec.name.c_str(), error.c_str());
    return source;
}

std::vector<media_source_kind>& kinds() {
    static std::vector<media_source_kind> list = [] {
        std::vector<media_source_kind> l{
            {"pattern:", open_pattern},
            {"", open_stream},
        };
        for (const char* const* scheme = kVideoUrlSchemes; *scheme; ++scheme)
            l.push_back({*scheme, open_video});
        return l;
    }();
    return list;
}
}  // namespace

void media_source_register(const media_source_kind& kind) {
    for (media_source_kind& k : kinds()) {
        if (k.prefix == kind.prefix) {
            k = kind;
            return;
        }
    }
    kinds().push_back(kind);
}

const media_source_kind& media_source_kind_for(const std::string& item) {
    const media_source_kind* found = nullptr;
    for (const media_source_kind& k : kinds()) {
        if (item.rfind(k.prefix, 0) != 0) continue;
        if (!found || k.prefix.size() > found->prefix.size()) found = &k;
    }
    // The path kind's empty prefix matches every item, so something is always found.
    return *found;
}

bool media_phase_fails(const std::string& item, media_phase_point point) {
    const media_source_kind& kind = media_source_kind_for(item);
    return kind.phase_fails != nullptr && kind.phase_fails(point);
}
