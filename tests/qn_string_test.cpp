#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "qn_string.h"

TEST(StringUtilities, CaseFoldingTouchesOnlyAsciiLetters) {
    std::string text = "AbC-\xC3\x84\xC3\xA4-Z";
    qn::to_lower(text);
    EXPECT_EQ(text, "abc-\xC3\x84\xC3\xA4-z");
    qn::to_upper(text);
    EXPECT_EQ(text, "ABC-\xC3\x84\xC3\xA4-Z");
    EXPECT_TRUE(qn::equals_ignore_case("-CSV", "-csv"));
    EXPECT_FALSE(qn::equals_ignore_case("-cs", "-csv"));
    EXPECT_FALSE(qn::equals_ignore_case("\xC3\x84", "\xC3\xA4"));
}

TEST(StringUtilities, TrimQuotesRemoveAndReplace) {
    std::string t = " \t x y\r\n";
    EXPECT_TRUE(qn::trim_blanks(t));
    EXPECT_EQ(t, "x y");
    t = " \r\n\t";
    EXPECT_FALSE(qn::trim_blanks(t));
    EXPECT_EQ(t, "");

    std::string q = "  \"quoted'  ";
    EXPECT_TRUE(qn::strip_quotes(q));
    EXPECT_EQ(q, "quoted");
    q = "'";
    EXPECT_TRUE(qn::strip_quotes(q));
    EXPECT_EQ(q, "");
    q.clear();
    EXPECT_FALSE(qn::strip_quotes(q));

    std::string r = " | a | ";
    EXPECT_EQ(qn::remove_char(r, ' '), 4u);
    EXPECT_EQ(r, "|a|");
    std::string p = "aAbA";
    qn::replace_char(p, 'a', 'x', true);
    EXPECT_EQ(p, "xxbx");
    p = "aAbA";
    qn::replace_char(p, 'a', 'x', false);
    EXPECT_EQ(p, "xAbA");

    std::string f = "C:\\WINDOWS\\system32";
    EXPECT_TRUE(qn::replace_first(f, "\\windows", "/mnt/c", true));
    EXPECT_EQ(f, "C:/mnt/c\\system32");
    EXPECT_FALSE(qn::replace_first(f, "\\WINDOWS", "x", false));
}

TEST(StringUtilities, SplitPathExamples) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
    } cases[] = {
        {"C:\\Windows\\Prefetch\\X.dat", "C:\\Windows\\Prefetch", "X.dat"},
        {"a/b/..", "a/b//..", "."},
        {"a\\b\\..", "a\\b\\..", "."},
        {"X.dat", ".", "X.dat"},
        {"/X.dat", ".", "/X.dat"},
        {"..", "..", "."},
    };
    for (const auto& c : cases) {
        std::string dir, name;
        EXPECT_TRUE(qn::split_path(c.path, dir, name)) << c.path;
        EXPECT_EQ(dir, c.dir) << c.path;
        EXPECT_EQ(name, c.name) << c.path;
    }
    std::string dir = "x", name = "y";
    EXPECT_FALSE(qn::split_path("", dir, name));
    EXPECT_TRUE(dir.empty() && name.empty());
}

TEST(StringUtilities, EnvironmentExpansion) {
    setenv("RT_TEST_DIR", "/tmp/rt", 1);
    setenv("RT_TEST_NESTED", "%RT_TEST_DIR%/in", 1);
    unsetenv("RT_TEST_MISSING");
    std::string t = "%RT_TEST_DIR%/x.pf";
    EXPECT_EQ(qn::expand_env_vars(t, false), "/tmp/rt/x.pf");
    t = "%RT_TEST_NESTED%/%RT_TEST_MISSING%/%RT_TEST_DIR%";
    EXPECT_EQ(qn::expand_env_vars(t, false), "/tmp/rt/in/%RT_TEST_MISSING%//tmp/rt");
    t = "100% sure";
    EXPECT_EQ(qn::expand_env_vars(t, false), "100% sure");
    t = "%VSS%1\\x";
    EXPECT_EQ(qn::expand_env_vars(t, true), "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1\\x");
    t = "%vss%1";
    EXPECT_EQ(qn::expand_env_vars(t, false), "%vss%1");
}

