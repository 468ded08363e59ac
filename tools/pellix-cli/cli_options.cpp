// The command line of pellix-cli: parsing, the checks of named files, the usage text.
#include "cli_options.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "system/platform.h"
#include "builder/staging_files.h"

namespace fs = std::filesystem;

namespace pellix::app {

namespace {

enum class Opt {
    Output,
    Title,
    Icon,
    Border,
    Icons,
    Borders,
    Titles,
    Jobs,
    NoPsram,
    NoCompression,
    Force,
    FitTitles,
    Recursive,
    Update,
    Quiet,
    Help,
    Version
};

struct OptionRule {
    const char* shortName;  // "" when there is none
    const char* longName;
    Opt opt;
    const char* value;  // what the value is, for "needs a ..."; nullptr for a switch
};

constexpr OptionRule kOptions[] = {
    {"-o", "--output", Opt::Output, "folder"},
    {"", "--title", Opt::Title, "title text"},
    {"", "--icon", Opt::Icon, "file"},
    {"", "--border", Opt::Border, "file"},
    {"", "--icons", Opt::Icons, "folder"},
    {"", "--borders", Opt::Borders, "folder"},
    {"", "--titles", Opt::Titles, "file"},
    {"-j", "--jobs", Opt::Jobs, "number"},
    {"", "--no-psram", Opt::NoPsram, nullptr},
    {"", "--no-compression", Opt::NoCompression, nullptr},
    {"", "--force", Opt::Force, nullptr},
    {"", "--fit-titles", Opt::FitTitles, nullptr},
    {"-r", "--recursive", Opt::Recursive, nullptr},
    {"-u", "--update", Opt::Update, nullptr},
    {"-q", "--quiet", Opt::Quiet, nullptr},
    {"-h", "--help", Opt::Help, nullptr},
    {"", "--version", Opt::Version, nullptr},
};

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

int ParseJobs(const std::string& name, const std::string& value) {
    const std::string wrong =
        name + " needs a number from 1 to " + std::to_string(kMaxJobs) + ", not '" + value + "'";
    if (value.empty() || value.size() > 4 ||
        value.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError(wrong);
    const int jobs = std::stoi(value);
    if (jobs < 1 || jobs > kMaxJobs) throw UsageError(wrong);
    return jobs;
}

void SplitTitle(const std::string& name, const std::string& text, CliOptions& options) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(';', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // A ';' that ends the text ends its last line and starts none: "a;" is "a", and
    // "a;b;c;" three lines.
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    if (lines.size() > 3)
        throw UsageError(name + " has " + std::to_string(lines.size()) +
                         " lines; a package shows at most 3");
    // A line of spaces alone would vanish without a word (or, as line 1, give way to
    // the ROM's name); only an empty line 1 asks for the name.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].find_first_not_of(' ') == std::string::npos)
            throw UsageError(name + ": line " + std::to_string(i + 1) +
                             " holds nothing but spaces" +
                             (i == 0 ? "; leave it empty for each ROM's name" : ""));
    }
    // The banner ends at its first empty line, so an empty line before one with text
    // would lose that text without a word.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (lines[i].empty())
            throw UsageError(name + ": line " + std::to_string(i + 1) +
                             " is blank, and a package shows no line after a blank one");
    }
    options.titleGiven = true;
    for (std::size_t i = 0; i < 3; ++i) options.titles[i] = i < lines.size() ? lines[i] : "";
}

void Apply(const OptionRule& rule, const std::string& name, const std::string& value,
           CliOptions& options) {
    if (rule.value && value.empty()) throw UsageError(name + " needs a " + rule.value);
    switch (rule.opt) {
        case Opt::Output:
            options.outputFolder = value;
            break;
        case Opt::Title:
            SplitTitle(name, value, options);
            break;
        case Opt::Icon:
            options.icon = value;
            break;
        case Opt::Border:
            options.border = value;
            break;
        case Opt::Icons:
            options.iconFolder = value;
            break;
        case Opt::Borders:
            options.borderFolder = value;
            break;
        case Opt::Titles:
            options.titleList = value;
            break;
        case Opt::Jobs:
            options.jobs = ParseJobs(name, value);
            break;
        case Opt::NoPsram:
            options.psram = false;
            break;
        case Opt::NoCompression:
            options.compression = false;
            break;
        case Opt::Force:
            options.force = true;
            break;
        case Opt::FitTitles:
            options.fitTitles = true;
            break;
        case Opt::Recursive:
            options.recursive = true;
            break;
        case Opt::Update:
            options.update = true;
            break;
        case Opt::Quiet:
            options.quiet = true;
            break;
        case Opt::Help:
            options.help = true;
            break;
        case Opt::Version:
            options.version = true;
            break;
    }
}

// What `path` is, for a message: "" when it is a readable file (or a folder and `folder`).
std::string Problem(const std::string& path, bool folder) {
    std::error_code ec;
    const fs::file_status status = fs::status(files::ToPath(path), ec);
    if (!fs::exists(status)) return folder ? "no such folder" : "no such file";
    if (folder) return fs::is_directory(status) ? "" : "not a folder";
    if (fs::is_directory(status)) return "it is a folder";
    if (!fs::is_regular_file(status)) return "not a file";
    std::ifstream file(files::ToPath(path), std::ios::binary);
    if (!file) return "cannot be read";
    return "";
}

}  // namespace

