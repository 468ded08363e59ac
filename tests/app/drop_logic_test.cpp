// Tests of dropped files: what they are, what a drop does to the window, and batch builds.
#include "app/drop_logic.h"

#include <gtest/gtest.h>

#include "fake_installation.h"
#include "fake_view.h"
#include "app/main_window_logic.h"

namespace fs = std::filesystem;
using namespace pellix;
using app::DropPlace;
using app::DropPlan;
using app::MainControl;
using test::FakeInstallation;
using test::FakeMainView;

namespace {

TEST(Drop, FilesAreClassifiedByNameAndExistence) {
    FakeInstallation inst;
    fs::create_directories(inst.roms() / "folder.gba");
    struct Case {
        std::string name;
        bool make;
        app::DroppedKind kind;
    } const cases[] = {
        {"a.gba", true, app::DroppedKind::Rom},
        {"B.GBA", true, app::DroppedKind::Rom},
        {"c.agb", true, app::DroppedKind::Rom},
        {"d.bmp", true, app::DroppedKind::Picture},
        {"e.PNG", true, app::DroppedKind::Picture},
        {"f.jpeg", true, app::DroppedKind::Picture},
        {"g.jpg", true, app::DroppedKind::Picture},
        {"h.gif", true, app::DroppedKind::Picture},
        {"i.txt", true, app::DroppedKind::Other},
        {"game", true, app::DroppedKind::Other},
        {".gba", true, app::DroppedKind::Other},  // a hidden file with no extension
        {"gone.gba", false, app::DroppedKind::Other},
        {"folder.gba", false, app::DroppedKind::Other},
    };
    for (const Case& c : cases) {
        const std::string path = c.make ? inst.MakeRom(c.name) : (inst.roms() / c.name).string();
        EXPECT_EQ(app::ClassifyDroppedFile(path), c.kind) << c.name;
    }
}

TEST(Drop, PlaceFollowsTheIconAndBorderRowsOfTheOpenPanel) {
    // The icon row runs from 960 to 7575 across, 5280 to 5565 down (window coordinates);
    // the border row 5760 to 6045 down.
    struct Case {
        double x, y;
        bool open;
        DropPlace place;
    } const cases[] = {
        {3000, 5400, true, DropPlace::IconBox}, {960, 5280, true, DropPlace::IconBox},
        {7574, 5564, true, DropPlace::IconBox}, {7575, 5400, true, DropPlace::Window},
        {959, 5400, true, DropPlace::Window},   {3000, 5900, true, DropPlace::BorderBox},
        {3000, 5650, true, DropPlace::Window},  {3000, 5400, false, DropPlace::Window},
        {3000, 1300, true, DropPlace::Window},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::DropPlaceAt(c.x, c.y, c.open), c.place) << c.x << "," << c.y;
    }
}

