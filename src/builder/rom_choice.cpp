// What choosing a ROM proposes: output folder, title line 1 and whether PSRAM is offered.
#include "builder/rom_choice.h"

#include "builder/build_checks.h"
#include "builder/staging_files.h"
#include "formats/banner.h"

namespace pellix {

const char kRomTooLarge[] = "This ROM is larger than 16MB. PSRAM will be disabled.";

RomChoice ChooseRom(const std::string& romPath) {
    RomChoice choice;
    choice.romPath = romPath;
    const std::string fileName = files::BaseName(romPath, "");
    choice.outputFolder = romPath.substr(0, romPath.size() - fileName.size());
    // A name is no typed title: what the banner cannot show of it is made readable or cut.
    choice.name = formats::ReadableText(files::BaseName(romPath, ".gba"));
    choice.title1 = formats::CutToUnits(choice.name, kTitleRoom);
    choice.size = files::FileSizeOrZero(romPath);
    choice.psramAllowed = choice.size <= kPsramLimit;
    return choice;
}

}  // namespace pellix
