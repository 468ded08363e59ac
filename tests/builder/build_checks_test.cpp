// Tests of the checks before a build that are no refusal: what a title becomes, and the
// largest ROM. (Every refusal is in the pipeline's refusal table.)
#include "builder/build_checks.h"

#include <gtest/gtest.h>

#include "builder/rom_choice.h"
#include "system/platform.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "|") + line;
    return text;
}

TEST(CheckTitle, ANameIsMadeReadableAndCutToWhatTheTypedLinesLeave) {
    const std::string n251(251, 'n');
    const std::string emoji = "\xF0\x9F\x8E\xAE";  // two UTF-16 units
    struct Case {
        std::string titles[3];
        bool line1IsName;
        std::string lines;  // joined by "|"
        std::string notice;
    };
    const std::string cut = "the title's line 1, the ROM's name, was cut to its first ";
    const Case cases[] = {
        {{"caf\xE9", "", ""}, true, "caf\xC3\xA9", ""},
        {{"\xED\xA0\x80 \x81", "", ""}, true, "\xC3\xAD\xC2\xA0\xE2\x82\xAC \xEF\xBF\xBD", ""},
        {{"tab\tand\nbreak", "", ""}, true, "tab and break", ""},
        {{n251, "", ""},
         true,
         std::string(128, 'n'),
         cut + "128 of 251 UTF-16 units to fit the DS title"},
        {{n251, "Sub", ""},
         true,
         std::string(124, 'n') + "|Sub",
         cut + "124 of 251 UTF-16 units to fit the DS title"},
        {{std::string(127, 'n') + emoji, "", ""},
         true,
         std::string(127, 'n'),
         cut + "127 of 129 UTF-16 units to fit the DS title"},
        {{std::string(128, 't'), "", ""}, false, std::string(128, 't'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const pellix::TitleCheck check = pellix::CheckTitle(c.titles, c.line1IsName);
        EXPECT_EQ(Joined(check.lines), c.lines);
        EXPECT_EQ(check.notice, c.notice);
        EXPECT_EQ(check.refusal, "");
    }
    // Choosing such a ROM proposes the same title line 1. (Names on Windows are UTF-16, and
    // never hold bytes that are not UTF-8.)
    if (pellix::os::kWindows) return;
    EXPECT_EQ(pellix::ChooseRom("/roms/" + n251 + "caf\xE9.gba").title1, std::string(128, 'n'));
    EXPECT_EQ(pellix::ChooseRom("/roms/caf\xE9.gba").title1, "caf\xC3\xA9");
}

TEST(RomRefusal, AGbaRomOf32MiBIsBuilt) {
    pellix::test::TempDir dir{"pellix-checks"};
    const fs::path rom = dir.path() / "full.gba";
    pellix::test::WriteFile(rom, "");
    fs::resize_file(rom, pellix::kMaxRomSize);
    EXPECT_EQ(pellix::RomRefusal("full.gba", rom.u8string()), "");
}

}  // namespace
