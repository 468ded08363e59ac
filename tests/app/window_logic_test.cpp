// Tests of the window logic over a fake view: the designs' data, the main window's handlers,
// its closing rules and its build, and the choosers' filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "formats/bitmap_writer.h"
#include "fake_installation.h"
#include "fake_view.h"
#include "app/file_filter.h"
#include "app/main_window_logic.h"
#include "formats/nds_format.h"
#include "app/preview_logic.h"
#include "builder/standin_check.h"
#include "app/window_layout.h"

namespace fs = std::filesystem;
using namespace pellix;
using app::MainControl;
using test::FakeInstallation;
using test::FakeMainView;

namespace {

const char kTooLarge[] = "This ROM is larger than 16MB. PSRAM will be disabled.";

std::vector<std::string> Names(const std::vector<int>& ids, const app::WindowDesign& window) {
    std::vector<std::string> names;
    for (int id : ids) names.push_back(window.controls[id].name);
    return names;
}

// --- the designs ------------------------------------------------------------------------

// Each table row is where its id says, names are unique, and a container comes before
// (below) what it holds, so creating rows in order never meets a missing parent.
TEST(Design, RowsAreConsistent) {
    for (const app::WindowDesign* window :
         {&app::MainWindowDesign(), &app::PreviewWindowDesign()}) {
        std::set<std::string> names;
        std::set<int> tabIndexes;
        for (std::size_t i = 0; i < window->controlCount; ++i) {
            const app::ControlDesign& row = window->controls[i];
            SCOPED_TRACE(row.name);
            EXPECT_EQ(row.id, static_cast<int>(i));
            EXPECT_TRUE(names.insert(row.name).second);
            EXPECT_LT(row.container, static_cast<int>(i));
            if (row.tabIndex != app::kNoTabIndex) {
                EXPECT_TRUE(tabIndexes.insert(row.tabIndex).second);
            } else {
                EXPECT_EQ(row.kind, app::ControlKind::Shape);
            }
        }
    }
}

TEST(Design, TabOrderAndStartFocus) {
    const app::WindowDesign& main = app::MainWindowDesign();
    EXPECT_EQ(
        Names(app::TabOrder(main), main),
        (std::vector<std::string>{"txtROM", "txtOutput", "txtTitle1", "txtTitle2", "txtTitle3",
                                  "cmdPreview", "cmdCustomize", "cmdGo", "txtIcon", "txtBorder",
                                  "cmdBrowseROM", "cmdBrowseFolder", "cmdBrowseIcon",
                                  "cmdBrowseBorder", "chkPSRAM", "chkCompression"}));
    EXPECT_EQ(app::StartFocus(main), static_cast<int>(MainControl::txtROM));
    const app::WindowDesign& preview = app::PreviewWindowDesign();
    EXPECT_EQ(app::StartFocus(preview), static_cast<int>(app::PreviewControl::cmdClose));

    // Focus skips controls that are disabled or hidden at start, or inside a hidden frame.
    std::vector<app::ControlDesign> rows(main.controls, main.controls + main.controlCount);
    app::WindowDesign altered = main;
    altered.controls = rows.data();
    rows[static_cast<int>(MainControl::txtROM)].enabled = false;
    rows[static_cast<int>(MainControl::txtOutput)].visible = false;
    rows[static_cast<int>(MainControl::txtTitle1)].container =
        static_cast<int>(MainControl::customHint);  // hidden at start
    EXPECT_EQ(app::StartFocus(altered), static_cast<int>(MainControl::txtTitle2));
}

// A screen reader tells every control that takes the focus from every other by its name
// (its own, else its caption); a label is tied only to a control, and in the main window
// every label is said: as the name of the control it is tied to, or in a description.
TEST(Design, EveryFocusableControlHasANameOfItsOwn) {
    for (const app::WindowDesign* window :
         {&app::MainWindowDesign(), &app::PreviewWindowDesign()}) {
        std::set<std::string> names;
        std::set<int> said;
        for (std::size_t i = 0; i < window->controlCount; ++i) {
            const app::ControlDesign& row = window->controls[i];
            const app::SpokenControl spoken = app::Spoken(*window, static_cast<int>(i));
            SCOPED_TRACE(row.name);
            if (!app::TakesFocus(row.kind)) {
                EXPECT_TRUE(spoken.name.empty() && spoken.label == app::kWindow);
                continue;
            }
            const std::string name = spoken.name.empty() ? row.caption : spoken.name;
            EXPECT_FALSE(name.empty());
            EXPECT_TRUE(names.insert(name).second) << name;
            if (spoken.label != app::kWindow) {
                EXPECT_EQ(window->controls[spoken.label].kind, app::ControlKind::Label);
                said.insert(spoken.label);
            }
            for (std::size_t j = 0; j < window->controlCount; ++j)
                if (window->controls[j].kind == app::ControlKind::Label &&
                    spoken.description.find(window->controls[j].caption) != std::string::npos)
                    said.insert(static_cast<int>(j));
        }
        if (window != &app::MainWindowDesign()) continue;
        for (std::size_t i = 0; i < window->controlCount; ++i) {
            if (window->controls[i].kind == app::ControlKind::Label) {
                EXPECT_TRUE(said.count(static_cast<int>(i))) << window->controls[i].name;
            }
        }
    }
    // Notes are read one after another, each ending as a sentence.
    EXPECT_EQ(
        app::Spoken(app::MainWindowDesign(), static_cast<int>(MainControl::txtBorder)).description,
        "The border image - 256x192, 24 bit color. Leave textboxes blank for "
        "default/original pictures.");
}

// The fold values agree with the design: folding returns to the start layout, and the
// bottom banner ends at the client area's bottom edge in both states.
TEST(Design, PanelValuesMatchTheLayout) {
    const app::WindowDesign& main = app::MainWindowDesign();
    const app::PanelLayout& folded = app::kPanelFolded;
    EXPECT_EQ(folded.goTop, app::Design(MainControl::cmdGo).rect.top);
    EXPECT_EQ(folded.bottomBannerTop, app::Design(MainControl::bottomBanner).rect.top);
    EXPECT_EQ(folded.customHeight, app::Design(MainControl::fraCustom).rect.height);
    EXPECT_EQ(folded.customHeight, app::Design(MainControl::customOutline).rect.height);
    EXPECT_EQ(folded.clientHeight, main.clientHeight);
    EXPECT_EQ(folded.caption, std::string(app::Design(MainControl::cmdCustomize).caption));
    EXPECT_EQ(folded.noteShown, app::Design(MainControl::customHint).visible);
    for (const app::PanelLayout* layout : {&app::kPanelFolded, &app::kPanelUnfolded}) {
        EXPECT_EQ(layout->outerHeight - app::kMainFrameAbove - app::kMainFrameBelow,
                  layout->clientHeight);
        EXPECT_EQ(layout->bottomBannerTop + app::Design(MainControl::bottomBanner).rect.height,
                  layout->clientHeight);
    }
}

TEST(Design, TwipsBecomePixelsAtTheMonitorsDpi) {
    struct Case {
        int twips, dpi, pixels;
    } const cases[] = {
        {8535, 96, 569},  {6015, 96, 401}, {7365, 96, 491}, {8535, 144, 854},
        {6015, 144, 602}, {15, 120, 1},    {0, 96, 0},      {-105, 96, -7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
    }
    EXPECT_DOUBLE_EQ(app::PixelsToTwipsF(183.5), 2752.5);
}

// --- the main window --------------------------------------------------------------------

class MainWindow : public ::testing::Test {
  protected:
    FakeInstallation inst_;
    FakeMainView view_;
    std::unique_ptr<app::MainWindowLogic> logic_ = std::make_unique<app::MainWindowLogic>(view_);
};

TEST_F(MainWindow, StartPutsTheFocusOnTheRomBox) {
    logic_->Start();
    EXPECT_EQ(view_.focus, static_cast<int>(MainControl::txtROM));
}

TEST_F(MainWindow, RomChoiceFillsTheWindow) {
    struct Case {
        const char *path, *folder, *title;
    } const cases[] = {
        {"C:/roms/MyGame.GBA", "C:/roms/", "MyGame"},
        {"D:/dump/rom.bin", "D:/dump/", "rom.bin"},
        {"game.gba", "", "game"},
        {"/home/ü/Spiel – Ω.gba", "/home/ü/", "Spiel – Ω"},
    };
    view_.texts[MainControl::txtTitle2] = "kept";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        view_.nextFile = c.path;
        logic_->OnBrowseRom();
        EXPECT_EQ(view_.texts[MainControl::txtROM], c.path);
        EXPECT_EQ(view_.texts[MainControl::txtOutput], c.folder);
        EXPECT_EQ(view_.texts[MainControl::txtTitle1], c.title);
        EXPECT_EQ(view_.texts[MainControl::txtTitle2], "kept");
        EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);
        EXPECT_TRUE(view_.enabled[MainControl::chkPSRAM]);  // no such file: size 0
    }
    EXPECT_TRUE(view_.messages.empty());
    ASSERT_EQ(view_.fileRequests.size(), std::size(cases));
    const app::FileDialogRequest& request = view_.fileRequests[0];
    EXPECT_EQ(request.filter, "GBA ROMs|*.gba|All files|*.*");
    EXPECT_EQ(request.defaultExt, "gba");
    EXPECT_EQ(request.initialDir, inst_.AppDir());
    EXPECT_EQ(request.flags, 4096u);
}

