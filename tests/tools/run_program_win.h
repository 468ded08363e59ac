// Windows side of RunProgram for the tests of the companion programs: CreateProcessW with
// an argument list quoted by the Windows rules, output through temporary files.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellix::testing {

struct RunResult {
    int exitCode = -1;  // the program's exit status; -1 when it could not be started
    std::string out;    // standard output, line ends as "\n"
    std::string err;    // standard error, line ends as "\n"
};

inline std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// One argument as the C runtime's argument splitting reads it back unchanged.
inline std::wstring QuoteForCommandLine(const std::wstring& arg) {
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

// The file's content with "\r\n" read as "\n"; the file is removed.
inline std::string ReadTextAndRemove(const std::filesystem::path& path) {
    std::string text;
    {
        std::ifstream file(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// Waits (up to two seconds) until `folder` may be deleted. wine reports a program's end a
// moment before it lets go of the program's working folder, and a test removes that
// folder right afterwards.
inline void WaitUntilFolderIsFree(const std::filesystem::path& folder) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        HANDLE h = ::CreateFileW(folder.c_str(), DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return;
        ::Sleep(5);
    }
}

// Runs `program` with `args` in `folder`, standard input empty, and waits for it.
// (The folder is a path here: on Windows a path does not turn into a std::string.)
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::filesystem::path& folder) {
    static std::atomic<int> counter{0};
    const std::filesystem::path stem =
        std::filesystem::temp_directory_path() /
        ("pellix-run-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++));
    const std::filesystem::path outPath = stem.wstring() + L".out";
    const std::filesystem::path errPath = stem.wstring() + L".err";

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto create = [&](const std::filesystem::path& p) {
        return ::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    };
    HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    HANDLE out = create(outPath);
    HANDLE err = create(errPath);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make temporary files");

    std::wstring line = QuoteForCommandLine(WidenUtf8(program));
    for (const std::string& a : args) line += L" " + QuoteForCommandLine(WidenUtf8(a));
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring wideProgram = WidenUtf8(program);
    const std::wstring wideFolder = folder.wstring();
    const BOOL started =
        ::CreateProcessW(wideProgram.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, wideFolder.c_str(), &startup, &process);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);

    RunResult result;
    if (started) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (::GetExitCodeProcess(process.hProcess, &code)) result.exitCode = static_cast<int>(code);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
        WaitUntilFolderIsFree(folder);
    }
    result.out = ReadTextAndRemove(outPath);
    result.err = ReadTextAndRemove(errPath);
    return result;
}

}  // namespace pellix::testing

// mkdtemp for the tests' scratch folders, which Windows lacks: the template's "/tmp/" is
// the system's temporary folder. The returned name stays valid until the next call.
inline char* mkdtemp(char* name) {
    static std::string made;
    std::string path = name;
    if (path.rfind("/tmp/", 0) == 0)
        path = (std::filesystem::temp_directory_path() / path.substr(5)).u8string();
    const std::size_t x = path.rfind("XXXXXX");
    if (x == std::string::npos || x + 6 != path.size()) return nullptr;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned value = (::GetCurrentProcessId() * 7919u + ::GetTickCount() + counter++) %
                               (36u * 36u * 36u * 36u * 36u * 36u);
        unsigned v = value;
        for (int i = 5; i >= 0; --i, v /= 36)
            path[x + static_cast<std::size_t>(i)] = "0123456789abcdefghijklmnopqrstuvwxyz"[v % 36];
        std::error_code ec;
        if (std::filesystem::create_directory(std::filesystem::u8path(path), ec)) {
            made = path;
            return made.data();
        }
    }
    return nullptr;
}
