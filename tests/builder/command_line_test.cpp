// Tests of Windows command-line quoting and splitting, as a pair and one by one.
#include "system/command_line.h"

#include <gtest/gtest.h>

namespace {

using pellix::QuoteArgument;
using pellix::SplitCommandLine;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"prog", {"prog"}},
        {"  prog  a   b ", {"prog", "a", "b"}},
        {"prog\ta\tb", {"prog", "a", "b"}},
        {R"("/opt/My Tools/pellix/bin/gzip" --best data/game)",
         {"/opt/My Tools/pellix/bin/gzip", "--best", "data/game"}},
        // The program name takes no backslash escapes: its quotes only toggle.
        {R"("C:\My Tools\" next)", {R"(C:\My Tools\)", "next"}},
        {R"(C:\a\"b c" d)", {R"(C:\a\b c)", "d"}},
        {R"(p a\b\\c)", {"p", R"(a\b\\c)"}},
        {R"(p a\\"b c")", {"p", R"(a\b c)"}},
        {R"(p a\\\"b)", {"p", R"(a\"b)"}},
        {R"(p a\\\\"b c")", {"p", R"(a\\b c)"}},
        {R"(p "a b"c d)", {"p", "a bc", "d"}},
        {R"(p "" x)", {"p", "", "x"}},
        {R"(p "a""b" c)", {"p", R"(a"b)", "c"}},
        {R"(p """" x)", {"p", R"(")", "x"}},
        {R"(p "unterminated arg)", {"p", "unterminated arg"}},
        {R"(p -g "QLMR" "12" "Quillmere" -b icon.bmp "My;Game")",
         {"p", "-g", "QLMR", "12", "Quillmere", "-b", "icon.bmp", "My;Game"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(QuoteArgument, AlwaysQuotesAndEscapesOnlyWhereNeeded) {
    EXPECT_EQ(QuoteArgument("MyGame"), R"("MyGame")");
    EXPECT_EQ(QuoteArgument(""), R"("")");
    EXPECT_EQ(QuoteArgument(R"(C:\Program Files\x.exe)"), R"("C:\Program Files\x.exe")");
    EXPECT_EQ(QuoteArgument(R"(say "hi")"), R"("say \"hi\"")");
    EXPECT_EQ(QuoteArgument(R"(end\)"), R"("end\\")");
    EXPECT_EQ(QuoteArgument(R"(a\"b)"), R"("a\\\"b")");
}

TEST(QuoteArgument, EveryArgumentSurvivesASplit) {
    const Args tricky = {
        "plain",
        "two words",
        "",
        R"(")",
        R"(\)",
        R"(\\)",
        R"(a\)",
        R"(a\\)",
        R"(a\"b)",
        R"(ends with quote")",
        R"("")",
        "tab\there",
        "semi;colon",
        R"(\\server\share\)",
        "Café ü",
        R"(x"y"z)",
        R"(\"\\"\\\")",
    };
    for (const std::string& arg : tricky) {
        const Args split = SplitCommandLine("prog " + QuoteArgument(arg) + " after");
        ASSERT_EQ(split.size(), 3u) << arg;
        EXPECT_EQ(split[1], arg);
        EXPECT_EQ(split[2], "after");
    }
    // The program position, quoted the same way, holds any path without a quote in it.
    for (const char* path : {"/home/ana/My Tools/pellix/bin/grit", R"(C:\P F\bin\a.exe)"}) {
        EXPECT_EQ(SplitCommandLine(QuoteArgument(path) + " x"), (Args{path, "x"}));
    }
}

}  // namespace
