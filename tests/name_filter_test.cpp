#include <gtest/gtest.h>

#include "name_filter.h"

namespace {

TEST(NameFilter, WhichNamesPass) {
    const struct {
        const char* filter;
        const char* name;
        bool passes;
    } cases[] = {
        // An extension pattern looks at the last component only, ignoring ASCII case.
        {"*.pf", "NOTEPAD.EXE-D8414F97.pf", true},
        {"*.pf", "a.PF", true},
        {"*.pf", "x.pf.pf", true},
        {"*.pf", "/mnt/c/Windows/Prefetch/CMD.EXE-4A81B364.PF", true},
        {"*.pf", "a.pf.txt", false},
        {"*.pf", "a.pfx", false},
        {"*.pf", "/dir.pf/readme", false},
        {"*.pf", "", false},
        // Parts split at commas first, at '|' only when there is no comma; blanks trimmed, empty parts dropped.
        {"*calc*|*.pf", "/x/MyCalcTool.exe", true},
        {"*calc*,*.pf", "/x/notepad.pf", true},
        {"*calc*|*.pf", "/x/notepad.exe", false},
        {"a|b,c", "d/a|b", true},
        {"a|b,c", "d/c", true},
        {"a|b,c", "d/a", false},
        {" \t*.pf \r\n", "a.pf", true},
        {"*.pf,, ,\t,calc.exe", "CALC.EXE", true},
        {"my file.pf", "/d/My File.pf", true},
        {"my file.pf", "/d/myfile.pf", false},
        // Separators alone stand as one literal part; an empty value lets nothing pass.
        {",,", "a.pf", false},
        {",,", "dir/,,", true},
        {" | ", "a.pf", false},
        {"", "a.pf", false},
        // A lone star accepts every non-empty name.
        {"*", "noextension", true},
        {"*|x", "/a/b/c.pf", true},
        {"x,*", "noextension", true},
        {" * ", "/a/b/c.pf", true},
        {"*:stream", "noextension", true},
        {"*", "", false},
        // Prefix and exact patterns; an inner star is dropped, so a*b is the exact name ab.
        {"calc*", "calc.exe-1a2b3c4d.pf", true},
        {"calc*", "/p/CALC.EXE-1A2B3C4D.pf", true},
        {"calc*", "mycalc.pf", false},
        {"calc.exe", "/x/CALC.EXE", true},
        {"calc.exe", "/x/calc.exe.pf", false},
        {"calc.exe", "/x/mycalc.exe", false},
        {"a*b", "ab", true},
        {"a*b", "axb", false},
        {"*.pf:zone.identifier", "a.pf", true},
        // A directory filter matches whole components with either separator.
        {"/windows/prefetch", "/mnt/c/windows/prefetch/x.pf", true},
        {"/windows/prefetch", "/mnt/c/Windows/Prefetch/sub/x.pf", true},
        {"/windows/prefetch", "/mnt/c/windows/prefetchold/x.pf", false},
        {"/windows/prefetch", "/mnt/c/mywindows/prefetch/x.pf", false},
        {"/windows/prefetch", "/mnt/c/windows/x.pf", false},
        {"/windows/prefetch", "C:\\Windows\\Prefetch\\X.PF", true},
        {"/windows/prefetch", "c:\\windows\\prefetchold\\x.pf", false},
        {"/windows/prefetch", "/a/windows/prefetchold/windows/prefetch/x.pf", true},
        {"/windows/prefetch/", "/mnt/c/windows/prefetch/x.pf", true},
        {"/windows/pre*", "/mnt/c/windows/prefetchold/x.pf", true},
        // The file portion follows the last separator (a backslash decides), a lone leading one included.
        {"x.pf", "/x.pf", true},
        {"x*", "/x.pf", true},
        {"x.pf", "c:\\dir\\x.pf", true},
        {"x.pf", "c:\\dir\\x.pf\\", false},
        {"b/x.pf", "a\\b/x.pf", true},
        // The first accepting entry decides.
        {"*.txt,/prefetch,calc*", "/x/prefetch/a.pf", true},
        {"*.txt,/prefetch,calc*", "/y/calc.pf", true},
        {"*.txt,/prefetch,calc*", "/y/a.txt", true},
        {"*.txt,/prefetch,calc*", "/y/a.pf", false},
        // Only ASCII letters fold; names that are not UTF-8 are matched on their bytes.
        {"*\xC3\xA9*", "/d/caf\xC3\xA9.pf", true},
        {"*\xC3\xA9*", "/d/CAF\xC3\x89.pf", false},
        {"*.pf", "/d/\xFF\xFE.pf", true},
        {"*.txt", "/d/\xFF\xFE.pf", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filter_match(c.name, parse_filter(c.filter)), c.passes) << c.filter << " / " << c.name;
}

TEST(NameFilter, ParsedEntries) {
    const auto f = parse_filter("*.txt, /prefetch ,calc*,*.pf:zone.identifier,a|b");
    ASSERT_EQ(f.size(), 5u);
    EXPECT_TRUE(f[0].leading_star && !f[0].trailing_star && f[0].pattern == U".txt");
    EXPECT_TRUE(f[1].directory_filter && f[1].pattern == U"/prefetch" && f[1].text == U"/prefetch");
    EXPECT_TRUE(f[2].trailing_star && f[2].pattern == U"calc");
    EXPECT_TRUE(f[3].pattern == U".pf" && f[3].stream_pattern == U"zone.identifier");
    EXPECT_EQ(f[3].text, U"*.pf:zone.identifier");
    EXPECT_EQ(f[4].pattern, U"a|b");
    EXPECT_EQ(parse_filter("*|x").size(), 1u);
    EXPECT_TRUE(parse_filter("*:stream")[0].match_all);
    EXPECT_EQ(parse_filter("a*b")[0].pattern, U"ab");
    EXPECT_EQ(parse_filter(" | ")[0].pattern, U" | ");
    EXPECT_EQ(parse_filter("").size(), 1u);

    // An empty name never passes; an empty list passes every other name.
    EXPECT_FALSE(filter_match("", {}));
    EXPECT_FALSE(filter_match(std::u32string(), {}));
    EXPECT_TRUE(filter_match("anything", {}));
    // The wide overload agrees; an entry built by hand is matched through its wide pattern.
    EXPECT_TRUE(filter_match(std::u32string(U"/d/Caf\u00e9.PF"), parse_filter("*.pf")));
    filter_entry e;
    e.pattern = U".pf";
    e.leading_star = true;
    EXPECT_TRUE(filter_match("a.pf", std::vector<filter_entry>{e}));
    EXPECT_FALSE(filter_match("a.txt", std::vector<filter_entry>{e}));
}

}  // namespace