TEST_F(MainWindow, RomSizeDecidesPsram) {
    const std::string exact = inst_.MakeRom("exact.gba", 16777216);
    const std::string over = inst_.MakeRom("over.gba", 16777217);
    const std::string small = inst_.MakeRom("small.gba", 1024);

    // At the limit: offered and checked, even after the user unchecked it.
    view_.checks[MainControl::chkPSRAM] = app::Check::Unchecked;
    view_.nextFile = exact;
    logic_->OnBrowseRom();
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_TRUE(view_.enabled[MainControl::chkPSRAM]);
    EXPECT_EQ(logic_->PsramValue(), 1);

    // One byte more: the message first, then PSRAM withdrawn.
    bool enabledDuringMessage = false;
    view_.duringMessage = [&] { enabledDuringMessage = view_.enabled[MainControl::chkPSRAM]; };
    view_.nextFile = over;
    logic_->OnBrowseRom();
    EXPECT_EQ(view_.messages, std::vector<std::string>{kTooLarge});
    EXPECT_TRUE(enabledDuringMessage);
    EXPECT_FALSE(view_.enabled[MainControl::chkPSRAM]);
    EXPECT_EQ(logic_->PsramValue(), 0);
    EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);

    // A small ROM after a large one offers it again; a cancelled choice too (size 0).
    for (const std::string& next : {small, std::string()}) {
        view_.checks[MainControl::chkPSRAM] = app::Check::Unchecked;
        view_.enabled[MainControl::chkPSRAM] = false;
        view_.nextFile = next;
        logic_->OnBrowseRom();
        EXPECT_EQ(view_.messages.size(), 1u);
        EXPECT_TRUE(view_.enabled[MainControl::chkPSRAM]);
        EXPECT_EQ(logic_->PsramValue(), 1);
    }
    EXPECT_EQ(view_.texts[MainControl::txtROM], "");
    EXPECT_EQ(view_.texts[MainControl::txtOutput], "");
    EXPECT_EQ(view_.texts[MainControl::txtTitle1], "");
}

