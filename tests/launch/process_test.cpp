#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace {

TEST(StartProcessTest, MissingProgramGivesTheSystemsReason) {
    std::string reason;
    EXPECT_FALSE(StartProcess("no-such-program-for-launch-tests argument", &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    EXPECT_EQ(reason.find('\r'), std::string::npos) << reason;
}

#ifdef _WIN32
// Such a line cannot reach launch through its own command line, which has the same limit; only a direct call shows
// that it is refused before CreateProcessA is asked.
TEST(StartProcessTest, LineLongerThanCreateProcessTakesIsRefused) {
    std::string reason;
    EXPECT_FALSE(StartProcess("prog " + std::string(32762, 'x'), &reason));
    EXPECT_EQ(reason, "the command line is longer than 32766 characters");
}
#endif

}  // namespace
