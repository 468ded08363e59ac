// Batch builds: planning the packages, running the builds side by side, settling each ROM.
#include "batch.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <thread>

#include "modio.h"
#include "platform.h"
#include "rom_choice.h"
#include "shell_wait.h"
#include "work_folder.h"

namespace fs = std::filesystem;

namespace pellix::app {

namespace {

using os::kPathsIgnoreCase;

// The pipeline's failure messages start so; on a line of its own ROM it says nothing.
constexpr const char kStoppedPrefix[] = "The build stopped: ";

// A key under which two names of one file compare equal.
std::string FileKey(const fs::path& path) {
    std::error_code ec;
    fs::path canon = fs::weakly_canonical(path, ec);
    if (ec) canon = path.lexically_normal();
    std::string key = canon.u8string();
    if (kPathsIgnoreCase)
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::string WithSeparator(const fs::path& folder) {
    std::string text = folder.u8string();
    if (!text.empty() && text.back() != '/' && text.back() != '\\')
        text += static_cast<char>(fs::path::preferred_separator);
    return text;
}

// Why `path` cannot be read as a ROM, or "" when it can.
std::string RomProblem(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "it is a folder, not a ROM";
    // A device or a pipe could block the open below, or never end.
    if (!fs::is_regular_file(status)) return "it is not a file";
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        const int error = errno != 0 ? errno : EACCES;
        return "cannot be read: " + modIO::ErrorReason({error, std::generic_category()});
    }
    return "";
}

// Why no file can be made in `folder`, or "" when one can: a file is made there and
// removed again, since nothing short of that tells on every system.
std::string FolderProblem(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return "the folder " + folder.u8string() + " does not exist";
    std::random_device device;
    const fs::path probe = folder / (".pellix-probe-" + std::to_string(device()));
    errno = 0;
    {
        std::ofstream file(probe, std::ios::binary);
        if (file) {
            file.close();
            fs::remove(probe, ec);
            return "";
        }
    }
    const int error = errno != 0 ? errno : EACCES;
    return "cannot write into the folder " + folder.u8string() + ": " +
           modIO::ErrorReason({error, std::generic_category()});
}

// Answers the pipeline's reads for one job of a batch.
class JobSource : public SettingsSource {
  public:
    JobSource(const Job& job, const BatchSettings& settings) : job_(job), settings_(settings) {}

    std::string RomPath() override { return job_.romPath; }
    std::string OutputFolder() override { return job_.outputFolder; }
    std::string Title(int line) override { return job_.titles[line - 1]; }
    std::string IconFile() override { return settings_.icon; }
    std::string BorderFile() override { return settings_.border; }
    bool CustomizeOpen() override { return !settings_.icon.empty() || !settings_.border.empty(); }
    int PsramValue() override { return job_.psram ? 1 : 0; }
    int CompressionValue() override { return settings_.compression ? 1 : 0; }
    void SetGoEnabled(bool) override {}
    void ShowMessage(const std::string& text) override { message = text; }

    std::string message;  // the last message the build showed

