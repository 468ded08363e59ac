// The inputs digest, the stamp written into each package and the judgement of one found.
//
// Why a digest in the package rather than a rebuild compared byte for byte: rebuilding a
// collection of hundreds of ROMs to find that nothing changed takes as long as building
// it, while reading the inputs and the package once takes a fraction of a second per
// hundred. The stamp lies after the last byte the DS reads, so the DS never sees it, and
// its own digest of the package tells a package changed by hand from one a build made.
#include "builder/package_record.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "builder/staging_files.h"
#include "formats/content_digest.h"
#include "formats/package_stamp.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr const char kScheme[] = "pellix package inputs 1";

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    const int error = errno != 0 ? errno : EIO;
    throw files::FileError(what + " " + path, files::ErrorReason(error));
}

// Feeds the whole file at `path` to `digest`, or its first `limit` bytes.
void AddFile(formats::ContentDigest& digest, const std::string& path,
             std::uint64_t limit = UINT64_MAX) {
    errno = 0;
    std::ifstream in(files::ToPath(path), std::ios::binary);
    if (!in) Fail("cannot read", path);
    std::vector<char> buffer(kChunk);
    while (limit > 0) {
        in.read(buffer.data(),
                static_cast<std::streamsize>(std::min<std::uint64_t>(kChunk, limit)));
        const auto got = static_cast<std::size_t>(in.gcount());
        digest.Add(buffer.data(), got);
        limit -= got;
        if (!in) break;
    }
    if (in.bad()) Fail("cannot read", path);
}

std::uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(files::ToPath(path), ec);
    if (ec) throw files::FileError("cannot read " + path, files::ErrorReason(ec));
    return size;
}

}  // namespace

std::uint64_t StagedFilesDigest(const std::string& workFolder) {
    const fs::path root = files::ToPath(workFolder);
    std::vector<std::string> names = {"7.bin", "9.bin"};
    std::error_code ec;
    std::vector<std::string> data;
    for (fs::recursive_directory_iterator it(root / "data", ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file(ec))
            data.push_back(it->path().lexically_relative(root).generic_u8string());
    if (ec)
        throw files::FileError("cannot read " + (root / "data").u8string(), files::ErrorReason(ec));
    std::sort(data.begin(), data.end());
    names.insert(names.end(), data.begin(), data.end());
    formats::ContentDigest digest;
    for (const std::string& name : names) {
        const std::string path = (root / files::ToPath(name)).u8string();
        digest.AddText(name);
        digest.AddNumber(FileSize(path));
        AddFile(digest, path);
    }
    return digest.Value();
}

std::uint64_t InputsDigest(const PackageInputs& inputs) {
    formats::ContentDigest digest;
    digest.AddText(kScheme);
    digest.AddNumber(inputs.stagedFiles);
    for (const std::string* file : {&inputs.rom, &inputs.icon, &inputs.border}) {
        digest.AddNumber(FileSize(*file));
        AddFile(digest, *file);
    }
    if (inputs.compression)
        digest.AddNumber(static_cast<std::uint64_t>(os::Inspect(inputs.rom).mtime));
    digest.AddNumber(inputs.titleLines.size());
    for (const std::string& line : inputs.titleLines) digest.AddText(line);
    digest.AddNumber((inputs.psram ? 1 : 0) | (inputs.compression ? 2 : 0));
    return digest.Value();
}

void AppendStamp(const std::string& package, std::uint64_t inputs) {
    const auto stamp = formats::EncodeStamp({inputs, 0});
    errno = 0;
    std::ofstream out(files::ToPath(package), std::ios::binary | std::ios::app);
    if (!out) Fail("cannot open", package);
    out.write(reinterpret_cast<const char*>(stamp.data()),
              static_cast<std::streamsize>(stamp.size()));
    out.close();
    if (!out) Fail("cannot write", package);
}

void SealStamp(const std::string& package) {
    const std::uint64_t size = FileSize(package);
    if (size < formats::kStampSize)
        throw files::FileError("cannot seal " + package, "it holds no stamp");
    formats::ContentDigest digest;
    AddFile(digest, package, size - (formats::kStampSize - formats::kStampPackageAt));
    const auto bytes = formats::EncodeStamp({0, digest.Value()});
    errno = 0;
    std::fstream file(files::ToPath(package), std::ios::binary | std::ios::in | std::ios::out);
    if (!file) Fail("cannot open", package);
    file.seekp(
        static_cast<std::streamoff>(size - (formats::kStampSize - formats::kStampPackageAt)));
    file.write(reinterpret_cast<const char*>(bytes.data() + formats::kStampPackageAt),
               static_cast<std::streamsize>(formats::kStampSize - formats::kStampPackageAt));
    file.close();
    if (!file) Fail("cannot write", package);
}

PackageState JudgePackage(const std::string& package, std::uint64_t inputs) {
    const std::uint64_t size = FileSize(package);
    if (size < formats::kStampSize) return PackageState::ChangedByHand;
    std::vector<std::uint8_t> tail(formats::kStampSize);
    {
        errno = 0;
        std::ifstream in(files::ToPath(package), std::ios::binary);
        if (!in) Fail("cannot read", package);
        in.seekg(static_cast<std::streamoff>(size - formats::kStampSize));
        in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
        if (!in) Fail("cannot read", package);
    }
    const auto stamp = formats::DecodeStamp(tail.data(), tail.size());
    if (!stamp) return PackageState::ChangedByHand;
    formats::ContentDigest digest;
    AddFile(digest, package, size - (formats::kStampSize - formats::kStampPackageAt));
    if (digest.Value() != stamp->package) return PackageState::ChangedByHand;
    return stamp->inputs == inputs ? PackageState::Current : PackageState::Stale;
}

}  // namespace pellix