CliOptions ParseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.roms.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionRule* rule = nullptr;
        std::string name = arg;
        std::string value;
        bool joined = false;
        for (const OptionRule& candidate : kOptions) {
            const std::string longName = candidate.longName;
            const std::string shortName = candidate.shortName;
            if (arg == longName || arg == shortName) {
                rule = &candidate;
            } else if (StartsWith(arg, longName + "=")) {
                rule = &candidate;
                name = longName;
                value = arg.substr(longName.size() + 1);
                joined = true;
            } else if (!shortName.empty() && candidate.value && StartsWith(arg, shortName) &&
                       arg[1] != '-') {
                rule = &candidate;
                name = shortName;
                value = arg.substr(shortName.size());
                joined = true;
            }
            if (rule) break;
        }
        if (!rule) throw UsageError("unknown option " + arg);
        if (!rule->value && joined) throw UsageError(name + " takes no value");
        if (rule->value && !joined) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a " + rule->value);
            value = args[++i];
        }
        Apply(*rule, name, value, options);
    }
    if (options.roms.empty() && !options.help && !options.version) throw UsageError("no ROM given");
    return options;
}

void CheckNamedFiles(const CliOptions& options) {
    const std::pair<const char*, const std::string*> folders[] = {
        {"--output", &options.outputFolder},
        {"--icons", &options.iconFolder},
        {"--borders", &options.borderFolder}};
    for (const auto& [name, path] : folders) {
        if (path->empty()) continue;
        const std::string problem = Problem(*path, true);
        if (!problem.empty()) throw UsageError(std::string(name) + ": " + problem + ": " + *path);
    }
    const std::pair<const char*, const std::string*> files[] = {{"--icon", &options.icon},
                                                                {"--border", &options.border},
                                                                {"--titles", &options.titleList}};
    for (const auto& [name, path] : files) {
        if (path->empty()) continue;
        const std::string problem = Problem(*path, false);
        if (!problem.empty()) throw UsageError(std::string(name) + ": " + problem + ": " + *path);
    }
}