// The folder and picture choosers each fill one box and touch nothing else.
TEST_F(MainWindow, OtherChoosersFillOnlyTheirBox) {
    struct Case {
        void (app::MainWindowLogic::*handler)();
        MainControl box;
        const char* filter;
    } const cases[] = {
        {&app::MainWindowLogic::OnBrowseIcon, MainControl::txtIcon,
         "Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Bitmap images|*.bmp|All files|*.*"},
        {&app::MainWindowLogic::OnBrowseBorder, MainControl::txtBorder,
         "Pictures|*.bmp;*.png;*.jpg;*.jpeg;*.gif|Bitmap images|*.bmp|PNG images|*.png|All "
         "files|*.*"},
        {&app::MainWindowLogic::OnBrowseFolder, MainControl::txtOutput, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(app::Design(c.box).name);
        FakeMainView view;
        app::MainWindowLogic logic(view);
        view.nextFile = view.nextFolder = "/pics/a b.bmp";
        (logic.*c.handler)();
        EXPECT_EQ(view.log, std::vector<std::string>{
                                "text " + std::string(app::Design(c.box).name) + "=/pics/a b.bmp"});
        if (c.filter) {
            ASSERT_EQ(view.fileRequests.size(), 1u);
            EXPECT_EQ(view.fileRequests[0].filter, c.filter);
            EXPECT_EQ(view.fileRequests[0].defaultExt, "bmp");
            EXPECT_EQ(view.fileRequests[0].flags, 4096u);
        } else {
            ASSERT_EQ(view.folderRequests.size(), 1u);
            EXPECT_EQ(view.folderRequests[0].title, "Select a Folder");
            EXPECT_EQ(view.folderRequests[0].flags, 1u);
            EXPECT_EQ(view.folderRequests[0].root, 0);
        }
        // Cancelling empties the box.
        view.nextFile = view.nextFolder = "";
        (logic.*c.handler)();
        EXPECT_EQ(view.texts[c.box], "");
    }
}

// The seven changes in their order; a second click restores every value of the start.
TEST_F(MainWindow, FoldAndUnfold) {
    const auto start = view_;
    logic_->OnCustomize();
    EXPECT_EQ(view_.log,
              (std::vector<std::string>{
                  "place cmdGo", "place bottomBanner", "place fraCustom", "place customOutline",
                  "height", "text cmdCustomize=Customize the NDS (-)", "show customHint"}));
    EXPECT_TRUE(logic_->CustomizeOpen());
    EXPECT_EQ(view_.rects[MainControl::cmdGo], (app::TwipsRect{3000, 6720, 2415, 495}));
    EXPECT_EQ(view_.rects[MainControl::bottomBanner], (app::TwipsRect{0, 6510, 8685, 855}));
    EXPECT_EQ(view_.rects[MainControl::fraCustom], (app::TwipsRect{720, 4560, 7095, 1695}));
    EXPECT_EQ(view_.rects[MainControl::customOutline], (app::TwipsRect{0, 0, 7095, 1695}));
    EXPECT_EQ(view_.outerHeight, 7890);
    EXPECT_EQ(view_.clientHeight, 7365);

    logic_->OnCustomize();
    EXPECT_FALSE(logic_->CustomizeOpen());
    EXPECT_EQ(view_.rects, start.rects);
    EXPECT_EQ(view_.texts, start.texts);
    EXPECT_EQ(view_.visible, start.visible);
    EXPECT_EQ(view_.outerHeight, 6540);
    EXPECT_EQ(view_.clientHeight, start.clientHeight);
}

TEST_F(MainWindow, SettingsAreReadFromTheView) {
    view_.texts[MainControl::txtROM] = "  /r/a b.gba";
    view_.texts[MainControl::txtTitle1] = " One";
    view_.texts[MainControl::txtTitle3] = "Three ";
    view_.texts[MainControl::txtIcon] = "i";
    view_.texts[MainControl::txtBorder] = "b";
    EXPECT_EQ(logic_->RomPath(), "  /r/a b.gba");
    EXPECT_EQ(logic_->Title(1), " One");
    EXPECT_EQ(logic_->Title(3), "Three ");
    EXPECT_EQ(logic_->Title(4), "");
    EXPECT_EQ(logic_->IconFile(), "i");
    EXPECT_EQ(logic_->BorderFile(), "b");
    for (app::Check value : {app::Check::Unchecked, app::Check::Checked, app::Check::Greyed}) {
        view_.checks[MainControl::chkPSRAM] = value;
        view_.checks[MainControl::chkCompression] = value;
        EXPECT_EQ(logic_->PsramValue(), static_cast<int>(value));
        EXPECT_EQ(logic_->CompressionValue(), static_cast<int>(value));
    }
    logic_->SetGoEnabled(true);
    EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);

    logic_->OnCustomize();
    view_.texts[MainControl::txtTitle2] = "Two";
    const app::PreviewFacts facts = logic_->ReadPreviewFacts();
    EXPECT_EQ(facts.customizeCaption, "Customize the NDS (-)");
    EXPECT_EQ(facts.iconText, "i");
    EXPECT_EQ(facts.titles[0], " One");
    EXPECT_EQ(facts.titles[1], "Two");
    EXPECT_EQ(facts.titles[2], "Three ");
    EXPECT_DOUBLE_EQ(facts.mainOuter.width, 8655);
}

