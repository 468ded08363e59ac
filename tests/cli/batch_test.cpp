// Tests of the batch library: reading a command line, planning the packages, running builds
// side by side and stopping them, and what is printed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

#include "batch_report.h"
#include "builder/batch.h"
#include "builder/build_checks.h"
#include "builder/shell_wait.h"
#include "cli_options.h"
#include "support/scratch.h"
#include "system/platform.h"
#include "test_support.h"

namespace pellix::app {
namespace {

namespace fs = std::filesystem;

// The options that matter, as one line, so a table row can say them briefly.
std::string Describe(const CliOptions& o) {
    std::string text = "roms=";
    for (const std::string& rom : o.roms) text += rom + "|";
    text += " out=" + o.outputFolder + " icon=" + o.icon + " border=" + o.border;
    if (o.titleGiven) text += " title=" + o.titles[0] + "/" + o.titles[1] + "/" + o.titles[2];
    text += " j=" + std::to_string(o.jobs);
    if (!o.psram) text += " no-psram";
    if (!o.compression) text += " no-compression";
    if (o.force) text += " force";
    if (o.fitTitles) text += " fit-titles";
    if (o.quiet) text += " quiet";
    if (o.help) text += " help";
    if (o.version) text += " version";
    return text;
}

TEST(CommandLine, OptionsMeanWhatTheySay) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"a.gba"}, "roms=a.gba| out= icon= border= j=0"},
        {{"-o", "out", "a.gba", "b.gba"}, "roms=a.gba|b.gba| out=out icon= border= j=0"},
        {{"a.gba", "--output=x y", "-ob"}, "roms=a.gba| out=b icon= border= j=0"},
        {{"--title", "One;Two;Three", "a.gba"},
         "roms=a.gba| out= icon= border= title=One/Two/Three j=0"},
        {{"--title=;Collection", "a.gba"}, "roms=a.gba| out= icon= border= title=/Collection/ j=0"},
        {{"--title", "A;B;", "a.gba"}, "roms=a.gba| out= icon= border= title=A/B/ j=0"},
        {{"--title", "A;B;C;", "a.gba"}, "roms=a.gba| out= icon= border= title=A/B/C j=0"},
        {{"-j4", "--jobs", "3", "a.gba", "-j", "7"}, "roms=a.gba| out= icon= border= j=7"},
        {{"--icon", "i.bmp", "--border=b.png", "a.gba"},
         "roms=a.gba| out= icon=i.bmp border=b.png j=0"},
        {{"--no-psram", "--no-compression", "--force", "--fit-titles", "-q", "a.gba"},
         "roms=a.gba| out= icon= border= j=0 no-psram no-compression force fit-titles quiet"},
        {{"a.gba", "--", "-odd.gba", "--force"},
         "roms=a.gba|-odd.gba|--force| out= icon= border= j=0"},
        {{"-", "a.gba"}, "roms=-|a.gba| out= icon= border= j=0"},
        {{"--help"}, "roms= out= icon= border= j=0 help"},
        {{"-h", "--version"}, "roms= out= icon= border= j=0 help version"},
    };
    for (const auto& [args, expected] : rows) EXPECT_EQ(Describe(ParseCommandLine(args)), expected);
}

TEST(CommandLine, HelpWritesPathsAsThePlatformDoes) {
    const std::string help = UsageText(2);
    const std::string sep(1, os::kPathSeparator);
    EXPECT_NE(help.find("(default: gfx" + sep + "icon.bmp)"), std::string::npos) << help;
    EXPECT_NE(help.find("(default: gfx" + sep + "border.bmp)"), std::string::npos) << help;
    EXPECT_EQ(help.find(os::kWindows ? "gfx/" : "gfx\\"), std::string::npos) << help;
    // No shell shows 130 on Windows.
    EXPECT_EQ(help.find("a shell shows 130") != std::string::npos, !os::kWindows) << help;
}

// A scratch folder of ROMs, planned from inside it.
class Plan : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::create_directories(dir_ / "a");
        fs::create_directories(dir_ / "b");
        fs::create_directories(dir_ / "out");
        fs::create_directories(dir_ / "folder.gba");
        fs::current_path(dir_);
    }
    void TearDown() override { fs::current_path(previous_); }
    void Rom(const fs::path& path, std::size_t size = 100) {
        testing::WriteBytes(dir_ / path, std::vector<std::uint8_t>(size, 0x5A));
    }
    const testing::TempDir scratch_{"pellix-plan"};
    const fs::path dir_ = scratch_.path();
    fs::path previous_;
};

