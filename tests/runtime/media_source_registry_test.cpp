// Which kind of source an item goes to: the longest registered prefix, else the path kind.
#include "runtime/media_source_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::unique_ptr<media_source> open_none(const std::string&, open_outcome* outcome) {
    *outcome = open_outcome::broken;
    return nullptr;
}
std::unique_ptr<media_source> open_other(const std::string&, open_outcome* outcome) {
    *outcome = open_outcome::not_yet;
    return nullptr;
}

TEST(MediaSourceRegistry, LongestPrefixWinsAndPathsTakeTheRest) {
    const auto path_kind = media_source_kind_for("/srv/video/loop.y4m").open;
    const auto pattern_kind = media_source_kind_for("pattern:bars").open;
    ASSERT_NE(path_kind, pattern_kind);
    // Nothing registered "script:" here: it is a path like any other name.
    EXPECT_EQ(path_kind, media_source_kind_for("script:").open);
    EXPECT_FALSE(media_phase_fails("script:", media_phase_point::connect));

    media_source_register({"pat", open_none});
    media_source_register({"pat", open_other});  // replaces, does not add
    const struct {
        const char* item;
        std::unique_ptr<media_source> (*open)(const std::string&, open_outcome*);
    } cases[] = {
        {"pattern:bars", pattern_kind},  // the longer prefix
        {"patch.y4m", open_other},      {"pa", path_kind}, {"", path_kind},
        {"./pattern:bars", path_kind},
    };
    for (const auto& c : cases) EXPECT_EQ(c.open, media_source_kind_for(c.item).open) << c.item;
}

}  // namespace
