#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

TEST(JoinArgumentsTest, JoinsWithSingleBlanksAndQuotesNothing) {
    char a[] = "prog", b[] = "b c", empty[] = "", quote[] = "say \"hi\"";
    char* arguments[] = {a, b, empty, quote};
    EXPECT_EQ(JoinArguments(4, arguments), "prog b c  say \"hi\"");
    char* single[] = {empty};
    EXPECT_EQ(JoinArguments(1, single), "");
}

TEST(IsBlankCommandLineTest, OnlyBlanksAndTabsAreBlank) {
    EXPECT_TRUE(IsBlankCommandLine(""));
    EXPECT_TRUE(IsBlankCommandLine(" \t  "));
    EXPECT_FALSE(IsBlankCommandLine(" x "));
    EXPECT_FALSE(IsBlankCommandLine("\"\""));
}

struct SplitCase {
    const char* line;
    std::vector<std::string> words;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::string(c.line));
}

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeTheWindowsRuntime) {
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    testing::Values(SplitCase{"prog b c", {"prog", "b", "c"}},
                    SplitCase{"  prog\t\tb   ", {"prog", "b"}},
                    SplitCase{"", {}},
                    SplitCase{"prog \"b c\" d", {"prog", "b c", "d"}},
                    SplitCase{"prog a\"b c\"d", {"prog", "ab cd"}},
                    SplitCase{"prog \"\" x", {"prog", "", "x"}},
                    SplitCase{"prog \"unclosed quote", {"prog", "unclosed quote"}},
                    SplitCase{"prog a\\b c:\\dir\\", {"prog", "a\\b", "c:\\dir\\"}},
                    SplitCase{"prog \\\"x", {"prog", "\"x"}},
                    SplitCase{"prog \\\\\"x y\"", {"prog", "\\x y"}},
                    SplitCase{"prog \\\\\\\"x", {"prog", "\\\"x"}},
                    SplitCase{"prog \\\\\\\\\"a b\"", {"prog", "\\\\a b"}},
                    SplitCase{"prog \"a\\\"b\"", {"prog", "a\"b"}},
                    SplitCase{"\"C:\\Program Files\\x.exe\" -v", {"C:\\Program Files\\x.exe", "-v"}}));

}  // namespace