TEST_F(Plan, EachRomIsSettledByItsOwnFaultsOnly) {
    Rom("good.gba");
    Rom("Big.GBA", 16 * 1024 * 1024 + 1);
    Rom("a/twin.gba");
    Rom("b/twin.gba");
    Rom("kept.gba");
    Rom("out/kept.nds");
    Rom("game.gba");
    Rom("game.nds");  // a ROM whose name another ROM's package would take
    BatchSettings settings;
    settings.titleGiven = true;
    settings.titles[1] = "Collection";
    Rom("empty.gba", 0);
    fs::create_directories(dir_ / "inst" / "bin");
    fs::create_directories(dir_ / "inst" / "gfx");
    for (const char* picture : {"icon.bmp", "border.bmp"}) Rom(fs::path("inst") / "gfx" / picture);
    const std::string app = (dir_ / "inst").u8string();
    const std::vector<Job> plain =
        PlanBatch({"good.gba", "Big.GBA", "./good.gba", "missing.gba", "folder.gba", "",
                   "game.gba", "game.nds", "empty.gba"},
                  settings, app);
    settings.outputFolder = "out";
    const std::vector<Job> intoOut =
        PlanBatch({"a/twin.gba", "b/twin.gba", "kept.gba"}, settings, app);
    settings.outputFolder = "inst/bin";
    const std::vector<Job> intoBin = PlanBatch({"good.gba"}, settings, app);
    settings.outputFolder = "";

    struct Row {
        const Job& job;
        JobState state;
        std::string reason;  // the start of it
    };
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    const std::string out = (dir_ / "out").u8string() + sep;
    ASSERT_EQ(plain.size(), 8u);  // good.gba named twice is one ROM
    ASSERT_EQ(intoOut.size(), 3u);
#ifndef _WIN32
    EXPECT_EQ(PlanBatch({"/dev/null"}, settings, app)[0].reason,
              "the ROM /dev/null is not a file (a pipe, socket or device)");
    fs::create_symlink(dir_ / "good.gba", dir_ / "alias.gba");
#else
    fs::copy_file(dir_ / "good.gba", dir_ / "alias.gba");
#endif
    // Under a second name, a link of either kind, the same ROM is said to be given twice,
    // not silently dropped, and not as a package --force would replace.
    fs::create_hard_link(dir_ / "good.gba", dir_ / "hard.gba");
    const std::vector<Job> linked =
        PlanBatch({"good.gba", "hard.gba", "Big.GBA", "alias.gba"}, settings, app);
    ASSERT_EQ(linked.size(), 4u);
    for (std::size_t i : {1, 3}) {
        if (os::kWindows && i == 3) continue;  // a copy there, no link
        EXPECT_EQ(linked[i].state, JobState::Skipped) << linked[i].rom;
        EXPECT_EQ(linked[i].reason, "the same ROM as good.gba, given twice");
        EXPECT_FALSE(linked[i].packageKept);
    }
    EXPECT_EQ(linked[2].state, JobState::Waiting);
    const Row rows[] = {
        {plain[0], JobState::Waiting, ""},
        {plain[1], JobState::Waiting, ""},
        {plain[2], JobState::Failed, "the ROM missing.gba was not found"},
        {plain[3], JobState::Failed, "the ROM folder.gba is a folder, not a file"},
        {plain[4], JobState::Failed, "Choose a GBA ROM first"},
        {plain[5], JobState::Failed,
         "the package " + (dir_ / "game.nds").u8string() + " would replace a ROM of this batch"},
        {plain[6], JobState::Waiting, ""},
        {plain[7], JobState::Failed, "the ROM empty.gba is empty"},
        {intoBin[0], JobState::Failed,
         "the output file " + (dir_ / "inst" / "bin").u8string() + sep +
             "good.nds is in the installation's folder "},
        {intoOut[0], JobState::Failed,
         "the package " + out + "twin.nds would also be made from b/twin.gba; none of them"},
        {intoOut[1], JobState::Failed,
         "the package " + out + "twin.nds would also be made from a/twin.gba"},
        {intoOut[2], JobState::Skipped, "the package " + out + "kept.nds exists"},
    };
    EXPECT_TRUE(intoOut[2].packageKept);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.job.rom);
        EXPECT_EQ(row.job.state, row.state);
        EXPECT_EQ(row.job.reason.substr(0, row.reason.size()), row.reason);
    }
    // The rules of a chosen ROM: package beside it, its name as line 1, PSRAM by size.
    EXPECT_EQ(plain[0].output, (dir_ / "good.nds").u8string());
    EXPECT_EQ(plain[0].titles[0] + "/" + plain[0].titles[1], "good/Collection");
    EXPECT_TRUE(plain[0].psram);
    EXPECT_EQ(plain[1].titles[0], "Big");
    EXPECT_FALSE(plain[1].psram);
    EXPECT_EQ(plain[1].notice, "This ROM is larger than 16MB. PSRAM will be disabled.");
    EXPECT_EQ(plain[6].output, (dir_ / "game.nds.nds").u8string());

    settings.force = true;
    settings.outputFolder = "out";
    EXPECT_EQ(PlanBatch({"kept.gba"}, settings, app)[0].state, JobState::Waiting);
    // A long name is cut to what the typed lines leave, and the cut is told.
    const std::string name(200, 'n');
    Rom(name + ".gba");
    const Job named = PlanBatch({name + ".gba"}, settings, app)[0];
    EXPECT_EQ(named.titles[0], std::string(117, 'n'));  // 128, less "Collection" and a break
    EXPECT_NE(named.titleNotice, "");
}

