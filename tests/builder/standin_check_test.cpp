// The stand-in DS-side images are told by their marker, whatever their size.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/standin_check.h"
#include "standin_images.h"
#include "test_support.h"

namespace pellix {
namespace {

std::string Bytes(const std::vector<uint8_t>& image) {
    return std::string(image.begin(), image.end());
}

TEST(StandInCheck, TellsTheStandInsByTheirMarker) {
    const std::string arm7 = Bytes(standins::Arm7Standin());
    const std::string arm9 = Bytes(standins::Arm9Standin());
    // Quillmere's own images may have any size, the stand-ins' own included.
    const std::string real7(arm7.size(), '\x5A');
    const std::string real9(arm9.size(), '\x00');
    struct Case {
        const char* name;
        const std::string* image7;  // nullptr: no file
        const std::string* image9;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"both stand-ins", &arm7, &arm9, {"7.bin", "9.bin"}},
        {"ARM9 replaced", &arm7, &real9, {"7.bin"}},
        {"ARM7 replaced", &real7, &arm9, {"9.bin"}},
        {"both replaced", &real7, &real9, {}},
        {"missing images", nullptr, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir app;
        const auto bin = app.path() / "bin";
        std::filesystem::create_directories(bin);
        if (c.image7) test::WriteFile(bin / "7.bin", *c.image7);
        if (c.image9) test::WriteFile(bin / "9.bin", *c.image9);
        std::vector<std::string> expected;
        for (const std::string& name : c.expected) expected.push_back((bin / name).u8string());
        EXPECT_EQ(StandInImages(FindDsInputs(app.path().u8string(), "")), expected);
    }
}

TEST(StandInCheck, WarningNamesTheFilesAndWhereTheRealOnesGo) {
    EXPECT_EQ(StandInWarning({}, "/home/me/.local/share/pellix"), "");
    EXPECT_EQ(StandInWarning({"/p/bin/7.bin", "/p/bin/9.bin"}, "/home/me/.local/share/pellix"),
              "/p/bin/7.bin and /p/bin/9.bin are stand-ins that Pellix ships, and packages made "
              "with them do nothing on a DS. Put Quillmere's own ARM7 and ARM9 images, named "
              "7.bin and 9.bin, in /home/me/.local/share/pellix (see README.txt).");
    // Without a folder of the user's own, the real images take the stand-ins' place.
    EXPECT_EQ(StandInWarning({"/p/bin/9.bin"}, ""),
              "/p/bin/9.bin is a stand-in that Pellix ships, and packages made with it do "
              "nothing on a DS. Put Quillmere's own ARM7 and ARM9 images, named 7.bin and "
              "9.bin, in their place (see README.txt).");
}

}  // namespace
}  // namespace pellix
