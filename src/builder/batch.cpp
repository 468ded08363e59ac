// Batch builds: planning the packages, running the builds side by side, settling each ROM.
#include "builder/batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "builder/build_checks.h"
#include "builder/build_paths.h"
#include "builder/ds_inputs.h"
#include "builder/package_record.h"
#include "builder/rom_choice.h"
#include "builder/shell_wait.h"
#include "builder/staging_files.h"
#include "builder/title_width.h"
#include "builder/work_folder.h"
#include "system/file_identity.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

using paths::FileKey;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What every ROM of the batch shares, checked before any ROM is looked at; throws
// InputRefused. Returns the pictures, decoded and converted once.
std::shared_ptr<const StagedPictures> CheckShared(const BatchSettings& settings,
                                                  const std::string& appDir) {
    std::string titles[3];
    if (settings.titleGiven)
        for (int i = 0; i < 3; ++i) titles[i] = settings.titles[i];
    // Any name stands in for the ROMs': the typed lines are judged alike for each.
    const bool nameAsLine1 = titles[0].empty();
    if (nameAsLine1) titles[0] = "x";
    const TitleCheck title = CheckTitle(titles, nameAsLine1);
    if (!title.refusal.empty()) throw InputRefused(title.refusal);
    std::string problem =
        DataFolderRefusal(FindDsInputs(paths::WithoutTrailingSeparator(appDir)).dataFolders);
    if (problem.empty() && !settings.outputFolder.empty())
        problem = OutputFolderRefusal(settings.outputFolder);
    if (!problem.empty()) throw InputRefused(problem);
    return CheckPictures(appDir, settings.icon, settings.border);
}

// Runs a program of a build, trying a start that failed once more after a moment: with
// several builds at once a system near its limit of processes refuses one now and then
// (EAGAIN), and wine under load has been seen to fail one with "internal error". A
// program that is missing fails the same way twice.
modShellWait::RunResult RunRetryingStart(const std::string& commandLine,
                                         const std::string& workingDir) {
    modShellWait::RunResult result = modShellWait::RunAndWait(commandLine, workingDir);
    if (!result.started && !result.cancelled && !modShellWait::CancelRequested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        result = modShellWait::RunAndWait(commandLine, workingDir);
    }
    return result;
}

}  // namespace

std::vector<BatchRom> CollectRoms(const std::vector<std::string>& args, bool recursive) {
    std::vector<BatchRom> roms;
    for (const std::string& arg : args) {
        std::error_code ec;
        const fs::path folder = files::ToPath(arg);
        if (!recursive || arg.empty() || !fs::is_directory(folder, ec)) {
            roms.push_back({arg, "", ""});
            continue;
        }
        std::vector<BatchRom> found;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
            const fs::path& path = it->path();
            if (Lower(path.extension().u8string()) != ".gba" || !it->is_regular_file(ec)) continue;
            const std::string sub = path.parent_path().lexically_relative(folder).generic_u8string();
            found.push_back({path.u8string(), sub == "." ? "" : sub, ""});
        }
        std::sort(found.begin(), found.end(),
                  [](const BatchRom& a, const BatchRom& b) { return a.path < b.path; });
        if (ec) {
            roms.push_back({arg, "", "cannot read the folder: " + files::ErrorReason(ec)});
        } else if (found.empty()) {
            roms.push_back({arg, "", "no .gba file below this folder"});
        }
        roms.insert(roms.end(), found.begin(), found.end());
    }
    return roms;
}

std::vector<Job> PlanBatch(const std::vector<std::string>& roms, const BatchSettings& settings,
                           const std::string& appDir) {
    std::vector<BatchRom> plain;
    for (const std::string& rom : roms) plain.push_back({rom, "", ""});
    return PlanCollection(plain, settings, appDir);
}