  private:
    const Job& job_;
    const BatchSettings& settings_;
};

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

std::vector<Job> PlanBatch(const std::vector<std::string>& roms, const BatchSettings& settings) {
    std::vector<Job> jobs;
    std::set<std::string> romKeys;
    std::error_code ec;
    const fs::path outputFolder = settings.outputFolder.empty()
                                      ? fs::path()
                                      : fs::absolute(modIO::ToPath(settings.outputFolder), ec);
    for (const std::string& rom : roms) {
        Job job;
        job.rom = rom;
        const fs::path romPath =
            rom.empty() ? fs::path() : fs::absolute(modIO::ToPath(rom), ec).lexically_normal();
        job.romPath = romPath.u8string();
        const std::string problem = rom.empty() ? "no such file" : RomProblem(romPath);
        if (problem.empty() && !romKeys.insert(FileKey(romPath)).second) continue;  // named twice

        const RomChoice choice = ChooseRom(job.romPath);
        job.outputFolder =
            settings.outputFolder.empty() ? choice.outputFolder : WithSeparator(outputFolder);
        job.output = OutputPath(job.outputFolder, job.romPath);
        job.titles[0] = choice.title1;
        if (settings.titleGiven) {
            if (!settings.titles[0].empty()) job.titles[0] = settings.titles[0];
            job.titles[1] = settings.titles[1];
            job.titles[2] = settings.titles[2];
        }
        job.romSize = fs::file_size(romPath, ec);
        if (ec) job.romSize = 0;
        job.psram = settings.psram && choice.psramAllowed;
        if (!choice.psramAllowed) job.notice = kRomTooLarge;
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
            byOutput[FileKey(modIO::ToPath(jobs[i].output))].push_back(i);
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
        } else if (romKeys.count(key)) {
            jobs[users[0]].state = JobState::Failed;
            jobs[users[0]].reason =
                "the package " + jobs[users[0]].output + " would replace a ROM of this batch";
        }
    }

    std::map<std::string, std::string> folderProblems;
    for (Job& job : jobs) {
        if (job.state != JobState::Waiting) continue;
        const fs::path output = modIO::ToPath(job.output);
        const fs::file_status status = fs::status(output, ec);
        if (fs::is_directory(status)) {
            job.state = JobState::Failed;
            job.reason = "a folder is in the package's place: " + job.output;
            continue;
        }
        if (fs::exists(status) && !settings.force) {
            job.state = JobState::Skipped;
            job.reason = "the package " + job.output + " exists (--force replaces it)";
            continue;
        }
        const std::string folder = output.parent_path().u8string();
        auto known = folderProblems.find(folder);
        if (known == folderProblems.end())
            known = folderProblems.emplace(folder, FolderProblem(output.parent_path())).first;
        if (!known->second.empty()) {
            job.state = JobState::Failed;
            job.reason = known->second;
        }
    }
    return jobs;
}

bool BuildInWorkFolder(const Job& job, const BatchSettings& settings, const std::string& appDir,
                       std::string& message) {
    WorkFolder folder(appDir);
    JobSource source(job, settings);
    const bool built = RunBuildIn(source, appDir, folder.path(), ToolRunner(RunRetryingStart));
    message = source.message;
    if (message.rfind(kStoppedPrefix, 0) == 0) message.erase(0, sizeof kStoppedPrefix - 1);
    if (!built && message.empty()) message = "the build did not start";
    return built;
}

void RunBatch(std::vector<Job>& jobs, const BatchSettings& settings, const std::string& appDir,
              int parallel, BatchObserver& observer, const JobBuilder& build) {
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
                if (next == jobs.size() || modShellWait::CancelRequested()) break;
                job = &jobs[next++];
                observer.Started(*job);
            }
            const auto start = std::chrono::steady_clock::now();
            std::string message;
            bool built = false;
            try {
                built = build(*job, settings, appDir, message);
            } catch (const std::exception& e) {
                message = e.what();
            }
            std::lock_guard<std::mutex> lock(mutex);
            job->seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (built) {
                job->state = JobState::Built;
                std::error_code ec;
                job->packageSize =
                    static_cast<std::int64_t>(fs::file_size(modIO::ToPath(job->output), ec));
            } else if (modShellWait::CancelRequested()) {
                job->state = JobState::Interrupted;
                job->reason = "stopped by the interrupt";
            } else {
                job->state = JobState::Failed;
                job->reason = message;
            }
            observer.Finished(*job);
        }
        std::lock_guard<std::mutex> lock(mutex);
        --working;
        allDone.notify_all();
    };

    const auto waiting = std::count_if(jobs.begin(), jobs.end(),
                                       [](const Job& j) { return j.state == JobState::Waiting; });
    const int threads = static_cast<int>(std::min<std::ptrdiff_t>(std::max(parallel, 1), waiting));
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
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
        if (job.state != JobState::Built) return 1;
    return 0;
}

}  // namespace pellix::app
