// Finds the EFS marker in a package and writes the id and size after it, in place.
#include "formats/efs_patch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "formats/byte_order.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/nds_format.h"

namespace pellix::formats {
namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr size_t kScanChunk = 1 << 20;  // a multiple of 4, so chunk offsets keep the alignment

// 64-bit FNV-1a, folded to the id's 32 bits at the end.
constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// Reads the whole file from its start and hashes it with `patch` in place of the bytes at
// `patchAt` (the id and size fields).
uint32_t HashWithPatch(std::FILE* file, uint64_t patchAt, const uint8_t (&patch)[8]) {
    if (std::fseek(file, 0, SEEK_SET) != 0) throw FormatError("cannot read: " + ErrnoText(errno));
    std::vector<uint8_t> buffer(kScanChunk);
    uint64_t hash = kFnvOffset;
    uint64_t at = 0;
    for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0; at += got) {
        for (size_t i = 0; i < got; ++i) {
            const uint64_t offset = at + i;
            const uint8_t byte =
                offset - patchAt < sizeof patch ? patch[offset - patchAt] : buffer[i];
            hash = (hash ^ byte) * kFnvPrime;
        }
    }
    if (std::ferror(file)) throw FormatError("cannot read: " + ErrnoText(errno));
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

std::optional<size_t> FindEfsMarker(const uint8_t* data, size_t size) {
    const size_t markerSize = sizeof nds::kEfsMarker;
    for (size_t at = 0; at + markerSize <= size; at += nds::kEfsMarkerAlign) {
        if (data[at] == nds::kEfsMarker[0] &&
            std::memcmp(data + at, nds::kEfsMarker, markerSize) == 0)
            return at;
    }
    return std::nullopt;
}

size_t PatchEfsFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw FormatError(ErrnoText(EISDIR));
    FilePtr file(std::fopen(path.c_str(), "r+b"), std::fclose);
    if (!file) throw FormatError(ErrnoText(errno));

    // Scan in chunks that overlap by the marker's length less one word, so a marker
    // across a chunk boundary is still found.
    const size_t overlap = sizeof nds::kEfsMarker - nds::kEfsMarkerAlign;
    std::vector<uint8_t> buffer(kScanChunk + overlap);
    uint64_t bufferStart = 0;  // file offset of buffer[0]
    size_t filled = 0;
    std::optional<uint64_t> marker;
    for (;;) {
        const size_t got =
            std::fread(buffer.data() + filled, 1, buffer.size() - filled, file.get());
        if (got == 0 && std::ferror(file.get()))
            throw FormatError("cannot read: " + ErrnoText(errno));
        filled += got;
        if (const auto at = FindEfsMarker(buffer.data(), filled)) {
            marker = bufferStart + *at;
            break;
        }
        if (got == 0 || filled < buffer.size()) {
            if (std::feof(file.get())) break;
            continue;
        }
        // Keep the tail, from a 4-aligned position, for the next round.
        const size_t keep = filled - kScanChunk;
        std::memmove(buffer.data(), buffer.data() + kScanChunk, keep);
        bufferStart += kScanChunk;
        filled = keep;
    }
    if (!marker) throw FormatError("no EFS section found");

    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        throw FormatError("cannot read: " + ErrnoText(errno));
    const long end = std::ftell(file.get());
    if (end < 0) throw FormatError("cannot read: " + ErrnoText(errno));
    const auto size = static_cast<uint64_t>(end);
    if (*marker + nds::kEfsSectionSize > size) throw FormatError("the EFS section is cut short");

    uint8_t patch[8] = {};
    put_u32le(patch + 4, static_cast<uint32_t>(size));
    put_u32le(patch, HashWithPatch(file.get(), *marker + nds::kEfsId, patch));
    if (std::fseek(file.get(), static_cast<long>(*marker + nds::kEfsId), SEEK_SET) != 0 ||
        std::fwrite(patch, 1, sizeof patch, file.get()) != sizeof patch ||
        std::fflush(file.get()) != 0) {
        throw FormatError("cannot write: " + ErrnoText(errno));
    }
    std::FILE* raw = file.release();
    if (std::fclose(raw) != 0) throw FormatError("cannot write: " + ErrnoText(errno));
    return static_cast<size_t>(*marker);
}

}  // namespace pellix::formats
