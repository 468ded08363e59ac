// What pellix-cli prints about a batch: a line per ROM, a progress bar, a summary.
#include "batch_report.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "builder/title_width.h"

namespace pellix::app {

namespace {

constexpr int kBarCells = 24;
constexpr const char kIndent[] = "         ";  // under the text after the state word

std::string Indented(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += kIndent;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    return out;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string FormatSize(std::int64_t bytes) {
    char text[32];
    const double b = static_cast<double>(bytes);
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", b / 1024);
    } else if (bytes < 1024LL * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MiB", b / (1024 * 1024));
    } else {
        std::snprintf(text, sizeof text, "%.2f GiB", b / (1024.0 * 1024 * 1024));
    }
    return text;
}

std::string FormatDuration(double seconds) {
    char text[32];
    if (seconds < 59.95) {
        std::snprintf(text, sizeof text, "%.1f s", seconds < 0 ? 0.0 : seconds);
        return text;
    }
    const long long whole = std::llround(seconds);
    if (whole < 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    }
    return text;
}

std::string CutTitles(const std::vector<Job>& jobs) {
    std::string lines;
    for (const Job& job : jobs) {
        if (job.state != JobState::Built && job.state != JobState::UpToDate) continue;
        for (int line : CutTitleLines(job.titles))
            lines += "  " + job.rom + ": line " + std::to_string(line) + " \"" +
                     job.titles[line - 1] + "\"\n";
    }
    return lines;
}

// Why a job was not built; a kept package is replaced by this program's --force.
static std::string Reason(const Job& job) {
    return job.packageKept ? job.reason + " (--force replaces it)" : job.reason;
}

std::string JobLine(const Job& job) {
    switch (job.state) {
        case JobState::Built:
            return "ok       " + job.rom + "  " + FormatSize(job.romSize) + " -> " +
                   FormatSize(job.packageSize) + "  " + FormatDuration(job.seconds);
        case JobState::Failed:
            return "FAILED   " + job.rom + ": " + Indented(job.reason);
        case JobState::Skipped:
            return "skipped  " + job.rom + ": " + Indented(Reason(job));
        case JobState::Interrupted:
            return "stopped  " + job.rom + ": " + Indented(job.reason);
        case JobState::UpToDate:
            return "current  " + job.rom;
        case JobState::Waiting:
            break;
    }
    return "waiting  " + job.rom;
}

std::string ProgressLine(int done, int total, int running, double elapsed, double secondsLeft) {
    const int filled = total > 0 ? done * kBarCells / total : kBarCells;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarCells - filled), '-') + "]  " +
                       std::to_string(done) + "/" + std::to_string(total);
    if (running > 0) line += "  " + std::to_string(running) + " building";
    line += "  " + FormatDuration(elapsed);
    if (secondsLeft >= 0) line += "  about " + FormatDuration(secondsLeft) + " left";
    return line;
}

ConsoleReport::ConsoleReport(std::ostream& out, std::ostream& err, bool terminal, bool quiet,
                             Clock clock, int columns)
    : out_(out),
      err_(err),
      terminal_(terminal && !quiet),
      quiet_(quiet),
      clock_(clock ? std::move(clock) : Clock(SteadySeconds)),
      // The last column stays free: a terminal that wraps at a full line would move the
      // bar down a line at every redraw.
      barLimit_(static_cast<std::size_t>(columns > 1 ? columns - 1 : 79)) {}

void ConsoleReport::Planned(const std::vector<Job>& jobs) {
    for (const Job& job : jobs) {
        if (job.state == JobState::Waiting && !quiet_) {
            if (!job.notice.empty()) out_ << "note     " << job.rom << ": " << job.notice << "\n";
            if (!job.titleNotice.empty())
                out_ << "note     " << job.rom << ": " << job.titleNotice << "\n";
            if (!job.droppedWords.empty())
                out_ << "note     " << job.rom << ": the title has no room for \""
                     << job.droppedWords << "\"\n";
        }
        if (job.state == JobState::Waiting) {
            ++total_;
            bytesTotal_ += job.romSize;
        } else {
            Print(JobLine(job), true);
        }
    }
    out_.flush();
}

void ConsoleReport::Started(const Job&) {
    if (start_ < 0) start_ = clock_();
    ++running_;
    DrawBar();
}

