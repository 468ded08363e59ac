// gzip [-1..-9|--fast|--best] [-c] [-d] [-k] [-f] [-t] [FILE...]: packs FILE into FILE.gz.
#include <cstdio>
#include <string>
#include <vector>

#include "deflate_engine.h"
#include "gzip_command.h"

int main(int argc, char** argv) {
    using namespace pellix::gzip;
    GzipOptions options;
    try {
        options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "gzip: %s; %s\n", e.what(), kUsage);
        return 2;
    }
    if (options.help) {
        std::printf("%s\n", kUsage);
        return 0;
    }
    if (options.version) {
        std::printf("gzip (Pellix %s) with %s; --best is level %d of %d\n", PELLIX_VERSION,
                    EngineName().c_str(), BestLevel(), MaxLevel());
        return 0;
    }
    Disk disk;
    Console console;
    return RunGzip(options, disk, console);
}
