// pellix-cli: builds one package per ROM named on the command line, several at once.
#include <exception>
#include <iostream>

#include "app_directory.h"
#include "batch.h"
#include "batch_report.h"
#include "cli_options.h"
#include "console.h"
#include "shell_wait.h"

using namespace pellix;

int main(int argc, char** argv) {
    console::PrepareOutput();
    const int cores = console::ProcessorCount();
    app::CliOptions options;
    try {
        options = app::ParseCommandLine(console::Arguments(argc, argv));
        if (options.help) {
            std::cout << app::UsageText(cores);
            return 0;
        }
        if (options.version) {
            std::cout << "pellix-cli " PELLIX_VERSION "\n";
            return 0;
        }
        app::CheckNamedFiles(options);
    } catch (const app::UsageError& e) {
        std::cerr << "pellix-cli: " << e.what() << "\nTry 'pellix-cli --help'.\n";
        return 2;
    }

    try {
        const std::string appDir = ApplicationDirectory();
        console::StopOnInterrupt(&modShellWait::CancelAll);
        const app::BatchSettings settings = app::ToBatchSettings(options);
        std::vector<app::Job> jobs =
            app::PlanBatch(console::ExpandWildcards(options.roms), settings);
        app::ConsoleReport report(std::cout, std::cerr, console::OutputIsTerminal(), options.quiet);
        report.Planned(jobs);
        app::RunBatch(jobs, settings, appDir, options.jobs > 0 ? options.jobs : cores, report);
        report.Summary(jobs);
        console::EndIfInterrupted();
        return app::ExitStatus(jobs);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "pellix-cli: " << e.what() << "\n";
        console::EndIfInterrupted();
        return 1;
    }
}
