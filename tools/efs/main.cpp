// efs FILE.nds: records the package's id (from its content) and size in its EFS section.
#include <cstdio>
#include <exception>
#include <string>

#include "formats/efs_patch.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: efs FILE.nds\n");
        return 2;
    }
    const std::string path = argv[1];
    try {
        pellix::formats::PatchEfsFile(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "efs: %s: %s\n", path.c_str(), e.what());
        return 1;
    }
    return 0;
}
