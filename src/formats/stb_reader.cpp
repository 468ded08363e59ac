// Decodes PNG, JPEG and GIF files through stb_image into a Picture.
//
// stb_image sizes its buffers from what a file's header declares before it has seen the
// data, and reads past a cut-off file as if zeros followed. Each format is therefore
// walked first: every chunk, segment or block must lie within the file, and the declared
// size must be one the file's length can hold, so corrupt, truncated and enormous
// pictures are refused with a reason before any pixel memory is taken.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "formats/bmp_format.h"
#include "formats/format_error.h"
#include "formats/picture.h"

// Only these decoders are compiled in, reading from memory.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pellix::formats {
namespace {

static_assert(STBI_MAX_DIMENSIONS == bmp::kMaxDimension, "decoder and bitmap limits agree");

// Pixels a file byte can stand for, at most, in each format; pictures of up to
// kSmallPicture pixels are always decoded.
// PNG: deflate packs at most about 1032 to 1, and a 1-bit pixel is an eighth of a byte.
constexpr uint64_t kPngPixelsPerByte = 1032 * 8;
// JPEG: every 8 x 8 block of every component costs at least one bit (its DC difference,
// in baseline and progressive files alike), so a byte holds at most 8 blocks, 512 pixels.
// Twice that leaves room for sampling factors.
constexpr uint64_t kJpegPixelsPerByte = 1024;
// GIF: a 12-bit LZW code stands for at most 4096 pixels.
constexpr uint64_t kGifPixelsPerByte = 4096 / 12 * 8;
constexpr uint64_t kSmallPicture = 1 << 16;

// Frees the decoder's pixel buffer on every path out.
struct StbPixels {
    stbi_uc* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

uint32_t get_u32be(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint32_t get_u16be(const uint8_t* p) {
    return uint32_t{p[0]} << 8 | p[1];
}
uint32_t get_u16le(const uint8_t* p) {
    return uint32_t{p[1]} << 8 | p[0];
}

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Refuses a declared size that is empty, beyond the limits, or more than `fileSize`
// bytes can hold at `pixelsPerByte`. `kind` names the format in the messages.
void CheckDeclaredSize(const std::string& kind, int64_t width, int64_t height, size_t fileSize,
                       uint64_t pixelsPerByte) {
    if (width <= 0 || height <= 0)
        throw FormatError("corrupt " + kind + " picture: it is " + SizeText(width, height));
    if (width > bmp::kMaxDimension || height > bmp::kMaxDimension)
        throw FormatError(kind + " picture too large: " + SizeText(width, height));
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (pixels > static_cast<uint64_t>(fileSize) * pixelsPerByte + kSmallPicture)
        throw FormatError("corrupt " + kind + " picture: too little data for " +
                          SizeText(width, height));
    if (pixels > kMaxPicturePixels)
        throw FormatError(kind + " picture too large: " + SizeText(width, height) + ", at most " +
                          std::to_string(kMaxPicturePixels) + " pixels");
}

// Every PNG chunk up to IEND must lie within the file (signature 8 bytes; chunk: length,
// type, data, CRC). Returns the size IHDR declares and whether an image data chunk is empty.
void CheckPngChunks(const uint8_t* data, size_t size, int64_t& width, int64_t& height,
                    bool& emptyImageData) {
    constexpr size_t kSignature = 8, kChunkHead = 8, kChunkFrame = 12, kIhdrData = 13;
    size_t at = kSignature;
    if (size < kSignature + kChunkFrame + kIhdrData || std::memcmp(data + 12, "IHDR", 4) != 0)
        throw FormatError("corrupt PNG picture: it does not start with a header chunk");
    width = get_u32be(data + 16);
    height = get_u32be(data + 20);
    while (size - at >= kChunkHead) {
        const size_t length = get_u32be(data + at);
        if (size - at < kChunkFrame || length > size - at - kChunkFrame)
            throw FormatError("corrupt PNG picture: a chunk runs past the end of the file");
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return;
        if (length == 0 && std::memcmp(data + at + 4, "IDAT", 4) == 0) emptyImageData = true;
        at += kChunkFrame + length;
    }
    throw FormatError("truncated PNG picture: it ends before its end chunk");
}

// The file without its empty image data chunks. They are legal and carry nothing, but the
// decoder copies from a null buffer when the first one is empty.
std::vector<uint8_t> WithoutEmptyImageData(const uint8_t* data, size_t size) {
    constexpr size_t kSignature = 8, kChunkFrame = 12;
    std::vector<uint8_t> kept(data, data + kSignature);
    kept.reserve(size);
    size_t at = kSignature;
    while (size - at >= kChunkFrame) {  // CheckPngChunks has seen every chunk fit
        const size_t length = get_u32be(data + at);
        const bool empty = length == 0 && std::memcmp(data + at + 4, "IDAT", 4) == 0;
        if (!empty) kept.insert(kept.end(), data + at, data + at + kChunkFrame + length);
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
        at += kChunkFrame + length;
    }
    return kept;
}

// What the JPEG walk has seen of the tables a scan needs.
struct JpegTables {
    bool huffman[2][4] = {};  // [0 DC, 1 AC][table id]
    bool quantisation[4] = {};
    bool frame = false, progressive = false;
    int components = 0;
    uint8_t id[4] = {}, quantisationTable[4] = {};
};

// Notes the Huffman (DHT) or quantisation (DQT) tables a segment defines.
void NoteJpegTables(const uint8_t* segment, size_t length, bool huffman, JpegTables& t) {
    const std::string bad = "corrupt JPEG picture: a bad table segment";
    size_t at = 0;
    while (at < length) {
        const uint8_t kind = segment[at++];
        const int id = kind & 0x0F, cls = kind >> 4;
        size_t size = 0;
        if (huffman) {
            if (length - at < 16) throw FormatError(bad);
            for (size_t i = 0; i < 16; ++i) size += segment[at + i];
            size += 16;
        } else {
            size = cls == 0 ? 64 : 128;  // 8- or 16-bit entries
        }
        if (id > 3 || cls > 1 || size > length - at) throw FormatError(bad);
        if (huffman)
            t.huffman[cls][id] = true;
        else
            t.quantisation[id] = true;
        at += size;
    }
}

// Reads the frame header: the size and each component's quantisation table.
void NoteJpegFrame(const uint8_t* segment, size_t length, uint8_t marker, JpegTables& t,
                   int64_t& width, int64_t& height) {
    if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2)
        throw FormatError("unsupported JPEG picture: lossless, hierarchical or arithmetic coding");
    if (t.frame) throw FormatError("corrupt JPEG picture: a second frame header");
    if (length < 6) throw FormatError("corrupt JPEG picture: a short frame header");
    t.frame = true;
    t.progressive = marker == 0xC2;
    height = get_u16be(segment + 1);
    width = get_u16be(segment + 3);
    t.components = segment[5];
    if ((t.components != 1 && t.components != 3 && t.components != 4) ||
        length < 6 + 3 * static_cast<size_t>(t.components))
        throw FormatError("corrupt JPEG picture: a bad frame header");
    for (int c = 0; c < t.components; ++c) {
        t.id[c] = segment[6 + 3 * c];
        t.quantisationTable[c] = segment[8 + 3 * c];
        if (t.quantisationTable[c] > 3)
            throw FormatError("corrupt JPEG picture: a bad frame header");
    }
}

// A scan may only use tables defined before it: the decoder does not check, and reads its
// uninitialised memory as a table otherwise.
void CheckJpegScan(const uint8_t* segment, size_t length, const JpegTables& t) {
    const std::string bad = "corrupt JPEG picture: a bad scan header";
    if (!t.frame) throw FormatError("corrupt JPEG picture: a scan before the frame header");
    if (length < 1) throw FormatError(bad);
    const size_t count = segment[0];
    if (count < 1 || count > 4 || length < 1 + 2 * count + 3) throw FormatError(bad);
    const uint8_t spectralStart = segment[1 + 2 * count];
    const uint8_t approximationHigh = segment[3 + 2 * count] >> 4;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t component = segment[1 + 2 * i];
        const int dc = segment[2 + 2 * i] >> 4, ac = segment[2 + 2 * i] & 0x0F;
        int c = 0;
        while (c < t.components && t.id[c] != component) ++c;
        if (c == t.components) throw FormatError(bad);
        if (!t.quantisation[t.quantisationTable[c]])
            throw FormatError("corrupt JPEG picture: a quantisation table is missing");
        // Baseline scans use both tables; progressive ones the DC table in a first DC
        // scan, the AC table in AC scans.
        const bool needsDc = !t.progressive || (spectralStart == 0 && approximationHigh == 0);
        const bool needsAc = !t.progressive || spectralStart != 0;
        if ((needsDc && (dc > 3 || !t.huffman[0][dc])) ||
            (needsAc && (ac > 3 || !t.huffman[1][ac])))
            throw FormatError(
                "corrupt JPEG picture: a scan uses a Huffman table it does not define");
    }
}

// Walks the JPEG's segments and entropy-coded data up to the end-of-image marker and
// returns the size the frame header declares.
void CheckJpegSegments(const uint8_t* data, size_t size, int64_t& width, int64_t& height) {
    const std::string cut = "truncated JPEG picture: it ends before its end marker";
    width = height = -1;
    JpegTables tables;
    size_t at = 2;  // after the start-of-image marker
    for (;;) {
        if (at >= size) throw FormatError(cut);
        if (data[at] != 0xFF) throw FormatError("corrupt JPEG picture: a marker is missing");
        while (at < size && data[at] == 0xFF) ++at;  // fill bytes
        if (at >= size) throw FormatError(cut);
        const uint8_t marker = data[at++];
        if (marker == 0xD9) break;                                           // end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (size - at < 2) throw FormatError(cut);
        const size_t length = get_u16be(data + at);
        if (length < 2) throw FormatError("corrupt JPEG picture: a segment has a bad length");
        if (length > size - at) throw FormatError(cut);
        const uint8_t* segment = data + at + 2;
        const size_t content = length - 2;
        if (marker == 0xC4) {
            NoteJpegTables(segment, content, true, tables);
        } else if (marker == 0xDB) {
            NoteJpegTables(segment, content, false, tables);
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC8 && marker != 0xCC) {
            NoteJpegFrame(segment, content, marker, tables, width, height);
        } else if (marker == 0xDA) {
            CheckJpegScan(segment, content, tables);
        }
        at += length;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker other than a stuffed zero or a
            // restart marker.
            while (at + 1 < size && !(data[at] == 0xFF && data[at + 1] != 0x00 &&
                                      !(data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7)))
                ++at;
            if (at + 1 >= size) throw FormatError(cut);
        }
    }
    if (!tables.frame) throw FormatError("corrupt JPEG picture: it has no frame header");
}

