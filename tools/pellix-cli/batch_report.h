// What pellix-cli prints about a batch: a line per ROM, a progress bar, a summary.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "builder/batch.h"

namespace pellix::app {

// "512 B", "8.0 KiB", "12.3 MiB", "1.50 GiB".
std::string FormatSize(std::int64_t bytes);

// "0.4 s" under a minute, then "1:05" and "1:02:03".
std::string FormatDuration(double seconds);

// The line for a settled job: "ok", "current", "FAILED", "skipped" or "stopped", the ROM as given,
// then sizes and time, or the reason (further lines of a reason indented).
std::string JobLine(const Job& job);

// The title lines of the built packages that the DS will cut, one line each:
// "  ROM: line 2 "text"\n"; "" when every line fits.
std::string CutTitles(const std::vector<Job>& jobs);

// The progress bar: "[#####-----]  7/20  2 building  0:12  about 0:42 left"; the estimate
// is left out while `secondsLeft` is negative.
std::string ProgressLine(int done, int total, int running, double elapsed, double secondsLeft);

// Prints a batch to a console or a file. On a terminal the last line is a progress bar
// redrawn in place, cut to fit `columns` (0: unknown, taken as 80) so it never wraps;
// otherwise only whole lines are written. Quiet: only the ROMs that failed or were
// skipped, on `err`.
class ConsoleReport : public BatchObserver {
  public:
    using Clock = std::function<double()>;  // seconds since any fixed moment

    ConsoleReport(std::ostream& out, std::ostream& err, bool terminal, bool quiet,
                  Clock clock = {}, int columns = 0);

    // Prints the notices and the ROMs the plan settled, and counts what is to be built.
    void Planned(const std::vector<Job>& jobs);
    void Started(const Job& job) override;
    void Finished(const Job& job) override;
    void Settled(const Job& job) override;
    void Tick() override;
    // Clears the bar and prints the counts, `imagesNote` (which DS images the packages hold)
    // when any was built, and the ROMs not built, with their reasons.
    void Summary(const std::vector<Job>& jobs, const std::string& imagesNote = "");

    // Seconds left by the ROM bytes built so far, or -1 before any build has ended.
    double SecondsLeft() const;

  private:
    void ClearBar();
    void DrawBar();
    void Print(const std::string& lines, bool problem);

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    Clock clock_;
    double start_ = -1;
    int total_ = 0, done_ = 0, running_ = 0;
    std::int64_t bytesTotal_ = 0, bytesDone_ = 0;
    std::size_t barWidth_ = 0;
    std::size_t barLimit_;  // the most a bar may take without wrapping
};

}  // namespace pellix::app
