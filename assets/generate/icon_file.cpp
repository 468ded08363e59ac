// Writes a Windows icon file (.ico) with 32-bit images whose alpha comes from the canvas.
#include "icon_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace artwork {

namespace {

std::uint8_t Channel(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, unsigned value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Bytes of one AND-mask row: one bit a pixel, rows padded to whole 32-bit words.
std::size_t MaskStride(int size) {
    return static_cast<std::size_t>((size + 31) / 32 * 4);
}

// The DIB of one icon entry: header (height doubled for the mask), bottom-up colour rows,
// then the bottom-up AND mask.
std::vector<std::uint8_t> EntryBytes(const IconImage& image) {
    const int n = image.size;
    std::vector<std::uint8_t> out;
    Put32(out, 40);                            // biSize
    Put32(out, static_cast<unsigned>(n));      // biWidth
    Put32(out, static_cast<unsigned>(2 * n));  // biHeight: colour and mask rows together
    Put16(out, 1);                             // biPlanes
    Put16(out, 32);                            // biBitCount
    Put32(out, 0);                             // biCompression: BI_RGB
    Put32(out, 0);                             // biSizeImage: may be 0 for BI_RGB
    Put32(out, 0);                             // biXPelsPerMeter
    Put32(out, 0);                             // biYPelsPerMeter
    Put32(out, 0);                             // biClrUsed
    Put32(out, 0);                             // biClrImportant
    for (int y = n - 1; y >= 0; --y) {
        const auto row = image.bgra.begin() + static_cast<std::ptrdiff_t>(y) * n * 4;
        out.insert(out.end(), row, row + n * 4);
    }
    const std::size_t stride = MaskStride(n);
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < n; ++x) {
            const std::uint8_t alpha = image.bgra[(static_cast<std::size_t>(y) * n + x) * 4 + 3];
            if (alpha < 128)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

IconImage ToIconImage(const Canvas& canvas, Colour background) {
    if (canvas.width() != canvas.height())
        throw std::invalid_argument("an icon image must be square");
    IconImage image;
    image.size = canvas.width();
    image.bgra.reserve(static_cast<std::size_t>(image.size) * image.size * 4);
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size; ++x) {
            const double a = canvas.coverage(x, y);
            Colour c = canvas.at(x, y);
            if (a > 0.0 && a < 1.0) {
                // at() is the painted colour mixed over the background by coverage.
                c = {(c.r - (1 - a) * background.r) / a, (c.g - (1 - a) * background.g) / a,
                     (c.b - (1 - a) * background.b) / a};
            }
            image.bgra.push_back(Channel(c.b));
            image.bgra.push_back(Channel(c.g));
            image.bgra.push_back(Channel(c.r));
            image.bgra.push_back(Channel(a * 255.0));
        }
    }
    return image;
}

std::vector<std::uint8_t> IconFileBytes(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::vector<std::vector<std::uint8_t>> entries;
    for (const IconImage& image : images) entries.push_back(EntryBytes(image));
    unsigned offset = static_cast<unsigned>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int n = images[i].size;
        out.push_back(static_cast<std::uint8_t>(n >= 256 ? 0 : n));  // width (0 means 256)
        out.push_back(static_cast<std::uint8_t>(n >= 256 ? 0 : n));  // height
        out.push_back(0);                                            // colours: not paletted
        out.push_back(0);                                            // reserved
        Put16(out, 1);                                               // planes
        Put16(out, 32);                                              // bits per pixel
        Put32(out, static_cast<unsigned>(entries[i].size()));        // bytes of the entry
        Put32(out, offset);                                          // where it starts
        offset += static_cast<unsigned>(entries[i].size());
    }
    for (const auto& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
    return out;
}

void WriteIconFile(const std::string& path, const std::vector<IconImage>& images) {
    const std::vector<std::uint8_t> bytes = IconFileBytes(images);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace artwork
