// The path rules shared by every build and batch.
#include "builder/build_paths.h"

#include <cctype>
#include <system_error>

#include "builder/ds_inputs.h"
#include "builder/staging_files.h"
#include "system/atomic_file.h"

namespace fs = std::filesystem;

namespace pellix::paths {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && !(kIgnoreCase && std::tolower(x) == std::tolower(y))) return false;
    }
    return true;
}

}  // namespace

bool IsBuildDataName(const std::string& name) {
    for (const char* own : kBuildDataNames)
        if (SameName(name, own)) return true;
    return false;
}

bool IsBuildLeftover(const std::string& name) {
    if (os::IsTemporaryName(name)) return true;
    // Our other writers name a temporary file as its final name, a dot, eight hex digits
    // and ".tmp".
    constexpr std::size_t kTag = 13;  // ".1a2b3c4d.tmp"
    if (name.size() <= kTag || name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
    if (name[name.size() - kTag] != '.') return false;
    for (std::size_t i = name.size() - kTag + 1; i < name.size() - 4; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return IsBuildDataName(name.substr(0, name.size() - kTag));
}

fs::path Absolute(const std::string& path, const fs::path& base) {
    fs::path p = files::ToPath(path);
    if (p.is_relative()) p = base / p;
    return p;
}

std::string FileKey(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = path.is_relative() ? fs::absolute(path, ec) : path;
    if (ec) absolute = path;
    fs::path canon = fs::weakly_canonical(absolute, ec);
    if (ec) canon = absolute.lexically_normal();
    std::string key = canon.u8string();
    while (key.size() > 1 && IsSeparator(key.back())) key.pop_back();
    if (kIgnoreCase)
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    const std::string in = FileKey(inner);
    const std::string out = FileKey(outer);
    if (in == out) return true;
    return in.size() > out.size() && in.compare(0, out.size(), out) == 0 &&
           (IsSeparator(in[out.size()]) || IsSeparator(out.back()));
}

std::string WithSeparator(const std::string& folder) {
    if (folder.empty() || IsSeparator(folder.back())) return folder;
    return folder + kSeparator;
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

std::string OutputPath(const std::string& outputFolder, const std::string& romPath) {
    return WithSeparator(outputFolder) + files::BaseName(romPath, ".gba") + ".nds";
}

std::string OutputProblem(const std::string& appDir, const std::string& output,
                          bool outputFolderGiven) {
    const fs::path bin = files::ToPath(appDir) / "bin";
    const fs::path out = files::ToPath(output);
    const std::string user = UserFolder();
    for (const fs::path& data : {bin / "data", files::ToPath(user) / "data"}) {
        if ((data != bin / "data" && user.empty()) || !IsInside(out, data)) continue;
        return "the output file " + output + " is in the staging folder " + data.u8string() +
               ", whose whole content goes into every package. Choose a folder outside it.";
    }
    if (outputFolderGiven && IsInside(out, bin)) {
        return "the output file " + output + " is in the installation's folder " + bin.u8string() +
               ", which holds its programs. Choose a folder outside it.";
    }
    return "";
}

}  // namespace pellix::paths
