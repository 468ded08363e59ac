// Tests of the preview's logic over fake views: where it opens, which icon it shows, the
// pixels it hands the window, its messages, and its life of one window at a time.
#include <gtest/gtest.h>

#include <memory>

#include "formats/bitmap_writer.h"
#include "fake_installation.h"
#include "fake_view.h"
#include "app/main_window_logic.h"
#include "app/preview_logic.h"

namespace fs = std::filesystem;
using namespace pellix;
using app::Image;
using app::PreviewControl;
using test::FakeInstallation;
using test::FakeMainView;
using test::FakePreviewView;

namespace {

// A DS-ready icon: 4 bits, index 0 (transparent) in the top row, a colour elsewhere.
void WriteDsIcon(const fs::path& path) {
    formats::Picture icon = formats::MakePalettedPicture(
        32, 32, 4, std::vector<formats::Rgb8>(16, formats::Rgb8{248, 0, 0}));
    for (std::size_t i = 32; i < icon.indices.size(); ++i) icon.indices[i] = 1;
    for (std::size_t i = 0; i < icon.pixels.size(); ++i) icon.pixels[i] = {248, 0, 0};
    formats::WriteBitmapFile(path.string(), icon);
}

// An installation whose gfx/ holds a real background (every pixel its own colour, so any
// shift shows) and a DS icon.
class Preview : public ::testing::Test {
  protected:
    Preview() {
        formats::Picture back = formats::MakeRgbPicture(191, 47);
        for (int y = 0; y < back.height; ++y)
            for (int x = 0; x < back.width; ++x)
                back.pixels[static_cast<std::size_t>(y) * back.width + x] = {
                    static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 77};
        formats::WriteBitmapFile((inst_.app() / "gfx" / "preview.bmp").string(), back);
        WriteDsIcon(inst_.app() / "gfx" / "icon.bmp");
    }
    std::string Gfx(const char* name) const { return inst_.AppDir() + "/gfx/" + name; }

    FakeInstallation inst_;
};

// Puts a copy of `from` at `to`, replacing the file there (removed first: copy_file's
// overwrite fails in some standard libraries).
void Replace(const fs::path& from, const fs::path& to) {
    fs::remove(to);
    fs::copy_file(from, to);
}

std::vector<std::uint8_t> PixelOf(const Image& image, int x, int y) {
    const std::uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2], p[3]};
}

TEST(PreviewPlace, CentredInFloatingPoint) {
    struct Case {
        app::TwipsRectF main;
        app::TwipsSizeF preview;
        double left, top;
    } const cases[] = {
        // 6540 and 7890 twips high: the folded and the unfolded main window.
        {{1500, 1200, 8655, 6540}, {3255, 2160}, 4200, 3390},
        {{1500, 1200, 8655, 7890}, {3255, 2160}, 4200, 4065},
        // Halves are kept, not rounded away.
        {{0, 0, 8655, 6540}, {3150, 1695}, 2752.5, 2422.5},
        // Not pulled back onto the screen.
        {{-7500, -4500, 8655, 6540}, {3255, 2160}, -4800, -2310},
    };
    for (const Case& c : cases) {
        const app::TwipsPointF at = app::PreviewPosition(c.main, c.preview);
        EXPECT_DOUBLE_EQ(at.x, c.left);
        EXPECT_DOUBLE_EQ(at.y, c.top);
    }
}

TEST_F(Preview, IconChoiceNeedsTheOpenPanelAndAnExistingFile) {
    const std::string mine = inst_.MakeRom("mine.bmp");
    const std::string fallback = Gfx("icon.bmp");
    struct Case {
        const char* caption;
        std::string text;
        std::string expected;
    } const cases[] = {
        {"Customize the NDS (+)", mine, fallback},
        {"Customize the NDS (-)", "", fallback},
        {"Customize the NDS (-)", mine + ".gone", fallback},
        {"Customize the NDS (-)", inst_.roms().string(), fallback},  // a folder
        {"Customize the NDS (-)", mine, mine},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::PreviewIconFile(c.caption, c.text, inst_.AppDir()), c.expected)
            << c.caption << " " << c.text;
    }
}

// The load fills in the designed order; the window gets pixels: the background as the file
// holds it, and the package's icon with its clear pixels showing the entry beneath.
TEST_F(Preview, LoadFillsInOrderWithThePackagesIconOverTheEntry) {
    app::PreviewFacts facts;
    facts.mainOuter = {0, 0, 8655, 6540};
    facts.customizeCaption = "Customize the NDS (+)";
    facts.titles[0] = "<b>One</b>";
    facts.titles[2] = "  three  ";
    FakePreviewView view;
    app::LoadPreview(view, facts);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{
                  "move 2700,2190", "picture picBG 191x47", "text lblTitle1=<b>One</b>",
                  "text lblTitle2=", "text lblTitle3=  three  ", "picture picIcon 32x32"}));
    const Image& back = view.pictures[PreviewControl::picBG];
    EXPECT_EQ(PixelOf(back, 190, 46), (std::vector<std::uint8_t>{190, 46, 77, 255}));
    const Image& icon = view.pictures[PreviewControl::picIcon];
    // The clear top row shows picBG 7 pixels right of and 6 below the box's corner.
    EXPECT_EQ(PixelOf(icon, 0, 0), (std::vector<std::uint8_t>{7, 6, 77, 255}));
    EXPECT_EQ(PixelOf(icon, 31, 0), (std::vector<std::uint8_t>{38, 6, 77, 255}));
    EXPECT_EQ(PixelOf(icon, 5, 20), (std::vector<std::uint8_t>{255, 0, 0, 255}));
}

