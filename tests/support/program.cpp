// What both platforms' program starters share.
#include "program.h"

#include <atomic>
#include <string>

#include "system/platform.h"
#include "scratch.h"

namespace pellix::testing {

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& folder, const Environment& env, double seconds,
                     bool asNobody, const std::filesystem::path& input) {
    Program started(program, args, folder, env, asNobody, input);
    return started.Wait(seconds);
}

std::string ProgramName(const std::string& name) {
    return name + os::kExeSuffix;
}

std::string Program::OutputSoFar() const {
    return ReadText(outPath_);
}

}  // namespace pellix::testing
