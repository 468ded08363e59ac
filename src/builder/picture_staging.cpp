// Converts the staged icon and border after they are copied into bin and before the
// programs read them.
//
// The conversion belongs to the build rather than to our ndstool or grit: the classic
// ndstool and grit, which users may put in bin in place of ours, then still get the
// 32 x 32 4-bit bitmap and the 256 x 192 bitmap they expect, and the preview window shows
// the icon through the same library function (MakeMenuIcon), so what it shows is what
// the package holds.
#include "picture_staging.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "border_picture.h"
#include "format_error.h"
#include "menu_icon.h"
#include "modio.h"
#include "picture.h"

namespace pellix {
namespace {

std::vector<uint8_t> ReadStaged(const std::string& staged) {
    std::ifstream in(modIO::ToPath(staged), std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff length = in.tellg();
        if (length > static_cast<std::streamoff>(formats::kMaxPictureFileSize))
            throw std::runtime_error("cannot read " + staged + ": the file is larger than " +
                                     std::to_string(formats::kMaxPictureFileSize >> 20) + " MiB");
        in.seekg(0);
        if (length > 0) bytes.resize(static_cast<size_t>(length));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    if (!in) throw std::runtime_error("cannot read " + staged + ".");
    return bytes;
}

void WriteStaged(const std::string& staged, const std::vector<uint8_t>& bytes) {
    std::ofstream out(modIO::ToPath(staged), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + staged + ".");
}

template <typename Make>
void ConvertStaged(const std::string& role, const std::string& source, const std::string& staged,
                   Make make) {
    const std::vector<uint8_t> bytes = ReadStaged(staged);
    if (formats::DetectPicture(bytes.data(), bytes.size()) == formats::PictureKind::Unknown) return;
    try {
        const auto made = make(bytes);
        if (made.converted) WriteStaged(staged, made.file);
    } catch (const formats::FormatError& e) {
        throw std::runtime_error("cannot use " + source + " as " + role + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("cannot use " + source + " as " + role +
                                 ": there is not enough memory to convert it");
    }
}

}  // namespace

void ConvertStagedIcon(const std::string& source, const std::string& staged) {
    ConvertStaged("icon", source, staged, [](const std::vector<uint8_t>& bytes) {
        return formats::MakeMenuIcon(bytes.data(), bytes.size());
    });
}

void ConvertStagedBorder(const std::string& source, const std::string& staged) {
    ConvertStaged("border", source, staged, [](const std::vector<uint8_t>& bytes) {
        return formats::MakeBorderPicture(bytes.data(), bytes.size());
    });
}

}  // namespace pellix