// Skips GIF data sub-blocks (a length byte, then that many bytes, up to a zero length).
size_t SkipGifSubBlocks(const uint8_t* data, size_t size, size_t at, const std::string& cut) {
    for (;;) {
        if (at >= size) throw FormatError(cut);
        const size_t length = data[at++];
        if (length == 0) return at;
        if (length > size - at) throw FormatError(cut);
        at += length;
    }
}

// Walks the GIF's blocks up to the end of its first image and returns the screen size,
// which is the size stb_image decodes at.
void CheckGifBlocks(const uint8_t* data, size_t size, int64_t& width, int64_t& height) {
    const std::string cut = "truncated GIF picture: it ends inside its first image";
    constexpr size_t kScreenEnd = 13;  // signature 6, screen descriptor 7
    if (size < kScreenEnd) throw FormatError(cut);
    // The decoder guesses the kind from the bytes, so anything else would reach its JPEG or
    // PNG decoder without the walk of that kind.
    if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)
        throw FormatError("not a GIF picture");
    width = get_u16le(data + 6);
    height = get_u16le(data + 8);
    size_t at = kScreenEnd;
    const uint8_t flags = data[10];
    if (flags & 0x80) at += 3 * (size_t{2} << (flags & 7));  // global colour table
    for (;;) {
        if (at >= size) throw FormatError(cut);
        const uint8_t block = data[at++];
        if (block == 0x21) {  // extension: label, then sub-blocks
            at = SkipGifSubBlocks(data, size, at + 1, cut);
        } else if (block == 0x2C) {  // image: descriptor, local colour table, LZW data
            constexpr size_t kDescriptor = 9;
            if (size - at < kDescriptor + 1) throw FormatError(cut);
            const uint8_t imageFlags = data[at + 8];
            const int64_t left = get_u16le(data + at), top = get_u16le(data + at + 2);
            const int64_t frameWidth = get_u16le(data + at + 4);
            const int64_t frameHeight = get_u16le(data + at + 6);
            if (frameWidth == 0 || frameHeight == 0 || left + frameWidth > width ||
                top + frameHeight > height)
                throw FormatError("corrupt GIF picture: its first image lies outside the screen");
            at += kDescriptor;
            if (imageFlags & 0x80) at += 3 * (size_t{2} << (imageFlags & 7));
            SkipGifSubBlocks(data, size, at + 1, cut);  // after the LZW code size
            return;
        } else if (block == 0x3B) {
            throw FormatError("corrupt GIF picture: it holds no image");
        } else {
            throw FormatError("corrupt GIF picture: an unknown block");
        }
    }
}