// Closing while a chooser is open: the choosers are cancelled and the late answer dropped.
TEST_F(MainWindow, ClosingWhileAChooserIsOpenDropsItsResult) {
    view_.duringChooser = [&] { EXPECT_TRUE(logic_->OnCloseRequested()); };
    view_.nextFile = "/roms/late.gba";
    view_.nextFolder = "/late";
    logic_->OnBrowseRom();
    logic_->OnBrowseFolder();
    EXPECT_EQ(view_.cancelChoosers, 2);
    EXPECT_TRUE(view_.log.empty());

    // Shown again, the window takes answers again.
    view_.duringChooser = nullptr;
    logic_->OnShown();
    logic_->OnBrowseFolder();
    EXPECT_EQ(view_.texts[MainControl::txtOutput], "/late");
}

// The window may even be destroyed while its chooser or its message is up: nothing of it is
// touched afterwards (a sanitizer run makes any such touch fatal).
TEST_F(MainWindow, DestroyedWhileAChooserOrAMessageIsUp) {
    view_.duringChooser = [&] { logic_.reset(); };
    view_.nextFile = "/roms/a.gba";
    logic_->OnBrowseRom();
    EXPECT_FALSE(logic_);
    EXPECT_TRUE(view_.log.empty());

    logic_ = std::make_unique<app::MainWindowLogic>(view_);
    view_.duringChooser = nullptr;
    view_.duringMessage = [&] { logic_.reset(); };
    view_.nextFile = inst_.MakeRom("big.gba", 16777217);
    logic_->OnBrowseRom();
    EXPECT_FALSE(logic_);
    EXPECT_TRUE(view_.enabled[MainControl::chkPSRAM]);  // withdrawn only by a live window
}