// What every ROM shares is checked before any ROM, and refuses the batch as a whole.
TEST_F(Plan, AProblemEveryRomSharesRefusesTheWholeBatch) {
    fs::create_directories(dir_ / "inst" / "bin" / "data");
    fs::create_directories(dir_ / "inst" / "gfx");
    for (const char* picture : {"icon.bmp", "border.bmp"}) Rom(fs::path("inst") / "gfx" / picture);
    Rom("e.png", 0);
    const std::string app = (dir_ / "inst").u8string();
    const std::function<void(BatchSettings&)> problems[] = {
        [](BatchSettings& s) {
            s.titleGiven = true;
            s.titles[1] = std::string(127, 'x');  // the name needs one more, and a line break
        },
        [&](BatchSettings& s) { s.icon = (dir_ / "e.png").u8string(); },
        [&](BatchSettings&) { Rom(fs::path("inst") / "bin" / "data" / "game.gz"); },
    };
    for (const auto& arrange : problems) {
        BatchSettings settings;
        arrange(settings);
        EXPECT_THROW(PlanBatch({"missing.gba", "folder.gba"}, settings, app), InputRefused);
    }
}

// Runs a batch of `count` jobs through a stand-in build, recording what happens.
struct Recorder : BatchObserver {
    std::vector<std::string> started, finished;
    int ticks = 0;
    void Started(const Job& job) override { started.push_back(job.rom); }
    void Finished(const Job& job) override { finished.push_back(job.rom); }
    void Tick() override { ++ticks; }
};

std::vector<Job> Jobs(int count) {
    std::vector<Job> jobs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) jobs[i].rom = jobs[i].romPath = "r" + std::to_string(i);
    return jobs;
}

// An installation holding only its default pictures, which every batch converts first.
struct PicturesOnly {
    test::TempDir root{"pellix-batch-pictures"};
    PicturesOnly() {
        fs::create_directories(root.path() / "gfx");
        for (const char* file : {"gfx/icon.bmp", "gfx/border.bmp"})
            test::WriteFile(root.path() / file, "x");
    }
    std::string app() const { return root.path().u8string(); }
};

BuildResult Outcome(bool delivered, const std::string& reason = "") {
    BuildResult result;
    result.kind = delivered ? BuildOutcome::Delivered : BuildOutcome::Failed;
    result.reason = reason;
    return result;
}

