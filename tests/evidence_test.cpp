// Evidence is never harmed: no input is written over, names are data, control codes never reach a
// terminal, and every name or directory that costs the report is said and counted.
#include "test_support.h"

namespace runtrail::test {
namespace {

TEST(Evidence, WalkDepthIsAWholeNumberWithinThePathLimit) {
    for (const std::string bad : {"abc", "4294967296", "-1", "0x10", "2049", " 3", ""}) {
        const command_line c = parse_command_line({"runtrail", "-enumdir", "d", "-num_subdirs", bad});
        EXPECT_EQ(c.result, command_line::outcome::failed) << bad;
        EXPECT_EQ(c.error, "invalid -num_subdirs value: " + bad + " (a whole number from 0 to 2048)");
    }
    EXPECT_EQ(settings_of({"-enumdir", "d", "-num_subdirs", "2048"}).walk_depth, 2048u);
    EXPECT_EQ(settings_of({"-enumdir", "d", "-num_subdirs", "007"}).walk_depth, 7u);
}

}  // namespace
}  // namespace runtrail::test
