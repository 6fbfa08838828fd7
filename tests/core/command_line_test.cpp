#include "runtime/core/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> tokens;
};

TEST(CommandLine, Split) {
    const SplitCase cases[] = {
        {"prog \"C:\\My Folder\"", {"prog", "C:\\My Folder"}},
        {"\"C:\\Program Files\\g.exe\" x", {"C:\\Program Files\\g.exe", "x"}},
        {"prog \"\"", {"prog", ""}},
        {"prog a\"b c", {"prog", "a\"b", "c"}},
        {"prog \"ab\"cd", {"prog", "ab", "cd"}},
        {"prog   a    b   ", {"prog", "a", "b"}},
        {"prog a\tb", {"prog", "a\tb"}},
        {"prog \"unclosed text", {"prog", "unclosed text"}},
        {"prog \"a\"\"b\"", {"prog", "a", "b"}},
        {"", {}},
        {"   ", {}},
    };
    for (const SplitCase& c : cases) {
        std::vector<RtString> tokens = split_command_line(c.line);
        ASSERT_EQ(tokens.size(), c.tokens.size()) << c.line;
        for (size_t i = 0; i < tokens.size(); ++i) {
            EXPECT_EQ(std::string(tokens[i].c_str(), static_cast<size_t>(tokens[i].length)), c.tokens[i])
                << c.line << " token " << i;
        }
    }
    EXPECT_TRUE(split_command_line(nullptr).empty());
}

}  // namespace
