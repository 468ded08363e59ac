// A program that starts a copy of itself and waits, for the test that kills it mid-wait.
// "parent FILE": runs "child FILE" through the system layer. "child FILE": writes its
// process number to FILE and sleeps a minute.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "system/command_line.h"
#include "system/files.h"
#include "system/subprocess.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string mode = argv[1];
    const std::string file = argv[2];
    if (mode == "child") {
        {
            std::ofstream out(file + ".tmp");
            out << getpid() << "\n";
        }
        // Whole, or not at all: the test reads it while it may be written.
        std::rename((file + ".tmp").c_str(), file.c_str());
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return 0;
    }
    using pellix::QuoteArgument;
    const pellix::os::ProcessResult result = pellix::os::RunProcess(
        QuoteArgument(pellix::os::ExecutablePath()) + " child " + QuoteArgument(file), "", {});
    return result.started ? 0 : 1;
}
