// pellix_standins FOLDER: writes the stand-in 7.bin and 9.bin into FOLDER.
#include <cstdio>
#include <string>
#include <vector>

#include "standin_images.h"

namespace {

bool WriteImage(const std::string& path, const std::vector<uint8_t>& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pellix_standins FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const auto& [name, image] : {std::pair{"7.bin", pellix::standins::Arm7Standin()},
                                      std::pair{"9.bin", pellix::standins::Arm9Standin()}}) {
        if (!WriteImage(folder + "/" + name, image)) {
            std::fprintf(stderr, "pellix_standins: %s/%s: cannot write\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
