// pellix-cli: builds one package per ROM named on the command line, several at once.
#include <exception>
#include <iostream>

#include "batch_report.h"
#include "builder/app_directory.h"
#include "builder/batch.h"
#include "builder/build_checks.h"
#include "builder/ds_inputs.h"
#include "builder/shell_wait.h"
#include "builder/standin_check.h"
#include "cli_options.h"
#include "system/console.h"

using namespace pellix;

int main(int argc, char** argv) {
    console::PrepareOutput();
    const int cores = console::ProcessorCount();
    app::CliOptions options;
    BatchSettings settings;
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
        settings = app::ToBatchSettings(options);
    } catch (const app::UsageError& e) {
        std::cerr << "pellix-cli: " << e.what() << "\nTry 'pellix-cli --help'.\n";
        return 2;
    }

    try {
        const std::string appDir = ApplicationDirectory();
        console::StopOnInterrupt(&modShellWait::CancelAll);
        std::vector<Job> jobs;
        try {
            jobs = PlanCollection(
                CollectRoms(console::ExpandWildcards(options.roms), options.recursive), settings,
                appDir);
        } catch (const InputRefused& e) {
            // A title, a picture or a folder every ROM shares: no ROM could be built.
            std::cerr << "pellix-cli: " << e.what() << "\n";
            return 2;
        }
        for (const std::string& unmatched : UnmatchedTitles(settings.titleList, jobs))
            std::cerr << "pellix-cli: warning: --titles " << options.titleList << ", " << unmatched
                      << "\n";
        app::ConsoleReport report(std::cout, std::cerr, console::OutputIsTerminal(), options.quiet,
                                  {}, console::TerminalColumns());
        report.Planned(jobs);
        // Once per batch, even when quiet: such packages start nothing on a DS.
        const std::string standIns = StandInNotice(appDir);
        if (!standIns.empty()) std::cerr << "pellix-cli: warning: " << standIns << "\n";
        RunBatch(jobs, settings, appDir, options.jobs > 0 ? options.jobs : cores, report);
        report.Summary(jobs, DsImagesNote(FindDsInputs(appDir)));
        console::EndIfInterrupted();
        return ExitStatus(jobs);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "pellix-cli: " << e.what() << "\n";
        console::EndIfInterrupted();
        return 1;
    }
}
