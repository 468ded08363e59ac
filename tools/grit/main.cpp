// grit: writes PICTURE's pixels as a raw 16-bit DS bitmap, STEM.img.bin, in the current folder.
#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/bitmap16.h"
#include "formats/picture.h"
#include "formats/file_bytes.h"

namespace {

constexpr const char* kUsage = "usage: grit PICTURE -ftbin -fh! -gB16 [-gb]\n";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The DS screen the border fills; other sizes still convert but will not fit.
constexpr int kScreenWidth = 256;
constexpr int kScreenHeight = 192;

}  // namespace

int main(int argc, char** argv) {
    using namespace pellix::formats;
    std::string input;
    bool binary = false, noHeader = false, bitmap16 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-ftbin") {
            binary = true;
        } else if (arg == "-fh!") {
            noHeader = true;
        } else if (arg == "-gB16") {
            bitmap16 = true;
        } else if (arg == "-gb") {
            // Bitmap mode, which newer versions ask for explicitly; it is the only mode here.
        } else if (!arg.empty() && arg[0] != '-' && input.empty()) {
            input = arg;
        } else {
            std::fprintf(stderr, "grit: unknown or repeated argument '%s'\n%s", arg.c_str(),
                         kUsage);
            return kExitUsage;
        }
    }
    if (input.empty() || !binary || !noHeader || !bitmap16) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    const std::string output = std::filesystem::path(input).stem().string() + ".img.bin";
    std::string failing = input;
    try {
        const Picture picture = ReadPictureFile(input);
        if (picture.width != kScreenWidth || picture.height != kScreenHeight)
            std::fprintf(stderr, "grit: %s: warning: the picture is %d x %d pixels, not %d x %d\n",
                         input.c_str(), picture.width, picture.height, kScreenWidth, kScreenHeight);
        const std::vector<uint8_t> pixels = ToBitmap16(picture);
        failing = output;
        ReplaceWholeFile(output, pixels);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grit: %s: %s\n", failing.c_str(), e.what());
        return kExitFailure;
    }
    return 0;
}
