// What starting a program means on every platform, before the platform's own start.
#include "system/subprocess.h"

#include "system/command_line.h"

namespace pellix::os {

std::vector<std::string> ArgumentsToStart(const std::string& commandLine,
                                          const ProcessWatch& watch, ProcessResult& result) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) {
        result.errorText = "the command line names no program";
        return {};
    }
    if (watch.stopRequested && watch.stopRequested()) {
        result.cancelled = true;
        result.errorText = "stopped before it started";
        return {};
    }
    return args;
}

}  // namespace pellix::os