std::vector<Job> PlanCollection(const std::vector<BatchRom>& roms, const BatchSettings& settings,
                                const std::string& appDir) {
    const std::shared_ptr<const StagedPictures> pictures = CheckShared(settings, appDir);
    std::vector<Job> jobs;
    // Each ROM's key, and the job that has it.
    std::map<std::string, std::pair<std::string, std::string>> romKeys;
    // Each ROM's file, and the ROM as given: a hard link has a key of its own.
    std::vector<std::pair<os::FileIdentity, std::string>> romFiles;
    std::error_code ec;
    const fs::path outputFolder = settings.outputFolder.empty()
                                      ? fs::path()
                                      : fs::absolute(files::ToPath(settings.outputFolder), ec);
    for (const BatchRom& collected : roms) {
        const std::string& rom = collected.path;
        Job job;
        job.rom = rom;
        job.subfolder = collected.subfolder;
        const fs::path romPath =
            rom.empty() ? fs::path() : fs::absolute(files::ToPath(rom), ec).lexically_normal();
        job.romPath = romPath.u8string();
        std::string problem = collected.problem;
        if (problem.empty()) problem = RomRefusal(rom, job.romPath);
        if (problem.empty()) {
            const auto [known, fresh] =
                romKeys.emplace(FileKey(romPath), std::make_pair(rom, job.romPath));
            // The same path twice is built once.
            if (!fresh && known->second.second == job.romPath) continue;
            const os::FileIdentity identity = os::IdentifyFile(job.romPath);
            std::string first = fresh ? "" : known->second.first;
            for (const auto& [file, given] : romFiles)
                if (first.empty() && file.SameFileAs(identity)) first = given;
            if (!first.empty()) {
                // The same file under another name (a link of either kind) is told, since
                // the user may have meant another ROM.
                job.state = JobState::Skipped;
                job.reason = "the same ROM as " + first + ", given twice";
                jobs.push_back(job);
                continue;
            }
            romFiles.emplace_back(identity, rom);
        }

        const RomChoice choice = ChooseRom(job.romPath);
        job.outputFolder =
            settings.outputFolder.empty()
                ? choice.outputFolder
                : paths::WithSeparator(
                      (outputFolder / files::ToPath(job.subfolder)).lexically_normal().u8string());
        job.output = OutputPath(job.outputFolder, job.romPath);
        // The whole name, so that a cut to fit the typed lines is told.
        std::string titles[3] = {choice.name, "", ""};
        // The name stands as line 1 unless a typed line 1 replaces it or it is fitted.
        bool nameAsLine1 = !settings.titleGiven || settings.titles[0].empty();
        const bool nameAlone = !settings.titleGiven ||
                               (settings.titles[0].empty() && settings.titles[1].empty() &&
                                settings.titles[2].empty());
        const TitleEntry* listed = FindTitle(settings.titleList, job.romPath);
        if (listed) {
            // The list's lines as typed; an empty line 1 stands for the name.
            for (int i = 0; i < 3; ++i)
                if (i > 0 || !listed->titles[0].empty()) titles[i] = listed->titles[i];
            nameAsLine1 = listed->titles[0].empty();
        } else if (settings.fitTitles && nameAlone) {
            const FittedTitle fitted = FitTitle(choice.title1);
            for (std::size_t i = 0; i < fitted.lines.size() && i < 3; ++i)
                titles[i] = fitted.lines[i];
            job.droppedWords = fitted.dropped;
            nameAsLine1 = fitted.lines.size() <= 1;
        } else if (settings.titleGiven) {
            if (!settings.titles[0].empty()) titles[0] = settings.titles[0];
            titles[1] = settings.titles[1];
            titles[2] = settings.titles[2];
        }
        const TitleCheck title = CheckTitle(titles, nameAsLine1);
        for (std::size_t i = 0; i < 3; ++i)
            job.titles[i] = i < title.lines.size() ? title.lines[i] : "";
        job.titleNotice = title.notice;
        if (problem.empty() && !title.refusal.empty())
            problem = listed ? "--titles line " + std::to_string(listed->line) + ": " + title.refusal
                             : title.refusal;
        // Pictures found by name are converted when the build is near (RunBatch), so that
        // a run that finds every package current decodes none; the batch's own are here.
        job.icon = settings.icons.Find(job.romPath, job.subfolder);
        job.ownIcon = !job.icon.empty();
        if (!job.ownIcon) job.icon = settings.icon;
        job.border = settings.borders.Find(job.romPath, job.subfolder);
        job.ownBorder = !job.border.empty();
        if (!job.ownBorder) job.border = settings.border;
        if (!job.ownIcon && !job.ownBorder) job.pictures = pictures;
        job.romSize = fs::file_size(romPath, ec);
        if (ec) job.romSize = 0;
        job.psram = settings.psram && choice.psramAllowed;
        if (!choice.psramAllowed) job.notice = kRomTooLarge;
        if (problem.empty()) problem = paths::OutputProblem(appDir, job.output, true);
        if (!problem.empty()) {
            job.state = JobState::Failed;
            job.reason = problem;
        }
        jobs.push_back(job);
    }

    // Packages that two ROMs would make, or that would replace a ROM of the batch.
    std::map<std::string, std::vector<std::size_t>> byOutput;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i].state == JobState::Waiting)
            byOutput[FileKey(files::ToPath(jobs[i].output))].push_back(i);
    for (const auto& [key, users] : byOutput) {
        if (users.size() > 1) {
            for (std::size_t i : users) {
                std::string others;
                for (std::size_t j : users)
                    if (j != i) others += (others.empty() ? "" : ", ") + jobs[j].rom;
                jobs[i].state = JobState::Failed;
                jobs[i].reason = "the package " + jobs[i].output + " would also be made from " +
                                 others + "; none of them is built";
            }
        } else if (romKeys.count(key) != 0) {
            jobs[users[0]].state = JobState::Failed;
            jobs[users[0]].reason =
                "the package " + jobs[users[0]].output + " would replace a ROM of this batch";
        }
    }

    std::map<std::string, std::string> folderProblems;
    for (Job& job : jobs) {
        if (job.state != JobState::Waiting) continue;
        const fs::path output = files::ToPath(job.output);
        const fs::file_status status = fs::status(output, ec);
        if (fs::is_directory(status)) {
            job.state = JobState::Failed;
            job.reason = "a folder is in the package's place: " + job.output;
            continue;
        }
        if (fs::exists(status) && !settings.force && !settings.update) {
            job.state = JobState::Skipped;
            job.reason = PackageExistsReason(job.output);
            job.packageKept = true;
            continue;
        }
        // A folder still to be made is judged by the nearest one there, where it will be.
        fs::path existing = output.parent_path();
        while (!fs::exists(existing, ec) && existing.has_relative_path())
            existing = existing.parent_path();
        const std::string folder = existing.u8string();
        auto known = folderProblems.find(folder);
        if (known == folderProblems.end())
            known = folderProblems.emplace(folder, OutputFolderRefusal(folder)).first;
        if (!known->second.empty()) {
            job.state = JobState::Failed;
            job.reason = known->second;
        }
    }
    return jobs;
}