TEST(RunBatch, BuildsSideBySideUpToTheLimitAndSettlesEveryJob) {
    std::vector<Job> jobs = Jobs(9);
    jobs[4].state = JobState::Skipped;
    std::atomic<int> running{0}, most{0};
    Recorder recorder;
    const PicturesOnly inst;
    std::atomic<int> sharedPictures{0};
    std::shared_ptr<const StagedPictures> first;
    std::mutex firstMutex;
    RunBatch(jobs, {}, inst.app(), 3, recorder,
             [&](const BuildRequest& request, const std::string&) {
                 {
                     // Every build gets the one conversion made for the batch.
                     std::lock_guard<std::mutex> lock(firstMutex);
                     if (!first) first = request.pictures;
                     if (request.pictures && request.pictures == first) ++sharedPictures;
                 }
                 most = std::max(most.load(), ++running);
                 std::this_thread::sleep_for(
                     std::chrono::milliseconds(request.rom == "r0" ? 700 : 40));
                 --running;
                 if (request.rom == "r5") throw std::runtime_error("cannot make a working folder");
                 return Outcome(request.rom != "r2", "grit failed");
             });
    EXPECT_EQ(sharedPictures, 8);
    EXPECT_EQ(most, 3);
    EXPECT_EQ(recorder.started,
              (std::vector<std::string>{"r0", "r1", "r2", "r3", "r5", "r6", "r7", "r8"}));
    EXPECT_EQ(recorder.finished.size(), 8u);
    EXPECT_GE(recorder.ticks, 1);
    EXPECT_EQ(jobs[2].state, JobState::Failed);
    EXPECT_EQ(jobs[2].reason, "grit failed");
    EXPECT_EQ(jobs[5].reason, "cannot make a working folder");
    EXPECT_EQ(jobs[4].state, JobState::Skipped);
    EXPECT_EQ(jobs[0].state, JobState::Built);
    EXPECT_GE(jobs[0].seconds, 0.6);
    EXPECT_EQ(ExitStatus(jobs), 1);
}

TEST(RunBatch, AnInterruptStartsNothingMore) {
    std::vector<Job> jobs = Jobs(6);
    Recorder recorder;
    const PicturesOnly inst;
    RunBatch(jobs, {}, inst.app(), 2, recorder,
             [&](const BuildRequest& request, const std::string&) {
                 if (request.rom == "r2") modShellWait::CancelAll();
                 // r1 finishes its package after the interrupt: it is kept.
                 std::this_thread::sleep_for(
                     std::chrono::milliseconds(request.rom == "r1" ? 400 : 50));
                 return Outcome(request.rom == "r0" || request.rom == "r1");
             });
    modShellWait::ResetCancel();
    EXPECT_EQ(recorder.started.size(), 3u);
    const JobState expected[] = {JobState::Built,       JobState::Built,
                                 JobState::Interrupted, JobState::Interrupted,
                                 JobState::Interrupted, JobState::Interrupted};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(jobs[i].state, expected[i]) << i;
}

using ScopedEnv = pellix::testing::ScopedEnvironment;

TEST(RunBatch, AnInterruptMidBuildLeavesNoWorkingFolderAndNoPackage) {
    test::TempDir root("pellix-batch-stop");
    const fs::path app = root.path() / "inst";
    fs::create_directories(app / "bin" / "data");
    fs::create_directories(app / "gfx");
    for (const char* sub : {"tmp", "out", "roms"}) fs::create_directories(root.path() / sub);
    test::InstallFakeTools(app / "bin");
    for (const char* file : {"bin/7.bin", "bin/9.bin", "gfx/icon.bmp", "gfx/border.bmp"})
        test::WriteFile(app / file, "x");
    std::vector<std::string> roms;
    for (int i = 0; i < 4; ++i) {
        roms.push_back((root.path() / "roms" / ("r" + std::to_string(i) + ".gba")).u8string());
        test::WriteFile(fs::u8path(roms.back()), "ROM");
    }
    const std::string tmp = (root.path() / "tmp").u8string();
    const ScopedEnv slow("PELLIX_FAKE_TOOL_SLEEP_MS", "300"), tmpdir("TMPDIR", tmp),
        tmp1("TMP", tmp), tmp2("TEMP", tmp);
    BatchSettings settings;
    settings.outputFolder = (root.path() / "out").u8string();
    std::vector<Job> jobs = PlanBatch(roms, settings, app.u8string());

    // Each build runs five programs of 300 ms; the first two are stopped in their second.
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        modShellWait::CancelAll();
    });
    Recorder recorder;
    RunBatch(jobs, settings, app.u8string(), 2, recorder);
    stopper.join();
    modShellWait::ResetCancel();
    EXPECT_EQ(recorder.started.size(), 2u);
    for (const Job& job : jobs)
        EXPECT_EQ(job.state, JobState::Interrupted) << job.rom << job.reason;
    EXPECT_TRUE(fs::is_empty(root.path() / "tmp")) << "a working folder was left behind";
    EXPECT_TRUE(fs::is_empty(root.path() / "out"));
}

