// For the tests and the benchmark of pellix-cli: an installation in a scratch folder,
// ROM-like inputs, and the program started, interrupted and waited for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

namespace pellix::clitest {

namespace fs = std::filesystem;

#ifdef _WIN32
inline const std::string kExe = ".exe";
#else
inline const std::string kExe = "";
#endif

// The programs an installation is made of; gzip may be any program that acts like it.
struct Programs {
    std::string cli, grit, gbacrusher, ndstool, efs, gzip;
    std::string standinDir;  // holds 7.bin and 9.bin
    std::string gfxDir;      // holds icon.bmp and border.bmp
};

// Lays out a portable folder in `root` as the installation does: pellix-cli at the top,
// the programs, the images and an empty data/ in bin/, the pictures in gfx/.
inline void MakeInstallation(const fs::path& root, const Programs& p) {
    fs::create_directories(root / "bin" / "data");
    fs::create_directories(root / "gfx");
    const auto copy = [](const fs::path& from, const fs::path& to) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    };
    copy(fs::u8path(p.cli), root / ("pellix-cli" + kExe));
    copy(fs::u8path(p.grit), root / "bin" / ("grit" + kExe));
    copy(fs::u8path(p.gbacrusher), root / "bin" / ("gbacrusher" + kExe));
    copy(fs::u8path(p.ndstool), root / "bin" / ("ndstool" + kExe));
    copy(fs::u8path(p.efs), root / "bin" / ("efs" + kExe));
    copy(fs::u8path(p.gzip), root / "bin" / ("gzip" + kExe));
    copy(fs::u8path(p.standinDir) / "7.bin", root / "bin" / "7.bin");
    copy(fs::u8path(p.standinDir) / "9.bin", root / "bin" / "9.bin");
    copy(fs::u8path(p.gfxDir) / "icon.bmp", root / "gfx" / "icon.bmp");
    copy(fs::u8path(p.gfxDir) / "border.bmp", root / "gfx" / "border.bmp");
}

