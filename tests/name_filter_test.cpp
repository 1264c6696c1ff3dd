#include <gtest/gtest.h>

#include "name_filter.h"

namespace {

using Names = std::vector<const char*>;

TEST(NameFilter, WhichNamesPass) {
    const struct {
        const char* filter;
        Names pass, fail;
    } cases[] = {
        // An extension pattern looks at the last component only, ignoring ASCII case; names that are
        // not UTF-8 are matched on their bytes.
        {"*.pf", {"NOTEPAD.EXE-D8414F97.pf", "a.PF", "x.pf.pf", "/mnt/c/Windows/Prefetch/CMD.EXE-4A81B364.PF",
                  "/d/\xFF\xFE.pf"},
         {"a.pf.txt", "a.pfx", "/dir.pf/readme", ""}},
        {"*.txt", {}, {"/d/\xFF\xFE.pf"}},
        // Parts split at commas first, at '|' only when there is no comma; blanks trimmed, empty parts dropped.
        {"*calc*|*.pf", {"/x/MyCalcTool.exe", "/x/notepad.pf"}, {"/x/notepad.exe"}},
        {"*calc*,*.pf", {"/x/MyCalcTool.exe", "/x/notepad.pf"}, {"/x/notepad.exe"}},
        {"a|b,c", {"d/a|b", "d/c"}, {"d/a"}},
        {" \t*.pf \r\n", {"a.pf"}, {}},
        {"*.pf,, ,\t,calc.exe", {"CALC.EXE"}, {}},
        {"my file.pf", {"/d/My File.pf"}, {"/d/myfile.pf"}},
        // Separators alone stand as one literal part; an empty value lets nothing pass.
        {",,", {"dir/,,"}, {"a.pf"}},
        {" | ", {}, {"a.pf"}},
        {"", {}, {"a.pf"}},
        // A lone star accepts every non-empty name.
        {"*", {"noextension", "/a/b/c.pf"}, {""}},
        {"*|x", {"noextension", "/a/b/c.pf"}, {""}},
        {"x,*", {"noextension", "/a/b/c.pf"}, {""}},
        {" * ", {"noextension", "/a/b/c.pf"}, {""}},
        {"*:stream", {"noextension", "/a/b/c.pf"}, {""}},
        // Prefix and exact patterns; an inner star is dropped, so a*b is the exact name ab.
        {"calc*", {"calc.exe-1a2b3c4d.pf", "/p/CALC.EXE-1A2B3C4D.pf"}, {"mycalc.pf"}},
        {"calc.exe", {"/x/CALC.EXE"}, {"/x/calc.exe.pf", "/x/mycalc.exe"}},
        {"a*b", {"ab"}, {"axb"}},
        {"*.pf:zone.identifier", {"a.pf"}, {}},
        // A directory filter matches whole components with either separator; a later occurrence counts.
        {"/windows/prefetch",
         {"/mnt/c/windows/prefetch/x.pf", "/mnt/c/Windows/Prefetch/sub/x.pf", "C:\\Windows\\Prefetch\\X.PF",
          "/a/windows/prefetchold/windows/prefetch/x.pf"},
         {"/mnt/c/windows/prefetchold/x.pf", "/mnt/c/mywindows/prefetch/x.pf", "/mnt/c/windows/x.pf",
          "c:\\windows\\prefetchold\\x.pf"}},
        {"/windows/prefetch/", {"/mnt/c/windows/prefetch/x.pf"}, {}},
        {"/windows/pre*", {"/mnt/c/windows/prefetchold/x.pf"}, {}},
        // The file portion follows the last separator (a backslash decides), a lone leading one included.
        {"x.pf", {"/x.pf", "x.pf", "c:\\dir\\x.pf"}, {"c:\\dir\\x.pf\\"}},
        {"x*", {"/x.pf"}, {}},
        {"b/x.pf", {"a\\b/x.pf"}, {}},
        // The first accepting entry decides.
        {"*.txt,/prefetch,calc*", {"/x/prefetch/a.pf", "/y/calc.pf", "/y/a.txt"}, {"/y/a.pf"}},
        // Only ASCII letters fold.
        {"*\xC3\xA9*", {"/d/caf\xC3\xA9.pf"}, {"/d/CAF\xC3\x89.pf"}},
    };
    for (const auto& c : cases) {
        const auto f = parse_filter(c.filter);
        for (const char* name : c.pass) EXPECT_TRUE(filter_match(name, f)) << c.filter << " / " << name;
        for (const char* name : c.fail) EXPECT_FALSE(filter_match(name, f)) << c.filter << " / " << name;
    }
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
