// What choosing a ROM proposes: output folder, title line 1 and whether PSRAM is offered.
#include "builder/rom_choice.h"

#include "builder/staging_files.h"

namespace pellix {

const char kRomTooLarge[] = "This ROM is larger than 16MB. PSRAM will be disabled.";

RomChoice ChooseRom(const std::string& romPath) {
    RomChoice choice;
    choice.romPath = romPath;
    const std::string fileName = files::BaseName(romPath, "");
    choice.outputFolder = romPath.substr(0, romPath.size() - fileName.size());
    choice.title1 = files::BaseName(romPath, ".gba");
    choice.size = files::FileSizeOrZero(romPath);
    choice.psramAllowed = choice.size <= kPsramLimit;
    return choice;
}

}  // namespace pellix
