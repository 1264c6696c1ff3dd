#include <gtest/gtest.h>

#include "name_filter.h"

namespace {

bool passes(std::string_view filter, std::string_view name) { return filter_match(name, parse_filter(filter)); }

TEST(NameFilter, ExtensionPatternMatchesLastComponentIgnoringCase) {
    const auto f = parse_filter("*.pf");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_TRUE(f[0].leading_star);
    EXPECT_FALSE(f[0].trailing_star);
    EXPECT_EQ(f[0].pattern, U".pf");
    EXPECT_TRUE(filter_match("NOTEPAD.EXE-D8414F97.pf", f));
    EXPECT_TRUE(filter_match("a.PF", f));
    EXPECT_TRUE(filter_match("x.pf.pf", f));
    EXPECT_TRUE(filter_match("/mnt/c/Windows/Prefetch/CMD.EXE-4A81B364.PF", f));
    EXPECT_FALSE(filter_match("a.pf.txt", f));
    EXPECT_FALSE(filter_match("a.pfx", f));
    EXPECT_FALSE(filter_match("/dir.pf/readme", f));  // only the last component counts
    EXPECT_FALSE(filter_match("x.txt", f));
}

TEST(NameFilter, PartsSplitAtCommaFirstThenPipe) {
    for (const char* value : {"*calc*|*.pf", "*calc*,*.pf"}) {
        const auto f = parse_filter(value);
        ASSERT_EQ(f.size(), 2u) << value;
        EXPECT_TRUE(filter_match("/x/MyCalcTool.exe", f)) << value;
        EXPECT_TRUE(filter_match("/x/notepad.pf", f)) << value;
        EXPECT_FALSE(filter_match("/x/notepad.exe", f)) << value;
    }
    const auto mixed = parse_filter("a|b,c");
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[0].pattern, U"a|b");
    EXPECT_EQ(mixed[1].pattern, U"c");
    EXPECT_TRUE(filter_match("d/a|b", mixed));
    EXPECT_TRUE(filter_match("d/c", mixed));
    EXPECT_FALSE(filter_match("d/a", mixed));
}

TEST(NameFilter, PartsAreTrimmedAndEmptyPartsDropped) {
    const auto f = parse_filter(" \t*.pf \r\n");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].text, U"*.pf");
    EXPECT_TRUE(filter_match("a.pf", f));
    const auto g = parse_filter("*.pf,, ,\t,calc.exe");
    ASSERT_EQ(g.size(), 2u);
    EXPECT_TRUE(filter_match("CALC.EXE", g));
    // Blanks inside a part are kept.
    EXPECT_TRUE(passes("my file.pf", "/d/My File.pf"));
    EXPECT_FALSE(passes("my file.pf", "/d/myfile.pf"));
}

TEST(NameFilter, SeparatorsOnlyStandAsOneLiteralPart) {
    const auto f = parse_filter(",,");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].pattern, U",,");
    EXPECT_FALSE(filter_match("a.pf", f));
    EXPECT_TRUE(filter_match("dir/,,", f));
    const auto p = parse_filter(" | ");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].pattern, U" | ");
    EXPECT_FALSE(filter_match("a.pf", p));
    // An empty value is one empty exact pattern: nothing passes.
    const auto e = parse_filter("");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_FALSE(filter_match("a.pf", e));
}

TEST(NameFilter, LoneStarAcceptsEverything) {
    for (const char* value : {"*", "*|x", "x,*", " * ", "*:stream"}) {
        const auto f = parse_filter(value);
        EXPECT_TRUE(filter_match("noextension", f)) << value;
        EXPECT_TRUE(filter_match("/a/b/c.pf", f)) << value;
        EXPECT_FALSE(filter_match("", f)) << value;
    }
    EXPECT_EQ(parse_filter("*|x").size(), 1u);
    EXPECT_TRUE(parse_filter("*:stream")[0].match_all);
    EXPECT_EQ(parse_filter("*:stream")[0].stream_pattern, U"stream");
}

TEST(NameFilter, PrefixExactAndInnerStar) {
    EXPECT_TRUE(passes("calc*", "calc.exe-1a2b3c4d.pf"));
    EXPECT_TRUE(passes("calc*", "/p/CALC.EXE-1A2B3C4D.pf"));
    EXPECT_FALSE(passes("calc*", "mycalc.pf"));
    EXPECT_TRUE(passes("calc.exe", "/x/CALC.EXE"));
    EXPECT_FALSE(passes("calc.exe", "/x/calc.exe.pf"));
    EXPECT_FALSE(passes("calc.exe", "/x/mycalc.exe"));
    // An inner '*' is dropped without effect: a*b is the exact name ab.
    const auto f = parse_filter("a*b");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_FALSE(f[0].leading_star);
    EXPECT_FALSE(f[0].trailing_star);
    EXPECT_TRUE(filter_match("ab", f));
    EXPECT_FALSE(filter_match("axb", f));
}