// While a chooser is open the browse buttons and "Go..." do nothing: no chooser opens inside
// another, no build starts under one, and nothing is queued; afterwards they work again.
TEST_F(MainWindow, OneChooserAtATime) {
    view_.nextFile = inst_.MakeRom("a.gba");
    logic_->OnBrowseRom();  // "Go..." is enabled
    int runs = 0;
    const ToolRunner runner = inst_.Runner();
    logic_->SetToolRunner([&](const std::string& line) {
        ++runs;
        return runner(line);
    });
    using Handler = void (app::MainWindowLogic::*)();
    const Handler openers[] = {
        &app::MainWindowLogic::OnBrowseRom, &app::MainWindowLogic::OnBrowseFolder,
        &app::MainWindowLogic::OnBrowseIcon, &app::MainWindowLogic::OnBrowseBorder};
    for (Handler open : openers) {
        view_.fileRequests.clear();
        view_.folderRequests.clear();
        view_.duringChooser = [&] {
            EXPECT_TRUE(logic_->Choosing());
            for (Handler again : openers) (logic_.get()->*again)();
            logic_->OnGo();
        };
        (logic_.get()->*open)();
        EXPECT_EQ(view_.fileRequests.size() + view_.folderRequests.size(), 1u);
        EXPECT_FALSE(logic_->Choosing());
    }
    EXPECT_EQ(runs, 0);
    view_.duringChooser = nullptr;
    logic_->OnGo();
    EXPECT_GT(runs, 0);
}

TEST_F(MainWindow, AnErrorInAHandlerIsShown) {
    struct Throwing : FakeMainView {
        std::string OpenFile(const app::FileDialogRequest&) override {
            throw std::runtime_error("cannot open the chooser: out of handles");
        }
    } view;
    app::MainWindowLogic logic(view);
    logic.OnBrowseIcon();
    EXPECT_EQ(view.messages, std::vector<std::string>{"cannot open the chooser: out of handles"});
    // The failed chooser does not count as open.
    logic.OnBrowseBorder();
    EXPECT_EQ(view.messages.size(), 2u);
}

TEST_F(MainWindow, GoBuildsFromTheViewAndReportsCompletion) {
    view_.nextFile = inst_.MakeRom("MyGame.GBA", 4096);
    logic_->OnBrowseRom();
    view_.texts[MainControl::txtTitle2] = "Second";
    bool goOffDuringBuild = false;
    int runs = 0;
    const ToolRunner fake = inst_.Runner({{"ndstool", [&] {
                                               goOffDuringBuild =
                                                   !view_.enabled[MainControl::cmdGo];
                                               // A click during the build starts nothing.
                                               const int before = runs;
                                               logic_->OnGo();
                                               EXPECT_EQ(runs, before);
                                           }}});
    logic_->SetToolRunner([&](const std::string& line, const std::string& dir) {
        ++runs;
        return fake(line, dir);
    });
    logic_->OnGo();
    EXPECT_EQ(view_.messages, std::vector<std::string>{"Complete!"});
    EXPECT_TRUE(goOffDuringBuild);
    EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);
    EXPECT_FALSE(logic_->Building());
    EXPECT_EQ(test::ReadPackageBody(inst_.roms() / "MyGame.nds"), "package PC");
}

