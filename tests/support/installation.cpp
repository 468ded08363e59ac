// A Pellix installation laid out in a scratch folder.
#include "installation.h"

#include "program.h"

namespace fs = std::filesystem;

namespace pellix::testing {

void MakeInstallation(const fs::path& root, const Programs& p) {
    fs::create_directories(root / "bin" / "data");
    fs::create_directories(root / "gfx");
    const auto copy = [](const std::string& from, const fs::path& to) {
        fs::copy_file(fs::u8path(from), to, fs::copy_options::overwrite_existing);
    };
    copy(p.cli, root / ProgramName("pellix-cli"));
    copy(p.grit, root / "bin" / ProgramName("grit"));
    copy(p.gbacrusher, root / "bin" / ProgramName("gbacrusher"));
    copy(p.ndstool, root / "bin" / ProgramName("ndstool"));
    copy(p.efs, root / "bin" / ProgramName("efs"));
    copy(p.gzip, root / "bin" / ProgramName("gzip"));
    for (const char* image : {"7.bin", "9.bin"})
        fs::copy_file(fs::u8path(p.standinDir) / image, root / "bin" / image,
                      fs::copy_options::overwrite_existing);
    for (const char* picture : {"icon.bmp", "border.bmp"})
        fs::copy_file(fs::u8path(p.gfxDir) / picture, root / "gfx" / picture,
                      fs::copy_options::overwrite_existing);
}

}  // namespace pellix::testing
