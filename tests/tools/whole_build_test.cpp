// Whole builds through the pipeline with the real companion programs: any picture as icon
// or border reaches the package converted, and the package holds the icon the preview's
// conversion shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "formats/bitmap16.h"
#include "formats/bitmap_writer.h"
#include "builder/build_pipeline.h"
#include "formats/colour_space.h"
#include "formats/lz77.h"
#include "formats/menu_icon.h"
#include "formats/nds_reader.h"
#include "support/pictures.h"
#include "formats/picture_scale.h"
#include "support/program.h"
#include "support/scratch.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;
using formats::Picture;
using formats::Rgba8;
using testing::Bytes;

using testing::ProgramName;
const auto Write = testing::WriteBytes;

// The window's settings as plain values: compression off (no gzip is needed on any system).
BuildRequest PictureRequest() {
    BuildRequest request;
    request.titles[0] = "Pictures";
    request.compression = false;
    return request;
}

// An installation with the built programs in bin and a ROM and output folder beside it.
class WholeBuild : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        app_ = root_ / "Pellix";
        fs::create_directories(app_ / "bin" / "data");
        fs::create_directories(app_ / "gfx");
        fs::create_directories(root_ / "out");
        const std::pair<const char*, const char*> programs[] = {{"grit", GRIT_PROGRAM},
                                                                {"gbacrusher", GBACRUSHER_PROGRAM},
                                                                {"ndstool", NDSTOOL_PROGRAM},
                                                                {"efs", EFS_PROGRAM}};
        for (const auto& [name, built] : programs)
            fs::copy_file(built, app_ / "bin" / ProgramName(name));
        fs::copy_file(STANDIN_DIR "/7.bin", app_ / "bin" / "7.bin");
        fs::copy_file(STANDIN_DIR "/9.bin", app_ / "bin" / "9.bin");
        Write(root_ / "game.gba", Bytes(4096, 0x5A));
        settings_.rom = (root_ / "game.gba").string();
        settings_.outputFolder = (root_ / "out").string();
    }
    void TearDown() override { fs::current_path(previous_); }

    // Builds with `icon` and `border` as the chosen files and reads the package back.
    formats::NdsPackage Build(const std::string& iconName, const Bytes& icon,
                              const std::string& borderName, const Bytes& border) {
        Write(root_ / iconName, icon);
        Write(root_ / borderName, border);
        settings_.icon = (root_ / iconName).string();
        settings_.border = (root_ / borderName).string();
        const BuildResult result = pellix::Build(settings_, app_.string());
        EXPECT_EQ(result.kind, BuildOutcome::Delivered) << result.message;
        return formats::ReadNdsFile((root_ / "out" / "game.nds").string());
    }

    const testing::TempDir scratch_{"pellix-whole-build"};
    const fs::path root_ = scratch_.path();
    fs::path previous_, app_;
    BuildRequest settings_ = PictureRequest();
};

// The package's icon as the DS shows it.
std::vector<Rgba8> PackageIcon(const formats::NdsPackage& package) {
    std::vector<Rgba8> shown(package.banner.iconIndices.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        const uint8_t index = package.banner.iconIndices[i];
        if (index == 0) continue;
        const formats::Rgb8 c = formats::DsVisible(package.banner.palette[index]);
        shown[i] = {c.r, c.g, c.b, 255};
    }
    return shown;
}

bool SamePixels(const std::vector<Rgba8>& a, const std::vector<Rgba8>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].a != b[i].a || a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b)
            return false;
    return true;
}

TEST_F(WholeBuild, APngIconWithAlphaAndAJpegBorderOfAnotherSizeArriveConverted) {
    const Picture badge = testing::AlphaBadge();
    const Bytes icon = testing::EncodePng(badge);
    const Picture photo = testing::PhotoLike(640, 400);
    const Bytes border = testing::EncodeJpeg(photo, 95);
    const formats::NdsPackage package = Build("badge.png", icon, "photo.jpg", border);
    ASSERT_TRUE(package.hasBanner);

    // The package holds the icon the preview shows for the same file.
    const formats::MenuIcon preview = formats::MakeMenuIcon(icon.data(), icon.size());
    EXPECT_EQ(package.banner.iconIndices, preview.picture.indices);
    EXPECT_TRUE(SamePixels(PackageIcon(package), formats::MenuIconRgba(preview.picture)));
    // Transparent above and below the wide badge, shown in its middle.
    EXPECT_EQ(package.banner.iconIndices[0], 0);
    EXPECT_NE(package.banner.iconIndices[16 * 32 + 16], 0);

    // The border covers the screen: the JPEG decoded, cropped to 4:3 and scaled.
    const formats::NdsFileEntry* lz = nullptr;
    for (const auto& f : package.files)
        if (f.path == "border.lz7") lz = &f;
    ASSERT_NE(lz, nullptr);
    const Bytes pixels = formats::DecompressLz77(package.Contents(*lz));
    const Bytes decoded(border.begin(), border.end());
    const Picture expected =
        formats::CoverPicture(formats::ReadPicture(decoded.data(), decoded.size()), 256, 192);
    EXPECT_EQ(pixels, formats::ToBitmap16(expected));
}