BatchSettings ToBatchSettings(const CliOptions& options) {
    const auto absolute = [](const std::string& path) {
        if (path.empty()) return path;
        std::error_code ec;
        const fs::path full = fs::absolute(files::ToPath(path), ec);
        return ec ? path : full.lexically_normal().u8string();
    };
    BatchSettings settings;
    settings.outputFolder = absolute(options.outputFolder);
    settings.titleGiven = options.titleGiven;
    for (int i = 0; i < 3; ++i) settings.titles[i] = options.titles[i];
    settings.icon = absolute(options.icon);
    settings.border = absolute(options.border);
    try {
        if (!options.iconFolder.empty()) settings.icons.AddFolder(absolute(options.iconFolder));
        if (!options.borderFolder.empty())
            settings.borders.AddFolder(absolute(options.borderFolder));
    } catch (const std::runtime_error& e) {
        throw UsageError(e.what());
    }
    if (!options.titleList.empty()) {
        std::ifstream in(files::ToPath(options.titleList), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) throw UsageError("--titles: cannot be read: " + options.titleList);
        try {
            settings.titleList = ParseTitleList(text);
        } catch (const TitleListError& e) {
            throw UsageError("--titles: " + options.titleList + ", " + e.what());
        }
    }
    settings.psram = options.psram;
    settings.compression = options.compression;
    settings.force = options.force;
    settings.fitTitles = options.fitTitles;
    settings.update = options.update;
    return settings;
}

std::string UsageText(int defaultJobs) {
    // Paths and the program's name as this platform writes them.
    const std::string program = std::string("pellix-cli") + os::kExeSuffix;
    const std::string gfx = std::string("gfx") + os::kPathSeparator;
    const std::string interrupted =
        os::kWindows ? "then ends with exit status 130.\n"
                     : "then ends as interrupted (a shell shows 130).\n";
    return "Usage: " + program +
           " [OPTIONS] ROM...\n"
           "Packs each Game Boy Advance ROM into a Nintendo DS program for Quillmere.\n"
           "\n"
           "  -o, --output DIR      write the packages into DIR (default: beside each ROM)\n"
           "      --title \"L1;L2;L3\" the menu title, up to three lines (default: the ROM's\n"
           "                        name); an empty first line stands for the ROM's name\n"
           "      --icon FILE       menu icon: any BMP, PNG, JPEG or GIF picture, converted\n"
           "                        to 32 x 32 in 16 colours (default: " +
           gfx +
           "icon.bmp)\n"
           "      --border FILE     border picture: any BMP, PNG, JPEG or GIF picture,\n"
           "                        converted to 256 x 192 (default: " +
           gfx +
           "border.bmp)\n"
           "      --icons DIR       for NAME.gba, the picture NAME.png, .bmp, .jpg, .jpeg or\n"
           "                        .gif in DIR is its icon (before --icon)\n"
           "      --borders DIR     the same for borders (before --border)\n"
           "      --titles FILE     titles by ROM: a UTF-8 line per ROM, its name, then up to\n"
           "                        three title lines, separated by tabs\n"
           "      --no-psram        PSRAM off (always off for ROMs larger than 16 MiB)\n"
           "      --no-compression  store the ROMs without packing them with gzip\n"
           "  -r, --recursive       build every .gba file below the folders given; with -o the\n"
           "                        packages go into the same folders below DIR\n"
           "  -j, --jobs N          build N packages at once (default: " +
           std::to_string(defaultJobs) +
           ", the number of cores)\n"
           "  -u, --update          build a ROM only when its package is missing or would\n"
           "                        differ; never replace one changed by hand\n"
           "      --force           replace packages that exist (default: skip them), and\n"
           "                        with --update those changed by hand\n"
           "      --fit-titles      split a title that is the ROM's name into up to three\n"
           "                        lines that fit the DS menu, at ' - ', '(' and spaces\n"
           "  -q, --quiet           print only the ROMs that failed or were skipped\n"
           "  -h, --help            show this text\n"
           "      --version         show the version\n"
           "\n"
           "Exit status: 0 every package was built, 1 a ROM failed or was skipped,\n"
           "2 the command line is wrong. Ctrl-C stops the builds and cleans up; the run\n" +
           interrupted;
}

}  // namespace pellix::app