TEST(StringUtilities, EnvironmentExpansionEndsOnSelfAndMutualReference) {
    setenv("RT_TEST_SELF", "%RT_TEST_SELF%", 1);
    std::string t = "a%RT_TEST_SELF%b";
    EXPECT_EQ(qn::expand_env_vars(t, true), "a%RT_TEST_SELF%b");

    setenv("RT_TEST_A", "%RT_TEST_B%", 1);
    setenv("RT_TEST_B", "%RT_TEST_A%", 1);
    t = "%RT_TEST_A%";
    qn::expand_env_vars(t, true);
    EXPECT_TRUE(t == "%RT_TEST_A%" || t == "%RT_TEST_B%") << t;

    // A value that grows on every rescan stops near the length bound.
    setenv("RT_TEST_GROW", "xxxxxxxxxxxxxxxx%RT_TEST_GROW%", 1);
    t = "%RT_TEST_GROW%";
    qn::expand_env_vars(t, true);
    EXPECT_LT(t.size(), 600u);
    // A huge value is inserted once, never repeatedly.
    setenv("RT_TEST_HUGE", (std::string(100000, 'h') + "%RT_TEST_HUGE%").c_str(), 1);
    t = "%RT_TEST_HUGE%";
    qn::expand_env_vars(t, true);
    EXPECT_LE(t.size(), 100000u + 15u);
}

TEST(StringUtilities, SplitText) {
    std::vector<std::string> parts;
    EXPECT_TRUE(qn::split_text(" a | b ||c|", '|', parts, true, false));
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(qn::split_text("a||c|", '|', parts, false, true));
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "", "c", ""}));
    EXPECT_TRUE(qn::split_text("d", '|', parts, false, false, true));
    EXPECT_EQ(parts.size(), 5u);
    EXPECT_FALSE(qn::split_text("", '|', parts, false, false));
    EXPECT_TRUE(parts.empty());
}

TEST(StringUtilities, ParseNumberForms) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"16", true, 16},       {"0x10", true, 16},       {"0X1f", true, 31},  {"x1F", true, 31},
        {"o17", true, 15},      {"-1", true, 0xFFFFFFFF}, {"+7", true, 7},     {"'A'", true, 65},
        {" 0x10 ", true, 16},   {"12abc", true, 12},      {"abc", false, 0},   {"", false, 0},
        {"  ", false, 0},       {"'AB'", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t v = 99;
        EXPECT_EQ(qn::parse_number(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(StringUtilities, ParseIntForms) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0x10", true, 16}, {"-5", true, -5}, {"o17", true, 15}, {"+3", true, 3}, {"z", false, 0}, {"", false, 0},
    };
    for (const auto& c : cases) {
        int32_t v = 99;
        EXPECT_EQ(qn::parse_int(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

// The byte-level conversion takes an ASCII shortcut four units at a time; wherever the first
// non-ASCII unit, a surrogate or the terminating zero falls, it must agree with the unit-by-unit
// conversion of the units before the terminator.
TEST(StringUtilities, Utf16leBytesConvertLikeUnits) {
    const std::vector<uint16_t> specials = {0x00E4, 0x20AC, 0xD83D, 0xDE00, 0xDC00, 0xD800, 0x007F, 0x0080, 0};
    std::string out = "left over from an earlier, longer name";
    // Short names at every position, and names longer than the narrowing block (256 bytes).
    std::vector<std::pair<size_t, size_t>> cases;
    for (size_t length = 0; length <= 11; ++length)
        for (size_t at = 0; at <= length; ++at) cases.emplace_back(length, at);
    for (size_t length : {255, 256, 257, 1030})
        for (size_t at : {size_t{0}, size_t{255}, length - 1, length}) cases.emplace_back(length, at);
    for (const auto& [length, at] : cases) {
        {
            for (uint16_t special : specials) {
                std::vector<uint16_t> units(length);
                for (size_t i = 0; i < length; ++i) units[i] = static_cast<uint16_t>('A' + i % 26);
                if (at < length) units[at] = special;
                if (special == 0xD83D && at + 1 < length) units[at + 1] = 0xDE00;  // a valid pair
                std::vector<uint8_t> bytes;
                for (uint16_t u : units) {
                    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
                    bytes.push_back(static_cast<uint8_t>(u >> 8));
                }
                const size_t stop = static_cast<size_t>(std::find(units.begin(), units.end(), 0) - units.begin());
                EXPECT_EQ(qn::assign_utf16le_string_as_utf8(out, bytes.data(), length), stop);
                EXPECT_EQ(out, qn::utf16_units_to_utf8(units.data(), stop)) << length << " " << at << " " << special;
            }
        }
    }
}