TEST_F(MainWindow, GoShowsWhatTheBuildSays) {
    // The build's own message, whatever it is; Go is on again afterwards.
    struct Case {
        std::string rom;
        std::string message;
    } const cases[] = {
        {"", "Choose a GBA ROM first"},
        {inst_.MakeRom("empty.gba", 0), "The build did not start: the ROM " +
                                            (inst_.roms() / "empty.gba").u8string() +
                                            " is empty"},
    };
    logic_->SetToolRunner(inst_.Runner());
    for (const Case& c : cases) {
        view_.messages.clear();
        view_.texts[MainControl::txtROM] = c.rom;
        logic_->OnGo();
        EXPECT_EQ(view_.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);
    }
}

// An installation still holding the stand-in DS images is told so once, before the run's
// first build, and "Go..." still builds.
TEST_F(MainWindow, StandInImagesAreToldOnceBeforeTheFirstBuild) {
    test::WriteFile(inst_.bin() / "9.bin", std::string("ARM9 ") + formats::nds::kStandInMarker);
    view_.nextFile = inst_.MakeRom("a.gba");
    logic_->OnBrowseRom();
    logic_->SetToolRunner(inst_.Runner());
    logic_->OnGo();
    logic_->OnGo();
    ASSERT_EQ(view_.messages.size(), 3u);
    EXPECT_EQ(view_.messages[0],
              StandInWarning({(inst_.bin() / "9.bin").u8string()}, UserFolder()));
    EXPECT_EQ(view_.messages[1], "Complete!");
    EXPECT_EQ(view_.messages[2], "Complete!");
}

// A close asked for during a build waits for it, then closes without "Complete!"; a failure
// is still told.
TEST_F(MainWindow, ClosingDuringABuildWaitsForIt) {
    struct Case {
        const char* failing;
        std::vector<std::string> messages;
    } const cases[] = {{"", {}}, {"efs", {"efs"}}};
    for (const Case& c : cases) {
        FakeMainView view;
        app::MainWindowLogic logic(view);
        view.nextFile = inst_.MakeRom("first.gba");
        logic.OnBrowseRom();
        bool closedAtOnce = true;
        logic.SetToolRunner(
            inst_.Runner({{"grit", [&] { closedAtOnce = logic.OnCloseRequested(); }}}, c.failing));
        logic.OnGo();
        EXPECT_FALSE(closedAtOnce);
        EXPECT_EQ(view.closeWindow, 1);
        ASSERT_EQ(view.messages.size(), c.messages.size());
        if (!c.messages.empty()) {
            EXPECT_NE(view.messages[0].find(c.messages[0]), std::string::npos) << view.messages[0];
        }
        EXPECT_FALSE(fs::exists(inst_.bin() / "x.nds"));
        // Not asked to close during the next build: it stays open.
        logic.SetToolRunner(inst_.Runner());
        logic.OnGo();
        EXPECT_EQ(view.closeWindow, 1);
    }
}

// --- the choosers' filters --------------------------------------------------------------

TEST(Filters, EntriesInOrderAndAllFilesListsEveryName) {
    struct Case {
        const char* filter;
        std::vector<std::pair<std::string, std::vector<std::string>>> entries;
    } const cases[] = {
        {"GBA ROMs|*.gba|All files|*.*", {{"GBA ROMs", {"*.gba"}}, {"All files", {"*"}}}},
        {"Pictures|*.bmp;*.png *.gif", {{"Pictures", {"*.bmp", "*.png", "*.gif"}}}},
        {"Backups|*.*.bak", {{"Backups", {"*.*.bak"}}}},
        {"A|*.a|Dangling", {{"A", {"*.a"}}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::vector<std::string>>> got;
        for (const app::FilterEntry& e : app::FilterEntries(c.filter))
            got.emplace_back(e.description, e.patterns);
        EXPECT_EQ(got, c.entries) << c.filter;
    }
}

}  // namespace