TEST(Drop, Plans) {
    FakeInstallation inst;
    const std::string a = inst.MakeRom("a.gba"), b = inst.MakeRom("b.gba");
    const std::string pic = inst.MakeRom("p.png"), pic2 = inst.MakeRom("q.bmp");
    const std::string text = inst.MakeRom("notes.txt");
    const std::string aPic = inst.MakeRom("a.png"), bPic = inst.MakeRom("b.jpeg");
    using Act = DropPlan::Action;
    struct Case {
        const char* what;
        std::vector<std::string> paths;
        DropPlace place;
        bool open, building;
        Act action;
        const char* messageHas;
    } const cases[] = {
        {"nothing", {}, DropPlace::Window, false, false, Act::None, ""},
        {"one ROM", {a}, DropPlace::Window, false, false, Act::ChooseRom, ""},
        {"one ROM on the icon box", {a}, DropPlace::IconBox, true, false, Act::ChooseRom, ""},
        {"one ROM during a build", {a}, DropPlace::Window, false, true, Act::ChooseRom, ""},
        {"two ROMs", {a, b}, DropPlace::Window, false, false, Act::BuildBatch, ""},
        {"two ROMs during a build",
         {a, b},
         DropPlace::Window,
         false,
         true,
         Act::Refuse,
         "A build is running"},
        {"picture on the icon box", {pic}, DropPlace::IconBox, true, false, Act::ChooseIcon, ""},
        {"picture on the border box",
         {pic},
         DropPlace::BorderBox,
         true,
         false,
         Act::ChooseBorder,
         ""},
        {"picture elsewhere",
         {pic},
         DropPlace::Window,
         true,
         false,
         Act::Refuse,
         "onto the Icon or Border box"},
        {"picture, panel folded",
         {pic},
         DropPlace::IconBox,
         false,
         false,
         Act::Refuse,
         "Customize the NDS (+)"},
        {"two pictures",
         {pic, pic2},
         DropPlace::IconBox,
         true,
         false,
         Act::Refuse,
         "one picture at a time"},
        {"ROM and a picture of another name",
         {a, pic},
         DropPlace::IconBox,
         true,
         false,
         Act::Refuse,
         "p.png is named like none of the GBA ROMs"},
        {"ROM and its picture", {a, aPic}, DropPlace::Window, false, false, Act::ChooseRom, ""},
        {"ROMs, one picture a stranger",
         {a, b, aPic, pic},
         DropPlace::Window,
         false,
         false,
         Act::Refuse,
         "p.png is named like none"},
        {"ROMs with their pictures",
         {a, b, aPic, bPic},
         DropPlace::Window,
         false,
         false,
         Act::BuildBatch,
         ""},
        {"other file among ROMs",
         {a, text, b},
         DropPlace::Window,
         false,
         false,
         Act::Refuse,
         "Cannot use notes.txt: it is neither a GBA ROM nor a picture"},
        {"missing file",
         {a + ".gone"},
         DropPlace::Window,
         false,
         false,
         Act::Refuse,
         "it is not a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DropPlan plan = app::PlanDrop(c.paths, c.place, c.open, c.building);
        EXPECT_EQ(plan.action, c.action);
        if (c.action == Act::Refuse) {
            EXPECT_NE(plan.message.find(c.messageHas), std::string::npos) << plan.message;
            EXPECT_TRUE(plan.files.empty());
        } else if (c.action != Act::None) {
            // The ROMs, then the pictures that are their icons, in the order dropped.
            std::vector<std::string> planned = plan.files;
            planned.insert(planned.end(), plan.icons.begin(), plan.icons.end());
            EXPECT_EQ(planned, c.paths);
        }
    }
}

class DropOnWindow : public ::testing::Test {
  protected:
    FakeInstallation inst_;
    FakeMainView view_;
    app::MainWindowLogic logic_{view_};
};

// A dropped ROM has the effects of "Browse..." without opening a chooser.
TEST_F(DropOnWindow, RomHasTheEffectsOfBrowse) {
    const std::string big = inst_.MakeRom("Big Game.gba", 16777217);
    view_.texts[MainControl::txtTitle2] = "kept";
    logic_.OnDrop({big}, DropPlace::Window);
    EXPECT_TRUE(view_.fileRequests.empty());
    EXPECT_EQ(view_.texts[MainControl::txtROM], big);
    EXPECT_EQ(view_.texts[MainControl::txtOutput], (inst_.roms() / "").string());
    EXPECT_EQ(view_.texts[MainControl::txtTitle1], "Big Game");
    EXPECT_EQ(view_.texts[MainControl::txtTitle2], "kept");
    EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);
    EXPECT_FALSE(view_.enabled[MainControl::chkPSRAM]);
    EXPECT_EQ(view_.messages.size(), 1u);
}

TEST_F(DropOnWindow, PictureGoesToItsBoxAndRefusalsChangeNothing) {
    const std::string pic = inst_.MakeRom("box art.png");
    logic_.OnDrop({pic}, DropPlace::IconBox);  // panel folded: refused
    EXPECT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.log, std::vector<std::string>{"message"});

    logic_.OnCustomize();
    view_.log.clear();
    logic_.OnDrop({pic}, DropPlace::BorderBox);
    EXPECT_EQ(view_.log, std::vector<std::string>{"text txtBorder=" + pic});
    logic_.OnDrop({pic}, DropPlace::IconBox);
    EXPECT_EQ(view_.texts[MainControl::txtIcon], pic);

    view_.log.clear();
    logic_.OnDrop({pic, inst_.MakeRom("x.gba")}, DropPlace::IconBox);
    EXPECT_EQ(view_.log, std::vector<std::string>{"message"});

    // A ROM with its own picture: both chosen, the panel opened for the icon to count.
    logic_.OnCustomize();
    ASSERT_FALSE(logic_.CustomizeOpen());
    const std::string rom = inst_.MakeRom("Game.gba"), art = inst_.MakeRom("Game.png");
    logic_.OnDrop({art, rom}, DropPlace::Window);
    EXPECT_EQ(view_.texts[MainControl::txtROM], rom);
    EXPECT_EQ(view_.texts[MainControl::txtIcon], art);
    EXPECT_TRUE(logic_.CustomizeOpen());
}