// Where no background lies beneath, the icon's clear pixels stay clear.
TEST(PreviewIcon, OverASmallerBackgroundStaysClearBeyondIt) {
    Image icon{2, 1, {0, 0, 0, 0, 0, 0, 0, 0}};
    const Image back{1, 1, {9, 8, 7, 255}};
    const Image out = app::IconOverBackground(icon, back, 0, 0);
    EXPECT_EQ(out.rgba, (std::vector<std::uint8_t>{9, 8, 7, 255, 0, 0, 0, 0}));
}

// The icon shown is the one the package holds: a DS icon's own colours at the DS's 5-bit
// precision with index 0 clear, and any other picture converted to 32 x 32.
TEST_F(Preview, PackageIcon) {
    const fs::path ds = inst_.roms() / "ds.bmp";
    WriteDsIcon(ds);
    const Image icon = app::PackageIcon(ds.string());
    ASSERT_EQ(icon.rgba.size(), 32u * 32u * 4u);
    EXPECT_EQ(PixelOf(icon, 0, 0), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(PixelOf(icon, 31, 31), (std::vector<std::uint8_t>{255, 0, 0, 255}));

    const fs::path photo = inst_.roms() / "photo.bmp";
    formats::WriteBitmapFile(photo.string(), formats::MakeRgbPicture(64, 48, {10, 200, 30}));
    const Image converted = app::PackageIcon(photo.string());
    EXPECT_EQ(converted.width, 32);
    EXPECT_EQ(converted.rgba[3], 0);  // the box above a wide picture is clear
    EXPECT_EQ(converted.At(16, 16)[3], 255);
}

// Beyond the design: a custom border (panel open, file there) is shown as the top screen with
// the game area outlined, the note hidden and the grown window centred again; otherwise the
// designed window stays.
TEST_F(Preview, CustomBorderAsTheTopScreen) {
    const fs::path wide = inst_.roms() / "wide.bmp";
    formats::Picture picture = formats::MakeRgbPicture(320, 192, {200, 100, 50});
    picture.pixels[0] = {255, 255, 255};  // cropped away: the picture is cut to 256 wide
    formats::WriteBitmapFile(wide.string(), picture);
    struct Case {
        const char* what;
        const char* caption;
        std::string border;
        std::vector<std::string> tail;  // the view calls after the icon
    } const cases[] = {
        {"shown",
         "Customize the NDS (-)",
         wide.string(),
         {"picture picBorder 256x192", "visible picBorder=1", "visible note=0", "client 4080x4695",
          "move 2227.5,690"}},
        {"panel folded", "Customize the NDS (+)", wide.string(), {}},
        {"no such file", "Customize the NDS (-)", wide.string() + ".gone", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePreviewView view;
        app::PreviewFacts facts;
        facts.mainOuter = {0, 0, 8655, 6540};
        facts.customizeCaption = c.caption;
        facts.borderText = c.border;
        app::LoadPreview(view, facts);
        ASSERT_GE(view.log.size(), 6u);
        EXPECT_EQ(std::vector<std::string>(view.log.begin() + 6, view.log.end()), c.tail);
        if (c.tail.empty()) continue;
        const Image& screen = view.pictures[PreviewControl::picBorder];
        // 200, 100, 50 at five bits a channel: 25, 12, 6, widened again.
        EXPECT_EQ(PixelOf(screen, 0, 0), (std::vector<std::uint8_t>{206, 99, 49, 255}));
        // The outline runs just outside the 240 x 160 game area at 8, 16.
        const std::vector<std::uint8_t> outline{255, 0, 255, 255};
        for (const auto& [x, y] : {std::pair{7, 15}, {248, 15}, {7, 176}, {248, 176}, {100, 15}})
            EXPECT_EQ(PixelOf(screen, x, y), outline) << x << "," << y;
        for (const auto& [x, y] : {std::pair{8, 16}, {247, 175}, {6, 14}, {249, 177}})
            EXPECT_NE(PixelOf(screen, x, y), outline) << x << "," << y;
    }
}

// Each picture is named by what it shows: the entry by its title lines and icon, the icon by
// its file (the installation's is the default), the top screen by its border.
TEST_F(Preview, PicturesAreNamedByWhatTheyShow) {
    const std::string mine = inst_.MakeRom("mine.bmp");
    WriteDsIcon(mine);
    struct Case {
        const char* caption;
        std::string titles[3];
        std::string entry, icon, border;
    } const cases[] = {
        {"Customize the NDS (+)",
         {"One", "", "Three"},
         "DS menu entry, title: One; Three, icon: default",
         "Menu icon: default",
         ""},
        {"Customize the NDS (-)",
         {"", "", ""},
         "DS menu entry, title: none, icon: mine.bmp",
         "Menu icon: mine.bmp",
         "Top screen, border: mine.bmp, game area outlined"},
        // A line wider than the menu is said to be cut, and drawn in the cut colour.
        {"Customize the NDS (+)",
         {"Advance Wars 2", "Black Hole Rising (USA, Australia)", ""},
         "DS menu entry, title: Advance Wars 2; Black Hole Rising (USA, Australia) (cut on the "
         "DS), icon: default",
         "Menu icon: default",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        app::PreviewFacts facts;
        facts.customizeCaption = c.caption;
        facts.iconText = facts.borderText = mine;
        for (int i = 0; i < 3; ++i) facts.titles[i] = c.titles[i];
        FakePreviewView view;
        app::LoadPreview(view, facts);
        EXPECT_EQ(view.names[PreviewControl::picBG], c.entry);
        EXPECT_EQ(view.names[PreviewControl::picIcon], c.icon);
        EXPECT_EQ(view.names[PreviewControl::picBorder], c.border);
        const bool secondCut = c.entry.find("(cut on the DS)") != std::string::npos;
        EXPECT_EQ(view.colours.count(PreviewControl::lblTitle1), 0u);
        EXPECT_EQ(view.colours.count(PreviewControl::lblTitle2), secondCut ? 1u : 0u);
        if (secondCut) EXPECT_EQ(view.colours[PreviewControl::lblTitle2], app::kCutTitleColour);
    }
}

// A picture that cannot be loaded stops the load at that step and is named in the message.
TEST_F(Preview, UnloadablePictureStopsTheLoad) {
    const std::string damaged = inst_.MakeRom("damaged.bmp");  // no picture
    struct Case {
        const char* what;
        std::string background, icon, border;
        std::size_t steps;  // view calls made before the failure
        std::string message;
    } const cases[] = {
        {"background", damaged, "", "", 1,
         "Cannot load the picture " + Gfx("preview.bmp") +
             ": not a bitmap, PNG, JPEG or GIF picture"},
        {"icon", "", damaged, "", 5,
         "Cannot load the picture " + damaged + ": not a bitmap, PNG, JPEG or GIF picture"},
        {"border", "", "", damaged, 6,
         "Cannot load the picture " + damaged + ": not a bitmap, PNG, JPEG or GIF picture"},
    };
    const fs::path good = inst_.roms() / "good.bmp";
    fs::copy_file(Gfx("preview.bmp"), good);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Replace(c.background.empty() ? good.string() : c.background, Gfx("preview.bmp"));
        app::PreviewFacts facts;
        facts.customizeCaption = "Customize the NDS (-)";
        facts.iconText = c.icon;
        facts.borderText = c.border;
        FakePreviewView view;
        try {
            app::LoadPreview(view, facts);
            ADD_FAILURE() << "loaded";
        } catch (const app::PreviewPictureError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        EXPECT_EQ(view.log.size(), c.steps);
    }
}

// One preview at a time, through the main window: a second press brings it forward and reads
// nothing; closing it lets the next press read the window afresh; a failed load discards
// the window and the main window tells why.
TEST_F(Preview, OneAtATimeBroughtForwardDiscardedOnFailureForgottenOnClose) {
    FakeMainView main;
    auto logic = std::make_unique<app::MainWindowLogic>(main);
    main.texts[app::MainControl::txtTitle1] = "First";
    logic->OnPreview();
    main.texts[app::MainControl::txtTitle1] = "Second";
    logic->OnPreview();
    ASSERT_EQ(main.previews.size(), 1u);
    FakePreviewView& first = *main.previews[0];
    EXPECT_EQ(first.log.back(), "forward");
    EXPECT_EQ(first.log[2], "text lblTitle1=First");
    EXPECT_EQ(logic->Preview().Current(), &first);

    first.Close();
    EXPECT_EQ(logic->Preview().Current(), nullptr);
    logic->OnPreview();
    ASSERT_EQ(main.previews.size(), 2u);
    EXPECT_EQ(main.previews[1]->log[2], "text lblTitle1=Second");
    EXPECT_EQ(main.previews[1]->log.back(), "show");

    main.previews[1]->Close();
    Replace(inst_.MakeRom("damaged.bmp"), Gfx("preview.bmp"));
    logic->OnPreview();
    ASSERT_EQ(main.previews.size(), 3u);
    EXPECT_TRUE(main.previews[2]->discarded);
    EXPECT_EQ(logic->Preview().Current(), nullptr);
    EXPECT_EQ(main.messages,
              std::vector<std::string>{"Cannot load the picture " + Gfx("preview.bmp") +
                                       ": not a bitmap, PNG, JPEG or GIF picture"});

    // The preview outlives the main window: closing it afterwards touches nothing gone.
    WriteDsIcon(Gfx("preview.bmp"));
    logic->OnPreview();
    ASSERT_EQ(main.previews.size(), 4u);
    logic.reset();
    main.previews[3]->Close();
}

}  // namespace