namespace {

// Makes the package's folder and those above it as needed (a collection's subfolder).
void MakeFolders(const std::string& folder) {
    if (folder.empty()) return;  // the installation's bin, for the build to judge
    std::error_code ec;
    const fs::path path = files::ToPath(folder);
    if (fs::is_directory(path, ec)) return;
    fs::create_directories(path, ec);
    if (ec) throw std::runtime_error("cannot make the folder " + folder + ": " + files::ErrorReason(ec));
}

}  // namespace

BuildResult BuildRetryingStarts(const BuildRequest& request, const std::string& appDir) {
    return Build(request, appDir, ToolRunner(RunRetryingStart));
}

namespace {

BuildRequest RequestFor(const Job& job, const BatchSettings& settings,
                        const std::shared_ptr<const StagedPictures>& batchPictures) {
    BuildRequest request;
    request.rom = job.romPath;
    request.outputFolder = job.outputFolder;
    for (int i = 0; i < 3; ++i) request.titles[i] = job.titles[i];
    request.psram = job.psram;
    request.compression = settings.compression;
    request.replace = settings.force || job.replace;
    request.pictures = job.pictures ? job.pictures : batchPictures;
    return request;
}

}  // namespace

std::vector<std::string> UnmatchedTitles(const std::vector<TitleEntry>& list,
                                         const std::vector<Job>& jobs) {
    std::set<std::string> names;
    for (const Job& job : jobs) names.insert(NameKey(RomName(job.romPath)));
    std::vector<std::string> unmatched;
    for (const TitleEntry& entry : list)
        if (names.count(NameKey(entry.name)) == 0)
            unmatched.push_back("line " + std::to_string(entry.line) +
                                ": no ROM of this batch is named " + entry.name);
    return unmatched;
}

