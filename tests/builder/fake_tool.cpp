// A stand-in for gzip, grit, gbacrusher, ndstool and efs in tests: it acts by its own name.
//
// Every call appends one line to tool-log.txt in the working directory, and to the one in
// the program's own folder when there is one: the program name, each argument and the
// working directory, separated by the byte 0x1F. Control files in the working directory,
// or else in the program's own folder (for builds whose working folder a test cannot
// reach), change what it does:
//   fail-NAME   holds "STATUS MESSAGE": print MESSAGE on stderr and exit with STATUS
//   warn-NAME   (gzip) holds "STATUS MESSAGE": do the work, then print MESSAGE on stderr and
//               exit with STATUS, as gzip warns
//   sleep-NAME  holds a number of milliseconds to wait before doing anything
//   skip-NAME   exit 0 without writing any output
//   noise-NAME  holds a byte count: write that many bytes of numbered lines to stderr, then
//               "THE END"; a write that fails makes the tool exit with status 3
// PELLIX_FAKE_TOOL_SLEEP_MS in the environment, a number of milliseconds, makes every call
// wait that long first (for runs whose working folders a test cannot reach).
// Outputs hold a short tag and the input's bytes, so tests can follow data through.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

int Fail(const std::string& name, const std::string& message, int status = 1) {
    std::cerr << name << ": " << message << "\n";
    return status;
}

// The value following `option`, or "" when absent.
std::string Option(const std::vector<std::string>& args, const std::string& option) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) return args[i + 1];
    return "";
}

// Every file below `dir`, sorted, as "path size bytes" lines (bytes only for small files).
std::string Listing(const fs::path& dir) {
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = ReadAll(entry.path());
        std::string line =
            fs::relative(entry.path(), dir).generic_string() + " " + std::to_string(bytes.size());
        if (bytes.size() <= 256) line += " " + bytes;
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = fs::path(argv[0]).stem().string();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const fs::path cwd = fs::current_path();
    const fs::path home = fs::absolute(argv[0]).parent_path();

    std::string entry = name;
    for (const std::string& a : args) entry += '\x1f' + a;
    entry += '\x1f' + cwd.string() + "\n";
    {
        std::ofstream log(cwd / "tool-log.txt", std::ios::binary | std::ios::app);
        log << entry;
    }
    if (home != cwd && fs::exists(home / "tool-log.txt")) {
        std::ofstream log(home / "tool-log.txt", std::ios::binary | std::ios::app);
        log << entry;
    }
    // A control file: the working folder's, else the program folder's.
    const auto control = [&](const std::string& file) {
        return fs::exists(file) ? fs::path(file) : home / file;
    };

    if (const char* ms = std::getenv("PELLIX_FAKE_TOOL_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    if (fs::exists(control("sleep-" + name))) {
        const int ms = std::stoi(ReadAll(control("sleep-" + name)));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    if (fs::exists(control("noise-" + name))) {
        const long total = std::stol(ReadAll(control("noise-" + name)));
        std::string chunk;
        for (long line = 0; static_cast<long>(chunk.size()) < total; ++line)
            chunk += "line " + std::to_string(line) + ": " + std::string(60, 'e') + "\n";
        chunk += "THE END\n";
        // One plain write at a time, as a program's error output goes out; a pipe that
        // refuses to wait shows as a short write or EAGAIN.
        std::size_t done = 0;
        while (done < chunk.size()) {
            const std::size_t n = std::fwrite(chunk.data() + done, 1, chunk.size() - done, stderr);
            if (n == 0 || std::ferror(stderr)) return 3;
            done += n;
        }
        if (std::fflush(stderr) != 0) return 3;
    }
    // A control file holding "STATUS MESSAGE": prints MESSAGE and gives STATUS.
    const auto statusOf = [&](const std::string& file, int status) {
        std::istringstream text(ReadAll(control(file)));
        std::string message;
        text >> status;
        std::getline(text >> std::ws, message);
        std::cerr << message << "\n";
        return status;
    };
    if (fs::exists(control("fail-" + name))) return statusOf("fail-" + name, 1);
    if (fs::exists(control("skip-" + name))) return 0;

    if (name == "gzip") {
        if (args.empty()) return Fail(name, "no input");
        const fs::path in = args.back();
        const fs::path out = in.string() + ".gz";
        if (fs::exists(out)) return Fail(name, out.string() + " already exists");
        if (!fs::exists(in)) return Fail(name, in.string() + ": no such file");
        WriteAll(out, "GZ:" + ReadAll(in));
        fs::remove(in);
        return fs::exists(control("warn-" + name)) ? statusOf("warn-" + name, 2) : 0;
    }
    if (name == "grit") {
        if (args.empty() || !fs::exists(args[0])) return Fail(name, "no input picture");
        const fs::path in = args[0];
        WriteAll(in.stem().string() + ".img.bin", "IMG:" + ReadAll(in));
        return 0;
    }
    if (name == "gbacrusher") {
        const std::string in = Option(args, "-l");
        const std::string out = Option(args, "-o");
        if (in.empty() || out.empty() || !fs::exists(in)) return Fail(name, "bad arguments");
        WriteAll(out, "LZ:" + ReadAll(in));
        return 0;
    }
    if (name == "ndstool") {
        const std::string out = Option(args, "-c");
        const std::string dir = Option(args, "-d");
        if (out.empty() || dir.empty() || !fs::is_directory(dir))
            return Fail(name, "bad arguments");
        WriteAll(out, Listing(dir));
        return 0;
    }
    if (name == "efs") {
        if (args.size() != 1 || !fs::exists(args[0])) return Fail(name, "no such file");
        return 0;
    }
    return Fail(name, "unknown tool name");
}
