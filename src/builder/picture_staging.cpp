// Converts the icon and border before the programs read them.
//
// The conversion belongs to the build rather than to our ndstool or grit: the classic
// ndstool and grit, which users may put in bin in place of ours, then still get the
// 32 x 32 4-bit bitmap and the 256 x 192 bitmap they expect, and the preview window shows
// the icon through the same library function (MakeMenuIcon), so what it shows is what
// the package holds.
#include "builder/picture_staging.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "formats/border_picture.h"
#include "formats/format_error.h"
#include "formats/menu_icon.h"
#include "builder/staging_files.h"
#include "formats/picture.h"

namespace fs = std::filesystem;

namespace pellix {
namespace {

// One decode at a time: a large picture takes hundreds of megabytes while it is decoded,
// and parallel builds must not multiply that.
std::mutex g_decodeMutex;

std::vector<uint8_t> ReadPicture(const std::string& role, const std::string& path) {
    const std::string what = "cannot read the " + role + " " + path + ": ";
    std::error_code ec;
    const fs::file_status status = fs::status(files::ToPath(path), ec);
    if (!fs::exists(status)) throw std::runtime_error(what + "no such file");
    if (fs::is_directory(status)) throw std::runtime_error(what + "it is a folder");
    if (!fs::is_regular_file(status))
        throw std::runtime_error(what + "it is not a file (a pipe, socket or device)");
    std::ifstream in(files::ToPath(path), std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff length = in.tellg();
        if (length > static_cast<std::streamoff>(formats::kMaxPictureFileSize))
            throw std::runtime_error(what + "the file is larger than " +
                                     std::to_string(formats::kMaxPictureFileSize >> 20) + " MiB");
        in.seekg(0);
        if (length > 0) bytes.resize(static_cast<size_t>(length));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    if (!in) throw std::runtime_error(what + "permission denied or a read error");
    return bytes;
}

template <typename Make>
std::vector<uint8_t> Convert(const std::string& role, const PictureSource& picture, Make make) {
    const std::string& source = picture.path;
    std::vector<uint8_t> bytes = ReadPicture(role, source);
    if (!picture.chosen &&
        formats::DetectPicture(bytes.data(), bytes.size()) == formats::PictureKind::Unknown)
        return bytes;
    try {
        const std::lock_guard<std::mutex> lock(g_decodeMutex);
        auto made = make(bytes);
        if (made.converted) return std::move(made.file);
        return bytes;
    } catch (const formats::FormatError& e) {
        throw std::runtime_error("cannot use " + source + " as " + role + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("cannot use " + source + " as " + role +
                                 ": there is not enough memory to convert it");
    }
}

}  // namespace

std::shared_ptr<const StagedPictures> StagePictures(const PictureSource& icon,
                                                    const PictureSource& border) {
    auto pictures = std::make_shared<StagedPictures>();
    pictures->iconSource = icon.path;
    pictures->borderSource = border.path;
    pictures->border = StageBorder(border);
    pictures->icon = StageIcon(icon);
    return pictures;
}

std::vector<std::uint8_t> StageIcon(const PictureSource& icon) {
    return Convert("icon", icon, [](const std::vector<uint8_t>& bytes) {
        return formats::MakeMenuIcon(bytes.data(), bytes.size());
    });
}

std::vector<std::uint8_t> StageBorder(const PictureSource& border) {
    return Convert("border", border, [](const std::vector<uint8_t>& bytes) {
        return formats::MakeBorderPicture(bytes.data(), bytes.size());
    });
}

}  // namespace pellix