namespace {

// Converts the pictures of the waiting jobs that have none yet (those found by name), each
// distinct file once, before any build starts. A job whose picture cannot be used fails.
void PreparePictures(std::vector<Job>& jobs, const std::string& appDir, BatchObserver& observer) {
    PictureChecks checks(appDir);
    for (Job& job : jobs) {
        if (job.state != JobState::Waiting || job.pictures) continue;
        try {
            job.pictures = checks.For(job.icon, job.border);
        } catch (const InputRefused& e) {
            job.state = JobState::Failed;
            job.reason = e.what();
            observer.Settled(job);
        }
    }
}

// Runs `task` on each index below `count`, on up to `parallel` threads.
void ForEachAtOnce(std::size_t count, int parallel, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) task(i);
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < parallel && static_cast<std::size_t>(i) < count; ++i) {
        try {
            pool.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker();
    for (std::thread& thread : pool) thread.join();
}

// Settles the waiting jobs whose package is there: current ones as UpToDate, those changed
// by hand as Skipped (unless forced); stale ones stay Waiting, to be replaced.
void JudgePackages(std::vector<Job>& jobs, const BatchSettings& settings,
                   const std::string& appDir, int parallel, BatchObserver& observer) {
    std::vector<Job*> present;
    std::error_code ec;
    for (Job& job : jobs)
        if (job.state == JobState::Waiting && fs::exists(files::ToPath(job.output), ec))
            present.push_back(&job);
    if (present.empty()) return;
    std::uint64_t staged = 0;
    try {
        // The DS images and data files exactly as a build takes them.
        WorkFolder work(FindDsInputs(paths::WithoutTrailingSeparator(appDir)));
        staged = StagedFilesDigest(work.path());
    } catch (const std::exception& e) {
        for (Job* job : present) {
            job->state = JobState::Failed;
            job->reason = e.what();
            observer.Settled(*job);
        }
        return;
    }
    std::mutex mutex;
    ForEachAtOnce(present.size(), parallel, [&](std::size_t i) {
        Job& job = *present[i];
        BuildRequest request = RequestFor(job, settings, nullptr);
        request.icon = job.icon;
        request.border = job.border;
        PackageState state = PackageState::ChangedByHand;
        std::string failure;
        try {
            state = JudgePackage(job.output, RequestDigest(request, appDir, staged));
        } catch (const std::exception& e) {
            failure = e.what();
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure.empty()) {
            job.state = JobState::Failed;
            job.reason = failure;
        } else if (state == PackageState::Current) {
            job.state = JobState::UpToDate;
        } else if (state == PackageState::Stale || settings.force) {
            job.replace = true;
            return;
        } else {
            job.state = JobState::Skipped;
            job.reason = "the package " + job.output +
                         " was changed since it was built, or not built by Pellix";
        }
        observer.Settled(job);
    });
}

}  // namespace