TEST(Report, LinesSizesTimesAndEstimate) {
    EXPECT_EQ(FormatSize(1023), "1023 B");
    EXPECT_EQ(FormatSize(20000), "19.5 KiB");
    EXPECT_EQ(FormatSize(8 * 1024 * 1024), "8.0 MiB");
    EXPECT_EQ(FormatSize(3LL << 30), "3.00 GiB");
    EXPECT_EQ(FormatDuration(0.44), "0.4 s");
    EXPECT_EQ(FormatDuration(59.96), "1:00");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");

    double now = 100;
    std::ostringstream out, err;
    ConsoleReport report(out, err, false, false, [&] { return now; });
    std::vector<Job> jobs = Jobs(4);
    for (Job& job : jobs) job.romSize = 1024 * 1024;
    jobs[3].state = JobState::Skipped;
    jobs[3].reason = "the package x.nds exists";
    jobs[3].packageKept = true;
    report.Planned(jobs);
    report.Started(jobs[0]);
    EXPECT_LT(report.SecondsLeft(), 0);
    now = 104;
    jobs[0].state = JobState::Built;
    jobs[0].packageSize = 512 * 1024;
    jobs[0].seconds = 4;
    report.Finished(jobs[0]);
    EXPECT_DOUBLE_EQ(report.SecondsLeft(), 8);  // 1 MiB in 4 s, 2 MiB to go
    jobs[1].state = JobState::Failed;
    jobs[1].reason = "ndstool failed (exit status 1).\nndstool: bad icon";
    report.Finished(jobs[1]);
    jobs[2].state = JobState::Interrupted;
    report.Summary(jobs);
    EXPECT_EQ(out.str(),
              "skipped  r3: the package x.nds exists (--force replaces it)\n"
              "ok       r0  1.0 MiB -> 512.0 KiB  4.0 s\n"
              "FAILED   r1: ndstool failed (exit status 1).\n"
              "         ndstool: bad icon\n"
              "4 ROMs: 1 built, 1 failed, 1 skipped, 1 not built (interrupted), in 4.0 s.\n"
              "Not built:\n"
              "  r1: ndstool failed (exit status 1).\n"
              "         ndstool: bad icon\n"
              "  r3: the package x.nds exists (--force replaces it)\n");
    EXPECT_EQ(err.str(), "");
    Job twice = Jobs(1)[0];
    twice.state = JobState::Skipped;
    twice.reason = "the same ROM as a.gba, given twice";
    EXPECT_EQ(JobLine(twice), "skipped  r0: the same ROM as a.gba, given twice");
    EXPECT_EQ(ProgressLine(5, 20, 2, 12, 42.4),
              "[######------------------]  5/20  2 building  12.0 s  about 42.4 s left");

    // On a terminal the bar is redrawn in place and gone at the end; quiet keeps to errors.
    std::vector<Job> two = Jobs(2);
    std::ostringstream tty, quietOut, quietErr;
    ConsoleReport onTerminal(tty, err, true, false, [&] { return now; });
    onTerminal.Planned(two);
    onTerminal.Started(two[0]);
    two[0].state = JobState::Built;
    onTerminal.Finished(two[0]);
    onTerminal.Summary(two);
    const std::string shown = tty.str();
    EXPECT_NE(shown.find("\r[------------------------]  0/2  1 building"), std::string::npos)
        << shown;
    EXPECT_EQ(shown.substr(shown.rfind('\r') + 1, 5), "2 ROM");

    // On a narrow terminal every drawing of the bar fits in one line less its last column.
    std::ostringstream narrow;
    ConsoleReport onNarrow(narrow, err, true, false, [&] { return now; }, 40);
    two[0].state = JobState::Waiting;
    onNarrow.Planned(two);
    onNarrow.Started(two[0]);
    onNarrow.Tick();
    const std::string drawn = narrow.str();
    for (std::size_t at = drawn.find('\r'); at != std::string::npos;) {
        const std::size_t next = drawn.find('\r', at + 1);
        EXPECT_LE(drawn.substr(at + 1, next - at - 1).size(), 39u) << drawn;
        at = next;
    }
    two[1].state = JobState::Skipped;
    two[1].reason = "exists";
    two[1].packageKept = true;
    two[0].state = JobState::Waiting;
    ConsoleReport quiet(quietOut, quietErr, true, true, [&] { return now; });
    quiet.Planned(two);
    two[0].state = JobState::Failed;
    two[0].reason = "grit failed";
    quiet.Finished(two[0]);
    quiet.Summary(two);
    EXPECT_EQ(quietOut.str(), "");
    EXPECT_EQ(quietErr.str(), "skipped  r1: exists (--force replaces it)\nFAILED   r0: grit failed\n");
}

}  // namespace
}  // namespace pellix::app