// Several ROMs: each built with its own folder, title and PSRAM rule and the window's other
// settings; the window's controls stay as they were, "Go..." is off for the whole batch,
// and one summary tells what was built and what failed.
TEST_F(DropOnWindow, SeveralRomsAreBuiltOneAfterAnother) {
    const std::string small = inst_.MakeRom("Small.gba");
    const std::string big = inst_.MakeRom("Big.gba", 16777217);
    fs::create_directories(inst_.roms() / "other");
    const std::string other = inst_.MakeRom("other/Third.gba");
    view_.texts[MainControl::txtTitle2] = "Line two";
    view_.checks[MainControl::chkCompression] = app::Check::Unchecked;
    view_.enabled[MainControl::cmdGo] = true;
    const auto before = view_.texts;

    std::vector<bool> goDuring;
    std::vector<std::string> titlesSeen;
    logic_.SetToolRunner(inst_.Runner({{"ndstool", [&] {
                                            goDuring.push_back(view_.enabled[MainControl::cmdGo]);
                                            // A second drop of ROMs meanwhile is refused.
                                            logic_.OnDrop({small, big}, DropPlace::Window);
                                        }}}));
    logic_.OnDrop({small, big, other}, DropPlace::Window);

    EXPECT_EQ(view_.texts, before);
    EXPECT_EQ(goDuring, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(view_.enabled[MainControl::cmdGo]);
    EXPECT_EQ(test::ReadPackageBody(inst_.roms() / "Small.nds"), "package PU");
    EXPECT_EQ(test::ReadPackageBody(inst_.roms() / "Big.nds"), "package NU");
    EXPECT_EQ(test::ReadPackageBody(inst_.roms() / "other" / "Third.nds"), "package PU");
    EXPECT_EQ(view_.batch, (std::vector<std::string>{"started 3", "1/3 " + small, "2/3 " + big,
                                                     "3/3 " + other, "finished"}));
    ASSERT_EQ(view_.messages.size(), 4u);  // three refusals, then the summary
    const std::string& summary = view_.messages.back();
    EXPECT_EQ(summary.rfind("Built 3 of 3 ROMs.", 0), 0u) << summary;
    EXPECT_NE(summary.find("Big.gba -> " + (inst_.roms() / "Big.nds").string() +
                           " (without PSRAM: larger than 16MB)"),
              std::string::npos)
        << summary;
    EXPECT_FALSE(logic_.Building());
}

TEST_F(DropOnWindow, BatchFailuresAndCancelAreSummed) {
    struct Case {
        const char* what;
        std::size_t cancelAfterStep;
        std::string failing;
        std::vector<std::string> summaryHas;
    } const cases[] = {
        {"a failing program",
         static_cast<std::size_t>(-1),
         "efs",
         {"Built 0 of 2 ROMs.", "Not built:\n  one.gba: ", "efs"}},
        {"cancelled during the first",
         1,
         "",
         {"Built 0 of 2 ROMs.", "Not finished (cancelled):\n  one.gba\n  two.gba"}},
        {"cancelled during the second",
         2,
         "",
         {"Built 1 of 2 ROMs.", "one.gba -> ", "Not finished (cancelled):\n  two.gba"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMainView view;
        app::MainWindowLogic logic(view);
        view.cancelAfterStep = c.cancelAfterStep;
        logic.SetToolRunner(inst_.Runner({}, c.failing));
        logic.OnDrop({inst_.MakeRom("one.gba"), inst_.MakeRom("two.gba")}, DropPlace::Window);
        ASSERT_EQ(view.messages.size(), 1u);
        for (const std::string& part : c.summaryHas) {
            EXPECT_NE(view.messages[0].find(part), std::string::npos) << view.messages[0];
        }
        // A stopped build leaves nothing staged.
        EXPECT_FALSE(fs::exists(inst_.bin() / "x.nds"));
        EXPECT_FALSE(fs::exists(inst_.bin() / "data" / "mode.txt"));
        EXPECT_TRUE(view.enabled[MainControl::cmdGo]);
        fs::remove(inst_.roms() / "one.nds");
    }
}

// A close asked for during a batch waits for it; the summary is still shown when a ROM
// failed, and left out when all were built.
TEST_F(DropOnWindow, ClosingDuringABatchWaitsForIt) {
    for (const std::string failing : {"", "efs"}) {
        FakeMainView view;
        app::MainWindowLogic logic(view);
        bool closedAtOnce = true;
        logic.SetToolRunner(inst_.Runner(
            {{"grit", [&] { closedAtOnce = closedAtOnce && logic.OnCloseRequested(); }}}, failing));
        for (const char* package : {"one.nds", "two.nds"}) fs::remove(inst_.roms() / package);
        logic.OnDrop({inst_.MakeRom("one.gba"), inst_.MakeRom("two.gba")}, DropPlace::Window);
        EXPECT_FALSE(closedAtOnce);
        EXPECT_EQ(view.closeWindow, 1);
        EXPECT_EQ(view.messages.size(), failing.empty() ? 0u : 1u) << failing;
    }
}

// A drop settles what the command line settles, in the same words: two ROMs of one folder
// that make one package are neither built, an existing package is kept, and a ROM given
// under a second name is built once.
TEST_F(DropOnWindow, ADropAnswersAsTheCommandLineDoes) {
    std::vector<std::string> roms = {inst_.MakeRom("a.gba"), inst_.MakeRom("a.agb"),
                                     inst_.MakeRom("kept.gba")};
    test::WriteFile(inst_.roms() / "kept.nds", "USER PACKAGE");
#ifndef _WIN32
    // Names differing in case are two files here, and one package.
    roms.push_back(inst_.MakeRom("a.GBA"));
    fs::create_symlink(inst_.roms() / "a.agb", inst_.roms() / "link.agb");
    roms.push_back((inst_.roms() / "link.agb").u8string());
#endif
    // What pellix-cli plans for the same ROMs, with its defaults.
    const std::vector<Job> cli = PlanBatch(roms, BatchSettings{}, inst_.AppDir());
    logic_.SetToolRunner(inst_.Runner());
    logic_.OnDrop(roms, DropPlace::Window);
    ASSERT_EQ(view_.messages.size(), 1u);
    const std::string& summary = view_.messages[0];
    for (const Job& job : cli) {
        SCOPED_TRACE(job.rom);
        const std::string name = fs::u8path(job.rom).filename().u8string();
        if (job.state == JobState::Waiting) {
            EXPECT_NE(summary.find(name + " -> " + job.output), std::string::npos) << summary;
        } else {
            EXPECT_NE(summary.find(name + ": " + job.reason), std::string::npos) << summary;
        }
    }
    EXPECT_EQ(test::ReadFile(inst_.roms() / "kept.nds"), "USER PACKAGE");
    EXPECT_EQ(test::ReadPackageBody(inst_.roms() / "a.agb.nds"), "package PC");
#ifndef _WIN32
    EXPECT_EQ(cli[0].state, JobState::Failed);
    EXPECT_EQ(cli[3].state, JobState::Failed);
    EXPECT_EQ(cli[4].state, JobState::Skipped);
    EXPECT_FALSE(fs::exists(inst_.roms() / "a.nds"));
    EXPECT_NE(summary.find("Built 1 of 5 ROMs."), std::string::npos) << summary;
#endif
}

TEST(Drop, SummaryLayout) {
    std::vector<Job> jobs(4);
    jobs[0].rom = "/r/a.gba";
    jobs[0].state = JobState::Built;
    jobs[0].output = "/r/a.nds";
    jobs[1].rom = "/r/b.gba";
    jobs[1].state = JobState::Failed;
    jobs[1].reason = "gzip failed.";
    jobs[2].rom = "/r/c.gba";
    jobs[2].state = JobState::Interrupted;
    jobs[3].rom = "/r/d.gba";
    jobs[3].state = JobState::Skipped;
    jobs[3].reason = "the package /r/d.nds exists";
    EXPECT_EQ(app::BatchSummary(jobs),
              "Built 1 of 4 ROMs.\n\nBuilt:\n  a.gba -> /r/a.nds\n\nNot built:\n  b.gba: gzip "
              "failed.\n  d.gba: the package /r/d.nds exists\n\nNot finished (cancelled):\n  c.gba");
}

}  // namespace