// A ROM-like image of `size` bytes, the same for the same seed: machine-code-like words,
// then tile graphics, then 0xFF padding, in the shares a cartridge dump tends to have.
inline std::vector<std::uint8_t> MakeRom(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> rom(size, 0xFF);
    std::uint32_t state = seed * 2654435761u + 12345u;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const std::size_t codeEnd = size / 100 * 55 / 4 * 4;
    const std::size_t tilesEnd = size / 100 * 85 / 32 * 32;
    // ARM words: the "always" condition, a handful of instruction classes, registers
    // from a small set and short immediates, so they repeat as real code does.
    static const std::uint32_t kClasses[] = {0xE1A00000, 0xE2800000, 0xE5900000, 0xE5800000,
                                             0xE3500000, 0xEB000000, 0xE8BD0000, 0xE92D0000};
    for (std::size_t i = 0; i + 4 <= codeEnd; i += 4) {
        const std::uint32_t r = next();
        std::uint32_t word = kClasses[r % 8];
        if ((word & 0x0F000000) == 0x0B000000 || (word & 0x0E000000) == 0x08000000) {
            word |= (r >> 3) & 0x40FF;
        } else {
            word |= ((r >> 3) % 6) << 16 | ((r >> 6) % 6) << 12 | ((r >> 9) % 64);
        }
        for (int b = 0; b < 4; ++b) rom[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
    // 4-bit tiles of 8 x 8: rows drawn from a few shapes, shifted and recoloured.
    for (std::size_t t = codeEnd; t + 32 <= tilesEnd; t += 32) {
        const std::uint32_t r = next();
        const std::uint8_t colour = static_cast<std::uint8_t>(r % 15 + 1);
        for (int row = 0; row < 8; ++row) {
            const unsigned shape = (r >> 4) % 4;
            for (int col = 0; col < 4; ++col) {
                const bool on = shape == 0   ? (row + col) % 3 == 0
                                : shape == 1 ? row > 1 && row < 6 && col > 0
                                : shape == 2 ? (row ^ col) & 1
                                             : row == 0 || row == 7;
                rom[t + static_cast<std::size_t>(row) * 4 + col] =
                    on ? static_cast<std::uint8_t>(colour << 4 | colour) : 0;
            }
        }
    }
    return rom;
}

inline void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;  // line ends as "\n" everywhere
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

struct Ended {
    int exitCode = -1;      // the exit status when the program exited
    int signal = 0;         // the signal that ended it (POSIX)
    bool timedOut = false;  // it was killed for taking too long
    std::string out, err;
};

// A started pellix-cli, its output going to files.
class Process {
  public:
    // Starts `program` with `args` in `folder`, with `env` added to the environment.
    // `asNobody` (POSIX, when running as root) runs it as the unprivileged user 65534, so
    // that a file's permissions bind it.
    Process(const std::string& program, const std::vector<std::string>& args,
            const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& env,
            bool asNobody = false)
        : outPath_(folder / ".pellix-test-out"), errPath_(folder / ".pellix-test-err") {
#ifdef _WIN32
        (void)asNobody;
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        const auto create = [&](const fs::path& p) {
            return ::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 &inherit, CREATE_ALWAYS, 0, nullptr);
        };
        HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
        HANDLE out = create(outPath_);
        HANDLE err = create(errPath_);
        std::wstring line = Quote(fs::u8path(program).wstring());
        for (const std::string& a : args) line += L" " + Quote(fs::u8path(a).wstring());
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        // The environment: ours, with the additions in front (the first of a name wins).
        std::wstring block;
        for (const auto& [name, value] : env)
            block += fs::u8path(name).wstring() + L"=" + fs::u8path(value).wstring() + L'\0';
        wchar_t* own = ::GetEnvironmentStringsW();
        for (const wchar_t* p = own; *p; p += wcslen(p) + 1) block += std::wstring(p) + L'\0';
        ::FreeEnvironmentStringsW(own);
        block += L'\0';
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION info{};
        const std::wstring wideProgram = fs::u8path(program).wstring();
        const std::wstring wideFolder = folder.wstring();
        if (!::CreateProcessW(wideProgram.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                              CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, block.data(),
                              wideFolder.c_str(), &startup, &info))
            throw std::runtime_error("cannot start " + program);
        ::CloseHandle(in);
        ::CloseHandle(out);
        ::CloseHandle(err);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
        ::CloseHandle(info.hThread);
#else
        const int outFd = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int errFd = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int nullFd = ::open("/dev/null", O_RDONLY);
            if (::chdir(folder.c_str()) != 0) ::_exit(126);
            for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
            if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(125);
            ::dup2(nullFd, 0);
            ::dup2(outFd, 1);
            ::dup2(errFd, 2);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(outFd);
        ::close(errFd);
        if (pid_ < 0) throw std::runtime_error("cannot start " + program);
#endif
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (!ended_) Wait(0.0);
        std::error_code ec;
        fs::remove(outPath_, ec);
        fs::remove(errPath_, ec);
    }

    // What the program has written to standard output so far.
    std::string OutputSoFar() const {
        return ReadText(outPath_);
    }

    // Interrupts it as Ctrl-C would; false when the system would not deliver that.
    bool Interrupt() {
#ifdef _WIN32
        // Ctrl-C is off in a new process group; Ctrl-Break reaches it the same way.
        return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_) != 0;
#else
        return ::kill(pid_, SIGINT) == 0;
#endif
    }

    // Waits up to `seconds` for it to end (killing it then) and returns what it did.
    Ended Wait(double seconds) {
        Ended result;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
#ifdef _WIN32
        const DWORD millis = static_cast<DWORD>(seconds * 1000);
        if (::WaitForSingleObject(process_, millis) != WAIT_OBJECT_0) {
            result.timedOut = true;
            ::TerminateProcess(process_, 255);
            ::WaitForSingleObject(process_, INFINITE);
        }
        DWORD code = 0;
        if (::GetExitCodeProcess(process_, &code)) result.exitCode = static_cast<int>(code);
        ::CloseHandle(process_);
        (void)deadline;
#else
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                result.timedOut = true;
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
#endif
        ended_ = true;
        result.out = ReadText(outPath_);
        result.err = ReadText(errPath_);
        return result;
    }

  private:
#ifdef _WIN32
    static std::wstring Quote(const std::wstring& arg) {
        std::wstring out = L"\"";
        std::size_t backslashes = 0;
        for (wchar_t c : arg) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            out += c;
        }
        out.append(backslashes * 2, L'\\');
        return out + L"\"";
    }
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
#else
    pid_t pid_ = -1;
#endif
    fs::path outPath_, errPath_;
    bool ended_ = false;
};

// Runs the program to its end (at most `seconds`, then it is killed).
inline Ended RunToEnd(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& folder,
                      const std::vector<std::pair<std::string, std::string>>& env = {},
                      double seconds = 120, bool asNobody = false) {
    Process process(program, args, folder, env, asNobody);
    return process.Wait(seconds);
}

}  // namespace pellix::clitest
