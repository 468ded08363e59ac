// One build as the window does it: the ROM chosen through "Browse...", a click on "Go..."
// and the time until the window says "Complete!". Run by bench_build, on the offscreen
// platform, with its choosers and message boxes answered at once.
// Usage: window_build APP ROM OUTPUT_FOLDER; prints the seconds from the click to the message
// and the CPU seconds the window's own process spent meanwhile (its event pump and steps).
// QT_QPA_PLATFORM picks a real display instead.
#include <sys/resource.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "builder/app_directory.h"
#include "ui/frm_pellix.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: window_build APP ROM OUTPUT_FOLDER\n");
        return 2;
    }
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    pellix::SetApplicationDirectory(argv[1]);
    const std::string rom = argv[2], output = argv[3];

    pellix::ui::frmPellix window;
    pellix::ui::Choosers choosers;
    choosers.openFile = [&](const std::string&, const std::string&, const std::string&,
                            std::uint32_t, QWidget*) { return rom; };
    choosers.browseFolder = [&](QWidget*, const std::string&, std::uint32_t, std::int32_t) {
        return output;
    };
    window.SetChoosers(choosers);
    using Clock = std::chrono::steady_clock;
    Clock::time_point clicked, told;
    std::string message;
    window.SetMessageBox([&](QWidget*, const QString& text) {
        // The notice about the stand-in images comes before the build; the build's own
        // message ends it.
        if (text.toStdString().find("stand-in") != std::string::npos) return;
        told = Clock::now();
        message = text.toStdString();
    });
    window.show();
    application.processEvents();
    window.findChild<QPushButton*>("cmdBrowseROM")->click();
    window.findChild<QPushButton*>("cmdBrowseFolder")->click();
    QPushButton* go = window.findChild<QPushButton*>("cmdGo");
    application.processEvents();
    const auto ownCpu = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = ownCpu();
    clicked = Clock::now();
    go->click();
    const double cpu = ownCpu() - cpuBefore;
    if (message != "Complete!") {
        std::fprintf(stderr, "the build from the window failed: %s\n", message.c_str());
        return 1;
    }
    std::printf("%.3f %.3f\n", std::chrono::duration<double>(told - clicked).count(), cpu);
    return 0;
}