void RunBatch(std::vector<Job>& jobs, const BatchSettings& settings, const std::string& appDir,
              int parallel, BatchObserver& observer, const JobBuilder& build) {
    const auto waiting = std::count_if(jobs.begin(), jobs.end(),
                                       [](const Job& j) { return j.state == JobState::Waiting; });
    if (waiting == 0) return;
    RemoveStaleWorkFolders();
    if (settings.update) JudgePackages(jobs, settings, appDir, parallel, observer);
    PreparePictures(jobs, appDir, observer);
    // One conversion for the whole batch: the same pictures in every package, and the
    // memory of one decode, however many builds run. Planned jobs bring theirs.
    std::shared_ptr<const StagedPictures> pictures;
    try {
        if (std::any_of(jobs.begin(), jobs.end(), [](const Job& job) {
                return job.state == JobState::Waiting && !job.pictures;
            }))
            pictures = CheckPictures(appDir, settings.icon, settings.border);
    } catch (const std::exception& e) {
        for (Job& job : jobs) {
            if (job.state != JobState::Waiting) continue;
            job.state = JobState::Failed;
            job.reason = e.what();
            observer.Finished(job);
        }
        return;
    }

    std::mutex mutex;
    std::condition_variable allDone;
    std::size_t next = 0;
    int working = 0;

    const auto worker = [&] {
        for (;;) {
            Job* job = nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex);
                while (next < jobs.size() && jobs[next].state != JobState::Waiting) ++next;
                if (next == jobs.size() || observer.Cancelled()) break;
                job = &jobs[next++];
                observer.Started(*job);
            }
            const auto start = std::chrono::steady_clock::now();
            BuildResult result;
            try {
                MakeFolders(job->outputFolder);
                result = build(RequestFor(*job, settings, pictures), appDir);
            } catch (const std::exception& e) {
                result.reason = e.what();
            }
            std::lock_guard<std::mutex> lock(mutex);
            job->seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (result.kind == BuildOutcome::Delivered) {
                job->state = JobState::Built;
                std::error_code ec;
                job->packageSize =
                    static_cast<std::int64_t>(fs::file_size(files::ToPath(job->output), ec));
            } else if (result.kind == BuildOutcome::Skipped) {
                job->state = JobState::Skipped;
                job->reason = result.reason;
                job->packageKept = true;
            } else if (observer.Cancelled()) {
                job->state = JobState::Interrupted;
                job->reason = "stopped by the interrupt";
            } else {
                job->state = JobState::Failed;
                job->reason = result.reason;
            }
            observer.Finished(*job);
        }
        std::lock_guard<std::mutex> lock(mutex);
        --working;
        allDone.notify_all();
    };

    const int threads = static_cast<int>(std::min<std::ptrdiff_t>(std::max(parallel, 1), waiting));
    std::vector<std::thread> pool;
    for (int i = 0; i < threads && threads > 1; ++i) {
        std::lock_guard<std::mutex> lock(mutex);
        try {
            pool.emplace_back(worker);
            ++working;
        } catch (const std::system_error&) {
            break;  // as many at once as the system gives
        }
    }
    if (pool.empty() && threads > 0) {
        ++working;
        worker();
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (working > 0) {
            if (!allDone.wait_for(lock, std::chrono::milliseconds(500),
                                  [&] { return working == 0; }))
                observer.Tick();
        }
    }
    for (std::thread& thread : pool) thread.join();
    for (Job& job : jobs) {
        if (job.state == JobState::Waiting) {
            job.state = JobState::Interrupted;
            job.reason = "not started before the interrupt";
        }
    }
}

int ExitStatus(const std::vector<Job>& jobs) {
    for (const Job& job : jobs)
        if (job.state != JobState::Built && job.state != JobState::UpToDate) return 1;
    return 0;
}

}  // namespace pellix