std::string Failure(const std::string& kind) {
    const char* why = stbi_failure_reason();
    return "corrupt " + kind + " picture: " + (why != nullptr ? why : "cannot decode");
}

// Decodes with stb_image into RGBA and keeps alpha only where some pixel is not opaque.
Picture Decode(const std::string& kind, const uint8_t* data, size_t size, int64_t width,
               int64_t height, int bitsPerPixel) {
    int w = 0, h = 0, channels = 0;
    StbPixels pixels;
    pixels.data = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (pixels.data == nullptr) throw FormatError(Failure(kind));
    if (w != width || h != height)  // the walk and the decoder read the same header
        throw FormatError("corrupt " + kind + " picture: its size is not what it declares");

    Picture picture;
    picture.width = w;
    picture.height = h;
    picture.bitsPerPixel = bitsPerPixel > 0 ? bitsPerPixel : channels * 8;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    picture.pixels.resize(count);
    bool opaque = true;
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = pixels.data + 4 * i;
        picture.pixels[i] = {p[0], p[1], p[2]};
        opaque = opaque && p[3] == 255;
    }
    if (!opaque) {
        picture.alpha.resize(count);
        for (size_t i = 0; i < count; ++i) picture.alpha[i] = pixels.data[4 * i + 3];
    }
    return picture;
}

