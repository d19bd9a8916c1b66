// Every #include in the rooms against the arrows written in README's layout section: a file may
// include its own room and what its room's arrow reaches, nothing else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Room (a directory, or a directory below one) -> the paths it may include: rooms, or single
// headers.
using Arrows = std::map<std::string, std::vector<std::string>>;

// Known crossings that are still to be removed. Each must still exist, so that a fixed one is
// struck off here and cannot come back unnoticed.
const std::pair<const char*, const char*> kPending[] = {
    // The frame converters take the runtime's frame description; pixel is to get its own.
    {"pixel/frame_converters.h", "runtime/records.h"},
};

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t`");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t`");
    return text.substr(first, last - first + 1);
}

// The arrows from README's "## Layout" section: lines "ROOM -> TARGET, TARGET (comment)".
Arrows read_arrows(std::istream& readme) {
    Arrows arrows;
    bool in_layout = false;
    std::string line;
    while (std::getline(readme, line)) {
        if (line.rfind("## ", 0) == 0) in_layout = line == "## Layout";
        const size_t arrow = line.find("->");
        if (!in_layout || arrow == std::string::npos || line.find('|') != std::string::npos)
            continue;
        const std::string room = trim(line.substr(0, arrow));
        std::string rest = line.substr(arrow + 2);
        rest = rest.substr(0, rest.find('('));
        std::vector<std::string>& targets = arrows[room];
        std::istringstream list(rest);
        for (std::string target; std::getline(list, target, ',');) {
            if (!trim(target).empty()) targets.push_back(trim(target));
        }
    }
    return arrows;
}

bool under(const std::string& path, const std::string& prefix) {
    return path == prefix || path.rfind(prefix + "/", 0) == 0;
}

// The room a path lies in: the longest room that holds it; empty when none does.
std::string room_of(const Arrows& arrows, const std::string& path) {
    std::string best;
    for (const auto& [room, targets] : arrows) {
        if (under(path, room) && room.size() > best.size()) best = room;
    }
    return best;
}

// Whether `file` (a path below the source directory) may include `header` as written. Headers
// outside every room (the system's, the C++ library's) are always allowed.
bool allowed(const Arrows& arrows, const std::string& file, const std::string& header) {
    const std::string to = room_of(arrows, header);
    if (to.empty()) return true;
    const std::string from = room_of(arrows, file);
    if (from == to) return true;
    for (const std::string& target : arrows.at(from)) {
        if (under(header, target)) return true;
    }
    return false;
}

const Arrows& project_arrows() {
    static const Arrows arrows = [] {
        std::ifstream readme(std::string(VEXA_SOURCE_DIR) + "/README.md");
        return read_arrows(readme);
    }();
    return arrows;
}

TEST(IncludeArrows, ReadmeNamesTheArrows) {
    const Arrows& arrows = project_arrows();
    for (const char* room :
         {"driver", "runtime", "runtime/paths", "fbdev", "pixel", "platform", "tools"}) {
        EXPECT_EQ(1u, arrows.count(room)) << room << " has no arrow line in README's layout";
    }
    for (const auto& [room, targets] : arrows) {
        EXPECT_TRUE(fs::is_directory(std::string(VEXA_SOURCE_DIR) + "/" + room)) << room;
        for (const std::string& target : targets) {
            EXPECT_TRUE(fs::exists(std::string(VEXA_SOURCE_DIR) + "/" + target))
                << room << " -> " << target;
        }
    }
}

// The rule on a fixture, so that a checker which lets everything through cannot pass unseen.
TEST(IncludeArrows, RuleOnAFixture) {
    std::istringstream readme(
        "## Layout\n"
        "| `pixel/` | a table row -> not an arrow |\n"
        "    driver        -> runtime, pixel\n"
        "    runtime       -> platform\n"
        "    runtime/paths -> (nothing)\n"
        "    pixel         -> runtime/tables.h (the tables)\n"
        "    tools         -> runtime/paths\n"
        "    platform      ->\n"
        "## Tests\n"
        "    tests -> driver\n");
    const Arrows arrows = read_arrows(readme);
    ASSERT_EQ(6u, arrows.size());
    const struct {
        const char* file;
        const char* header;
        bool allowed;
    } cases[] = {
        {"driver/main.cpp", "driver/hooks.h", true},
        {"driver/main.cpp", "runtime/api.h", true},
        {"driver/main.cpp", "runtime/paths/paths.h", true},
        {"driver/main.cpp", "platform/seam.h", false},  // arrows do not chain
        {"runtime/api.cpp", "driver/hooks.h", false},   // nor run backwards
        {"pixel/rows.cpp", "runtime/tables.h", true},
        {"pixel/rows.cpp", "runtime/records.h", false},
        {"tools/ctl.cpp", "runtime/paths/paths.h", true},
        {"tools/ctl.cpp", "runtime/api.h", false},
        {"runtime/paths/paths.cpp", "runtime/api.h", false},  // a room below a room is its own
        {"runtime/api.cpp", "runtime/paths/paths.h", false},
        {"platform/seam.cpp", "linux/fb.h", true},
        {"platform/seam.cpp", "pixel/rows.h", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.allowed, allowed(arrows, c.file, c.header)) << c.file << " -> " << c.header;
    }
}

TEST(IncludeArrows, EveryIncludeFollowsThem) {
    const Arrows& arrows = project_arrows();
    ASSERT_FALSE(arrows.empty()) << "no arrows in README's layout section";
    const std::regex include_line(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
    const fs::path source(VEXA_SOURCE_DIR);
    std::map<std::pair<std::string, std::string>, bool> pending;
    for (const auto& [file, header] : kPending) pending[{file, header}] = false;
    size_t files = 0;
    for (const auto& [room, targets] : arrows) {
        for (const auto& entry : fs::recursive_directory_iterator(source / room)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            const std::string file = entry.path().lexically_relative(source).generic_string();
            if (room_of(arrows, file) != room) continue;  // a room below this one reads it
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (!std::regex_search(line, match, include_line)) continue;
                const std::string header = match[1];
                if (allowed(arrows, file, header)) continue;
                auto known = pending.find({file, header});
                if (known != pending.end()) {
                    known->second = true;
                    continue;
                }
                ADD_FAILURE() << file << ":" << number << ": includes " << header
                              << ", against the arrows of " << room << " in README's layout";
            }
        }
    }
    EXPECT_NE(0u, files) << "the rooms were not found under " << source;
    for (const auto& [crossing, seen] : pending) {
        EXPECT_TRUE(seen) << crossing.first << " no longer includes " << crossing.second
                          << ": strike it off the pending crossings";
    }
}

}  // namespace