void ConsoleReport::Finished(const Job& job) {
    --running_;
    ++done_;
    bytesDone_ += job.romSize;
    // A ROM that was never given its turn gets no line of its own; the summary counts it.
    Print(JobLine(job), job.state != JobState::Built && job.state != JobState::UpToDate);
    DrawBar();
}

void ConsoleReport::Settled(const Job& job) {
    // Settled at once: its bytes take no building time, so they leave the estimate.
    ++done_;
    bytesTotal_ -= job.romSize;
    Print(JobLine(job), job.state != JobState::UpToDate);
    DrawBar();
}

void ConsoleReport::Tick() {
    DrawBar();
}

double ConsoleReport::SecondsLeft() const {
    if (done_ == 0 || start_ < 0) return -1;
    const double elapsed = clock_() - start_;
    if (bytesDone_ <= 0) return elapsed / done_ * (total_ - done_);
    return elapsed * static_cast<double>(bytesTotal_ - bytesDone_) /
           static_cast<double>(bytesDone_);
}

void ConsoleReport::Summary(const std::vector<Job>& jobs, const std::string& imagesNote) {
    ClearBar();
    if (quiet_) {
        err_.flush();
        return;
    }
    int built = 0, current = 0, failed = 0, skipped = 0, stopped = 0, ownIcons = 0, ownBorders = 0;
    for (const Job& job : jobs) {
        ownIcons += job.ownIcon ? 1 : 0;
        ownBorders += job.ownBorder ? 1 : 0;
        switch (job.state) {
            case JobState::Built:
                ++built;
                break;
            case JobState::UpToDate:
                ++current;
                break;
            case JobState::Failed:
                ++failed;
                break;
            case JobState::Skipped:
                ++skipped;
                break;
            case JobState::Interrupted:
            case JobState::Waiting:
                ++stopped;
                break;
        }
    }
    std::string line = std::to_string(jobs.size()) + (jobs.size() == 1 ? " ROM: " : " ROMs: ") +
                       std::to_string(built) + " built";
    if (current) line += ", " + std::to_string(current) + " up to date";
    if (failed) line += ", " + std::to_string(failed) + " failed";
    if (skipped) line += ", " + std::to_string(skipped) + " skipped";
    if (stopped) line += ", " + std::to_string(stopped) + " not built (interrupted)";
    if (start_ >= 0) line += ", in " + FormatDuration(clock_() - start_);
    out_ << line << ".\n";
    if (built > 0 && !imagesNote.empty()) out_ << imagesNote << "\n";
    if (ownIcons + ownBorders > 0)
        out_ << "Found by name: " << ownIcons << (ownIcons == 1 ? " icon, " : " icons, ") << ownBorders
             << (ownBorders == 1 ? " border.\n" : " borders.\n");
    if (failed + skipped > 0) {
        out_ << "Not built:\n";
        for (const Job& job : jobs)
            if (job.state == JobState::Failed || job.state == JobState::Skipped)
                out_ << "  " << job.rom << ": " << Indented(Reason(job)) << "\n";
    }
    const std::string cut = CutTitles(jobs);
    if (!cut.empty()) out_ << "Titles cut on the DS (wider than the menu's " << kTitleAreaPixels
                           << " pixels):\n" << cut;
    out_.flush();
}

void ConsoleReport::ClearBar() {
    if (barWidth_ == 0) return;
    out_ << '\r' << std::string(barWidth_, ' ') << '\r';
    barWidth_ = 0;
}

void ConsoleReport::DrawBar() {
    if (!terminal_ || start_ < 0) return;
    std::string bar = ProgressLine(done_, total_, running_, clock_() - start_, SecondsLeft());
    if (bar.size() > barLimit_) bar.resize(barLimit_);
    const std::size_t width = barWidth_;
    out_ << '\r' << bar;
    if (bar.size() < width) out_ << std::string(width - bar.size(), ' ');
    barWidth_ = std::max(bar.size(), width);
    out_.flush();
}

void ConsoleReport::Print(const std::string& lines, bool problem) {
    if (quiet_) {
        if (problem) err_ << lines << "\n" << std::flush;
        return;
    }
    ClearBar();
    out_ << lines << "\n";
    out_.flush();
}

}  // namespace pellix::app
