#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "flash_size.h"

namespace {

struct SizeCase {
    const char* text;
    bool hasDigits;
    uint32_t size;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::string(c.text));
}

class ParseFlashSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(ParseFlashSizeTest, ReadsLikePercentU) {
    uint32_t size = 12345;
    EXPECT_EQ(ParseFlashSize(GetParam().text, &size), GetParam().hasDigits);
    EXPECT_EQ(size, GetParam().hasDigits ? GetParam().size : 12345u);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseFlashSizeTest,
                         testing::Values(SizeCase{"8192", true, 8192},
                                         SizeCase{"0", true, 0},
                                         SizeCase{"007", true, 7},
                                         SizeCase{" \t\r\n\v\f 42", true, 42},
                                         SizeCase{"+5", true, 5},
                                         SizeCase{"-1", true, 4294967295u},
                                         SizeCase{"-8192", true, 4294959104u},
                                         SizeCase{"4294967295", true, 4294967295u},
                                         SizeCase{"4294967296", true, 0},
                                         SizeCase{"4294967297", true, 1},
                                         SizeCase{"99999999999999999999", true, 1661992959u},
                                         SizeCase{"0x2000", true, 0},
                                         SizeCase{"8192abc", true, 8192},
                                         SizeCase{"12 34", true, 12},
                                         SizeCase{"", false, 0},
                                         SizeCase{"   ", false, 0},
                                         SizeCase{"abc", false, 0},
                                         SizeCase{"-", false, 0},
                                         SizeCase{"+", false, 0},
                                         SizeCase{"- 5", false, 0},
                                         SizeCase{"+-5", false, 0},
                                         SizeCase{"x8192", false, 0}));

std::string Answer(const std::string& typed) {
    std::FILE* in = std::tmpfile();
    std::fwrite(typed.data(), 1, typed.size(), in);
    std::rewind(in);
    std::string answer = ReadSizeAnswer(in);
    std::fclose(in);
    return answer;
}

TEST(ReadSizeAnswerTest, PassesOverEmptyLinesAndStopsAfterTheNumber) {
    EXPECT_EQ(Answer("\n\n   \r\n\t16384\nnext line"), "16384");
    EXPECT_EQ(Answer("-12x"), "-12");
    EXPECT_EQ(Answer("+7 8"), "+7");
    EXPECT_EQ(Answer("size\n"), "");
    EXPECT_EQ(Answer("- 5"), "-");
    EXPECT_EQ(Answer(""), "");
    EXPECT_EQ(Answer("\n\n"), "");
}

}  // namespace