TEST(NameFilter, StreamSuffixIsCutFromThePattern) {
    const auto f = parse_filter("*.pf:zone.identifier");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].pattern, U".pf");
    EXPECT_EQ(f[0].stream_pattern, U"zone.identifier");
    EXPECT_EQ(f[0].text, U"*.pf:zone.identifier");
    EXPECT_TRUE(filter_match("a.pf", f));
}

TEST(NameFilter, DirectoryFilterMatchesWholeComponentsWithEitherSeparator) {
    const auto f = parse_filter("/windows/prefetch");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_TRUE(f[0].directory_filter);
    EXPECT_TRUE(filter_match("/mnt/c/windows/prefetch/x.pf", f));
    EXPECT_TRUE(filter_match("/mnt/c/Windows/Prefetch/x.pf", f));
    EXPECT_TRUE(filter_match("/mnt/c/Windows/Prefetch/sub/x.pf", f));
    EXPECT_FALSE(filter_match("/mnt/c/windows/prefetchold/x.pf", f));
    EXPECT_FALSE(filter_match("/mnt/c/mywindows/prefetch/x.pf", f));
    EXPECT_FALSE(filter_match("/mnt/c/windows/x.pf", f));
    EXPECT_TRUE(filter_match("c:\\windows\\prefetch\\x.pf", f));
    EXPECT_TRUE(filter_match("C:\\Windows\\Prefetch\\X.PF", f));
    EXPECT_FALSE(filter_match("c:\\windows\\prefetchold\\x.pf", f));
    // A later occurrence still counts when an earlier one is only a prefix of a component.
    EXPECT_TRUE(filter_match("/a/windows/prefetchold/windows/prefetch/x.pf", f));
    // A closing separator in the pattern changes nothing.
    EXPECT_TRUE(passes("/windows/prefetch/", "/mnt/c/windows/prefetch/x.pf"));
    // A trailing star lifts the whole-component rule.
    EXPECT_TRUE(passes("/windows/pre*", "/mnt/c/windows/prefetchold/x.pf"));
}

TEST(NameFilter, NameSplitting) {
    // Only the text after the last separator is the file portion; a lone leading separator is
    // split off as well, so exact and prefix patterns see the bare name.
    EXPECT_TRUE(passes("x.pf", "/x.pf"));
    EXPECT_TRUE(passes("x*", "/x.pf"));
    EXPECT_TRUE(passes("x.pf", "x.pf"));
    EXPECT_TRUE(passes("x.pf", "c:\\dir\\x.pf"));
    EXPECT_FALSE(passes("x.pf", "c:\\dir\\x.pf\\"));
    // A name with a backslash is split at it even when it also holds '/'.
    EXPECT_TRUE(passes("b/x.pf", "a\\b/x.pf"));
}

TEST(NameFilter, EmptyNameRejectedEmptyListAccepts) {
    EXPECT_FALSE(filter_match("", {}));
    EXPECT_FALSE(filter_match(std::u32string(), {}));
    EXPECT_TRUE(filter_match("anything", {}));
    EXPECT_FALSE(passes("*.pf", ""));
}

TEST(NameFilter, FirstAcceptingEntryDecidesAndOrderIsKept) {
    const auto f = parse_filter("*.txt,/prefetch,calc*");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].pattern, U".txt");
    EXPECT_EQ(f[1].pattern, U"/prefetch");
    EXPECT_EQ(f[2].pattern, U"calc");
    EXPECT_TRUE(filter_match("/x/prefetch/a.pf", f));
    EXPECT_TRUE(filter_match("/y/calc.pf", f));
    EXPECT_TRUE(filter_match("/y/a.txt", f));
    EXPECT_FALSE(filter_match("/y/a.pf", f));
}

TEST(NameFilter, NonAsciiIsComparedExactlyAndInvalidUtf8NamesStillMatch) {
    // Only ASCII letters fold: "É" and "é" stay different.
    EXPECT_TRUE(passes("*\xC3\xA9*", "/d/caf\xC3\xA9.pf"));
    EXPECT_FALSE(passes("*\xC3\xA9*", "/d/CAF\xC3\x89.pf"));
    // A Linux name that is not UTF-8 is matched on its bytes rather than rejected.
    EXPECT_TRUE(passes("*.pf", "/d/\xFF\xFE.pf"));
    EXPECT_FALSE(passes("*.txt", "/d/\xFF\xFE.pf"));
    // The wide overload agrees with the narrow one.
    EXPECT_TRUE(filter_match(std::u32string(U"/d/Caf\u00e9.PF"), parse_filter("*.pf")));
}

TEST(NameFilter, EntryBuiltByHandIsMatchedThroughItsWidePattern) {
    filter_entry e;
    e.pattern = U".pf";
    e.leading_star = true;
    EXPECT_TRUE(filter_match("a.pf", std::vector<filter_entry>{e}));
    EXPECT_FALSE(filter_match("a.txt", std::vector<filter_entry>{e}));
}

}  // namespace