void CheckLength(const std::string& kind, size_t size) {
    if (size > static_cast<size_t>(INT_MAX)) throw FormatError(kind + " picture too large");
}

}  // namespace

Picture ReadPng(const uint8_t* data, size_t size) {
    CheckLength("PNG", size);
    int64_t width = 0, height = 0;
    bool emptyImageData = false;
    CheckPngChunks(data, size, width, height, emptyImageData);
    // The header's size first: the decoder does not know a PNG beyond its side limit and
    // would call it an unknown image type.
    CheckDeclaredSize("PNG", width, height, size, kPngPixelsPerByte);
    std::vector<uint8_t> cleaned;
    if (emptyImageData) {
        cleaned = WithoutEmptyImageData(data, size);
        data = cleaned.data();
        size = cleaned.size();
    }
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels))
        throw FormatError(Failure("PNG"));
    CheckDeclaredSize("PNG", w, h, size, kPngPixelsPerByte);
    // What the file holds: grey, grey and alpha, RGB, RGBA.
    return Decode("PNG", data, size, w, h, channels * 8);
}

Picture ReadJpeg(const uint8_t* data, size_t size) {
    CheckLength("JPEG", size);
    int64_t width = 0, height = 0;
    CheckJpegSegments(data, size, width, height);
    CheckDeclaredSize("JPEG", width, height, size, kJpegPixelsPerByte);
    return Decode("JPEG", data, size, width, height, 24);
}

Picture ReadGif(const uint8_t* data, size_t size) {
    CheckLength("GIF", size);
    int64_t width = 0, height = 0;
    CheckGifBlocks(data, size, width, height);
    CheckDeclaredSize("GIF", width, height, size, kGifPixelsPerByte);
    return Decode("GIF", data, size, width, height, 8);
}

}  // namespace pellix::formats
