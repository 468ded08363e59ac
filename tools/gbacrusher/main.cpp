// gbacrusher: compresses INPUT to OUTPUT with the GBA/DS BIOS LZ77 format (video-memory safe).
#include <cstdio>
#include <string>

#include "formats/lz77.h"
#include "formats/lz77_format.h"
#include "formats/file_bytes.h"

namespace {

constexpr const char* kUsage = "usage: gbacrusher -l INPUT -o OUTPUT\n";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    using namespace pellix::formats;
    std::string input, output;
    bool lz77Mode = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-l" && !lz77Mode) {
            lz77Mode = true;
        } else if (arg == "-o" && output.empty() && i + 1 < argc && argv[i + 1][0] != '\0') {
            output = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
            input = arg;
        } else {
            std::fprintf(stderr, "gbacrusher: unknown or repeated argument '%s'\n%s", arg.c_str(),
                         kUsage);
            return kExitUsage;
        }
    }
    if (!lz77Mode || input.empty() || output.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    std::string failing = input;
    try {
        const std::vector<uint8_t> data = ReadFileBytes(input, lz77::kMaxInputSize - 1);
        const std::vector<uint8_t> packed = CompressLz77(data);
        failing = output;
        ReplaceWholeFile(output, packed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gbacrusher: %s: %s\n", failing.c_str(), e.what());
        return kExitFailure;
    }
    return 0;
}
