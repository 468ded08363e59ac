// Pairing by name: title lists read line by line, pictures found beside the ROMs' names.
#include "builder/rom_names.h"

#include <gtest/gtest.h>

#include "system/platform.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace pellix;

// An entry as one line: "name|line1|line2|line3@line".
std::string Describe(const std::vector<TitleEntry>& list) {
    std::string text;
    for (const TitleEntry& e : list)
        text += e.name + "|" + e.titles[0] + "|" + e.titles[1] + "|" + e.titles[2] + "@" +
                std::to_string(e.line) + "\n";
    return text;
}

TEST(TitleList, LinesAreReadOrRefusedWithTheirNumber) {
    const std::pair<std::string, std::string> good[] = {
        {"\xEF\xBB\xBFZelda\tThe Minish Cap\r\n\r\nMetroid.GBA\tMetroid\tZero Mission\t(USA)\n",
         "Zelda|The Minish Cap||@1\nMetroid|Metroid|Zero Mission|(USA)@3\n"},
        {"Wars\t\tBlack Hole Rising\n   \n", "Wars||Black Hole Rising|@1\n"},
        {"Caf\xC3\xA9\tCaf\xC3\xA9; Deluxe", "Caf\xC3\xA9|Caf\xC3\xA9; Deluxe||@1\n"},
    };
    for (const auto& [text, expected] : good) EXPECT_EQ(Describe(ParseTitleList(text)), expected);

    const std::pair<std::string, std::string> bad[] = {
        {"A\tx\n\nB\n", "line 3: B has no title"},
        {"A\t1\t2\t3\t4", "line 1: A has 4 title lines; a package shows at most 3"},
        {"\tTitle", "line 1: no ROM name before the first tab"},
        {"A\tOne\t \tThree", "line 1: A: title line 2 holds nothing but spaces"},
        {"A\tOne\t\tThree", "line 1: A: title line 2 is blank"},
        {"A\tx\nB\t\xC3(\n", "line 2: the text is not UTF-8"},
        {"A\tx\na.gba\ty", os::kPathsIgnoreCase ? "line 2: a is listed already, on line 1" : ""},
        {"A\tx\nA\ty", "line 2: A is listed already, on line 1"},
    };
    for (const auto& [text, message] : bad) {
        if (message.empty()) {
            EXPECT_NO_THROW(ParseTitleList(text)) << text;
            continue;
        }
        try {
            ParseTitleList(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const TitleListError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
        }
    }
}

TEST(PictureFinder, FindsByNameSubfolderFirstInTheExtensionsOrder) {
    pellix::test::TempDir dir;
    const fs::path root = dir.path();
    for (const char* file : {"Zelda.jpg", "Zelda.png", "Metroid.GIF", "Wars.txt", "sub/Zelda.bmp",
                             "Kirby.jpeg.png", "Fire.Emblem.bmp"}) {
        fs::create_directories((root / file).parent_path());
        pellix::test::WriteFile(root / file, "x");
    }
    PictureFinder finder;
    finder.AddFolder(root.u8string());
    const std::string none;
    const std::pair<std::pair<const char*, const char*>, std::string> rows[] = {
        {{"/roms/Zelda.gba", ""}, (root / "Zelda.png").u8string()},  // .png before .jpg
        {{"/roms/Zelda.gba", "sub"}, (root / "sub" / "Zelda.bmp").u8string()},
        {{"/roms/Metroid.gba", "sub"}, (root / "Metroid.GIF").u8string()},  // the top's
        {{"/roms/Wars.gba", ""}, none},                                     // not a picture
        {{"/roms/Kirby.jpeg.gba", ""}, (root / "Kirby.jpeg.png").u8string()},
        {{"/roms/Fire.Emblem.gba", ""}, (root / "Fire.Emblem.bmp").u8string()},
        {{"/roms/zelda.gba", ""}, os::kPathsIgnoreCase ? (root / "Zelda.png").u8string() : none},
    };
    for (const auto& [rom, expected] : rows)
        EXPECT_EQ(finder.Find(rom.first, rom.second), expected) << rom.first << " " << rom.second;
}

}  // namespace
