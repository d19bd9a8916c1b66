#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime_api.h"

namespace {
struct ChompCase {
    const char* line;
    const char* expected;
};

TEST(Chomp, RemovesEveryTrailingLineEnding) {
    const ChompCase cases[] = {
        {"a=b\n", "a=b"}, {"a=b\r\n", "a=b"}, {"a=b\n\n", "a=b"}, {"a=b", "a=b"},
        {"\r\n", ""},     {"", ""},           {"a\rb\n", "a\rb"}, {"a=b \n", "a=b "},
    };
    for (const auto& c : cases) {
        std::vector<char> line(c.line, c.line + std::string(c.line).size() + 1);
        chomp(line.data());
        EXPECT_STREQ(c.expected, line.data()) << "line '" << c.line << "'";
    }
}

struct PairCase {
    const char* line;
    const char* name;  // null: no pair
    const char* value;
};

TEST(DivideNameValuePair, SplitsAtTheFirstEqualsAndTrimsBlanks) {
    const PairCase cases[] = {
        {"item=pattern:bars", "item", "pattern:bars"},
        {"  autostart item \t= 1 ", "autostart item", "1"},
        {"device=pci:0000:01:00.0", "device", "pci:0000:01:00.0"},
        {"a=b=c", "a", "b=c"},  // a second '=' belongs to the value
        {"name=", "name", ""},
        {"name=   ", "name", ""},
        {"=value", nullptr, nullptr},
        {"  =value", nullptr, nullptr},
        {"no pair here", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<char> line(c.line, c.line + std::string(c.line).size() + 1);
        char* name = reinterpret_cast<char*>(1);
        char* value = reinterpret_cast<char*>(1);
        divide_name_equ_value_pair(line.data(), &name, &value);
        if (!c.name) {
            EXPECT_EQ(nullptr, name) << "line '" << c.line << "'";
            EXPECT_EQ(nullptr, value) << "line '" << c.line << "'";
        } else {
            ASSERT_NE(nullptr, name) << "line '" << c.line << "'";
            ASSERT_NE(nullptr, value) << "line '" << c.line << "'";
            EXPECT_STREQ(c.name, name);
            EXPECT_STREQ(c.value, value);
        }
    }
}
}  // namespace
