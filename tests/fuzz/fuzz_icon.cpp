// Feeds arbitrary bytes of any picture kind to the icon and border conversions; whatever
// they accept must be a DS icon of at most 16 colours and a 256 x 192 border bitmap.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/banner.h"
#include "formats/border_picture.h"
#include "formats/format_error.h"
#include "formats/menu_icon.h"
#include "formats/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pellix::formats;
    try {
        const MenuIcon icon = MakeMenuIcon(data, size);
        const Picture back = ReadBitmap(icon.file.data(), icon.file.size());
        CheckIcon(back);  // throws, and so aborts below, when ndstool would refuse it
        if (back.indices != icon.picture.indices) std::abort();
        if (icon.converted && (back.bitsPerPixel != 4 || back.palette.size() != 16)) std::abort();
        (void)MakeBanner(back, "Fuzz");
        (void)MenuIconRgba(icon.picture);
    } catch (const FormatError& e) {
        if (std::string(e.what()).rfind("the icon", 0) == 0) std::abort();
    }
    try {
        const BorderPicture border = MakeBorderPicture(data, size);
        const Picture back = ReadPicture(border.file.data(), border.file.size());
        if (back.width != kBorderWidth || back.height != kBorderHeight) std::abort();
    } catch (const FormatError&) {
    }
    return 0;
}
