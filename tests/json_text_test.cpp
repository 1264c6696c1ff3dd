// JSON strings: a byte to escape is found wherever it stands in a name.
#include <gtest/gtest.h>

#include "json_text.h"

namespace runtrail::test {
namespace {

TEST(JsonText, EveryByteToEscapeIsFoundAtEveryPlaceInALongName) {
    const std::pair<std::string, std::string> escapes[] = {
        {"\"", "\\\""},         {"\\", "\\\\"},         {"\x01", "\\u0001"},        {"\x1f", "\\u001f"},
        {"\x7f", "\\u007f"},    {"\xc2\x9b", "\\u009b"}, {"\xe2\x80\xa8", "\\u2028"}, {"\xff", "\xef\xbf\xbd"},
        {"\xc3\xa9", "\xc3\xa9"}};
    for (const auto& [raw, escaped] : escapes) {
        for (size_t at = 0; at <= 20; ++at) {
            const std::string before(at, 'a'), after(20 - at, ' ');
            std::string out;
            append_json_string(out, before + raw + after);
            EXPECT_EQ(out, "\"" + before + escaped + after + "\"") << at;
        }
    }
}

}  // namespace
}  // namespace runtrail::test