TEST_F(WholeBuild, ReferencePicturesInThePackageMatchTheirConversion) {
    const Picture large = testing::PhotoLike(4000, 3000);
    const Bytes border = formats::EncodeBitmap(testing::PhotoLike(256, 192));
    const struct {
        const char* name;
        Picture picture;
        Bytes file;
    } cases[] = {
        {"logo.png", testing::FlatLogo(), testing::EncodePng(testing::FlatLogo())},
        {"photo.jpg", testing::PhotoLike(640, 480),
         testing::EncodeJpeg(testing::PhotoLike(640, 480))},
        {"badge.png", testing::AlphaBadge(), testing::EncodePng(testing::AlphaBadge())},
        {"dot.gif", testing::OnePixel(),
         testing::EncodeGif(
             formats::MakePalettedPicture(1, 1, 8, {testing::OnePixel().pixels[0]}))},
        {"large.jpg", large, testing::EncodeJpeg(large, 90)},
    };
    std::vector<std::vector<testing::Panel>> rows;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const formats::NdsPackage package = Build(c.name, c.file, "border.bmp", border);
        const std::vector<Rgba8> shown = PackageIcon(package);
        const formats::MenuIcon converted = formats::MakeMenuIcon(c.file.data(), c.file.size());
        EXPECT_TRUE(SamePixels(shown, formats::MenuIconRgba(converted.picture)));
        const auto error = testing::Compare(shown, testing::PlainFit(c.picture, 32, true));
        EXPECT_LE(error.mean, 8.0);
        rows.push_back({{testing::PlainFit(c.picture, 256, true), 256},
                        {testing::PlainFit(c.picture, 32, false), 32},
                        {shown, 32}});
    }
    // For looking at: the source, a plain sRGB downscale and the package's icon, per row.
    if (const char* dir = std::getenv("PELLIX_SIDE_BY_SIDE"))
        testing::WriteSideBySide(std::string(dir) + "/package-icons.png", rows);
}

TEST_F(WholeBuild, APictureThatCannotBeUsedIsRefusedBeforeTheBuildWithItsReason) {
    const Bytes photo = testing::EncodeJpeg(testing::PhotoLike(64, 48));
    const Bytes cutJpeg(photo.begin(), photo.begin() + static_cast<long>(photo.size() / 2));
    const Bytes badge = testing::EncodePng(testing::AlphaBadge());
    const Bytes cutPng(badge.begin(), badge.begin() + 100);
    const Bytes fine = formats::EncodeBitmap(testing::PhotoLike(256, 192));
    const struct {
        const char* name;
        std::string iconName;
        Bytes icon;
        std::string borderName;
        Bytes border;
        std::string message;  // after "The build did not start: ", {icon} and {border} the paths
    } cases[] = {
        {"icon cut short", "cut.png", cutPng, "border.bmp", fine,
         "cannot use {icon} as icon: corrupt PNG picture: a chunk runs past the end of the "
         "file"},
        {"border cut short", "icon.png", badge, "cut.jpg", cutJpeg,
         "cannot use {border} as border: truncated JPEG picture: it ends before its end marker"},
        {"icon of no known kind", "notes.txt", Bytes{'h', 'i'}, "border.bmp", fine,
         "cannot use {icon} as icon: not a bitmap, PNG, JPEG or GIF picture"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(root_ / c.iconName, c.icon);
        Write(root_ / c.borderName, c.border);
        settings_.icon = (root_ / c.iconName).string();
        settings_.border = (root_ / c.borderName).string();
        const BuildResult result = pellix::Build(settings_, app_.string());
        EXPECT_EQ(result.kind, BuildOutcome::Refused);
        std::string message = "The build did not start: " + c.message;
        for (const auto& [key, value] :
             {std::pair{std::string("{icon}"), settings_.icon}, {"{border}", settings_.border}})
            if (const size_t at = message.find(key); at != std::string::npos)
                message.replace(at, key.size(), value);
        EXPECT_EQ(result.message, message);
        EXPECT_FALSE(fs::exists(root_ / "out" / "game.nds"));
        for (const char* staged : {"icon.bmp", "border.bmp", "x.nds"})
            EXPECT_FALSE(fs::exists(app_ / "bin" / staged)) << staged;
    }
}

}  // namespace
}  // namespace pellix
