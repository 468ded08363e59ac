// Pairing by name: a ROM's pictures found in folders, its title found in a list.
#include "builder/rom_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "builder/build_paths.h"
#include "builder/staging_files.h"

namespace fs = std::filesystem;

namespace pellix {

namespace {

// The picture extensions, in the order that decides between two pictures of one name.
constexpr const char* kPictureExtensions[] = {".png", ".bmp", ".jpg", ".jpeg", ".gif"};

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text;
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string RomName(const std::string& romPath) {
    return files::BaseName(romPath, ".gba");
}

std::string NameKey(const std::string& name) {
    return paths::kIgnoreCase ? AsciiLower(name) : name;
}

void PictureFinder::AddFolder(const std::string& folder) {
    const fs::path root = files::ToPath(folder);
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec),
        end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string sub =
            it->path().parent_path().lexically_relative(root).generic_u8string();
        Add(sub == "." ? "" : sub, fs::absolute(it->path(), ec).u8string());
    }
    if (ec)
        throw std::runtime_error("cannot read the folder " + folder + ": " +
                                 files::ErrorReason(ec));
}

void PictureFinder::AddFile(const std::string& path) {
    std::error_code ec;
    Add("", fs::absolute(files::ToPath(path), ec).u8string());
}

void PictureFinder::Add(const std::string& subfolder, const std::string& path) {
    const std::string fileName = files::BaseName(path, "");
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return;
    const std::string extension = AsciiLower(fileName.substr(dot));
    const auto known = std::find_if(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                                    [&](const char* e) { return extension == e; });
    if (known == std::end(kPictureExtensions)) return;
    const int rank = static_cast<int>(known - std::begin(kPictureExtensions));
    const std::string key = NameKey(subfolder) + "/" + NameKey(fileName.substr(0, dot));
    const auto [at, fresh] = byName_.emplace(key, std::make_pair(rank, path));
    if (!fresh && rank < at->second.first) at->second = {rank, path};
}

std::string PictureFinder::Find(const std::string& romPath, const std::string& subfolder) const {
    const std::string name = NameKey(RomName(romPath));
    for (const std::string& sub : {subfolder, std::string()}) {
        const auto found = byName_.find(NameKey(sub) + "/" + name);
        if (found != byName_.end()) return found->second.second;
        if (sub.empty()) break;
    }
    return "";
}

std::string TitleLinesProblem(const std::string titles[3]) {
    const int last = !IsBlank(titles[2]) ? 2 : !IsBlank(titles[1]) ? 1 : 0;
    for (int i = 1; i < last; ++i)
        if (IsBlank(titles[i]))
            return "line " + std::to_string(i + 1) +
                   " is blank, and a package shows no line after a blank one";
    return "";
}

std::vector<TitleEntry> ParseTitleList(const std::string& text) {
    std::vector<TitleEntry> list;
    std::map<std::string, int> seen;
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int number = 1; start <= text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (IsBlank(line)) continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!IsUtf8(line)) throw TitleListError(where + "the text is not UTF-8");
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        TitleEntry entry;
        entry.line = number;
        entry.name = files::BaseName(fields[0], ".gba");
        if (IsBlank(entry.name)) throw TitleListError(where + "no ROM name before the first tab");
        if (fields.size() < 2) throw TitleListError(where + entry.name + " has no title");
        if (fields.size() > 4)
            throw TitleListError(where + entry.name + " has " + std::to_string(fields.size() - 1) +
                                 " title lines; a package shows at most 3");
        for (std::size_t i = 1; i < fields.size(); ++i) {
            // Spaces alone would vanish without a word; only an empty line 1 asks for the name.
            if (!fields[i].empty() && IsBlank(fields[i]))
                throw TitleListError(where + entry.name + ": title line " + std::to_string(i) +
                                     " holds nothing but spaces");
            entry.titles[i - 1] = fields[i];
        }
        const std::string problem = TitleLinesProblem(entry.titles);
        if (!problem.empty()) throw TitleListError(where + entry.name + ": title " + problem);
        const auto [known, fresh] = seen.emplace(NameKey(entry.name), number);
        if (!fresh)
            throw TitleListError(where + entry.name + " is listed already, on line " +
                                 std::to_string(known->second));
        list.push_back(entry);
    }
    return list;
}

const TitleEntry* FindTitle(const std::vector<TitleEntry>& list, const std::string& romPath) {
    const std::string name = NameKey(RomName(romPath));
    for (const TitleEntry& entry : list)
        if (NameKey(entry.name) == name) return &entry;
    return nullptr;
}

}  // namespace pellix
