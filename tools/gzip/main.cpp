// gzip [-1..-9|--fast|--best] [-cdfklnNqrtv] [-p N] [-S SUF] [FILE...]: packs FILE into FILE.gz.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "gzip/deflate_engine.h"
#include "system/files.h"
#include "gzip/gzip_command.h"

int main(int argc, char** argv) {
    using namespace pellix::gzip;
    GzipOptions options;
    try {
        options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "gzip: %s; %s\n", e.what(), kUsage);
        return 1;
    }
    if (options.help || options.version) {
        if (options.help)
            std::printf("%s\n", kUsage);
        else
            // Scripts read the version as the first line's last field; the rest comes after.
            std::printf("gzip (Pellix) %s\npacks with %s; --best is level %d of %d\n",
                        PELLIX_VERSION, EngineName().c_str(), BestLevel(), MaxLevel());
        // Output that never arrived is a failure, not a quiet success.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "gzip: stdout: cannot write: %s\n", pellix::os::ErrorReason(errno).c_str());
            return 1;
        }
        return 0;
    }
    Disk disk;
    Console console;
    return RunGzip(options, disk, console);
}
