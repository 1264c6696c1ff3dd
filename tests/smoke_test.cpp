#include <gtest/gtest.h>

#include "qn_string.h"
#include "qn_time.h"

TEST(TextConversion, SurrogatePairBecomesOneFourByteCharacter) {
    const uint16_t pair[] = {0xD83D, 0xDE00};
    EXPECT_EQ(qn::utf16_units_to_utf8(pair, 2), "\xF0\x9F\x98\x80");
    const uint16_t lone[] = {0x41, 0xD83D, 0x42};
    EXPECT_EQ(qn::utf16_units_to_utf8(lone, 3), "A\xEF\xBF\xBD" "B");
}

TEST(WindowsTime, KnownInstantBreaksDownExactly) {
    qn::time t(static_cast<int64_t>(130384964960000000ULL), qn::type_filetime);
    ASSERT_TRUE(t.valid);
    EXPECT_EQ(t.systemtime.year, 2014);
    EXPECT_EQ(t.systemtime.month, 3);
    EXPECT_EQ(t.systemtime.day, 5);
    EXPECT_EQ(t.systemtime.hour, 12);
    EXPECT_EQ(t.systemtime.minute, 34);
    EXPECT_EQ(t.systemtime.second, 56);
    EXPECT_EQ(t.systemtime.day_of_week, 3);
}
