// Starting a program for a test on Windows: CreateProcessW with the arguments quoted by the
// Windows rules, output into files.
#include <windows.h>

#include <atomic>
#include <cwchar>
#include <stdexcept>

#include "system/command_line.h"
#include "program.h"
#include "scratch.h"
#include "system/text.h"

namespace fs = std::filesystem;

namespace pellix::testing {

namespace {

fs::path OutputFile(const char* what) {
    static std::atomic<int> counter{0};
    return fs::temp_directory_path() / ("pellix-run-" + std::to_string(::GetCurrentProcessId()) +
                                        "-" + std::to_string(counter++) + what);
}

// Waits (up to two seconds) until `folder` may be deleted. wine reports a program's end a
// moment before it lets go of the program's working folder, and a test removes that
// folder right afterwards.
void WaitUntilFolderIsFree(const fs::path& folder) {
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

}  // namespace

Program::Program(const std::string& program, const std::vector<std::string>& args,
                 const fs::path& folder, const Environment& env, bool /*asNobody*/,
                 const fs::path& input)
    : folder_(folder), outPath_(OutputFile(".out")), errPath_(OutputFile(".err")) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto create = [&](const fs::path& p) {
        return ::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE in =
        ::CreateFileW(input.empty() ? L"NUL" : input.c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = create(outPath_);
    HANDLE err = create(errPath_);
    std::string line = QuoteArgument(program);
    for (const std::string& a : args) line += " " + QuoteArgument(a);
    std::wstring wideLine = win::ToWide(line);
    // The environment: ours, with the additions in front (the first of a name wins).
    std::wstring block;
    for (const auto& [name, value] : env) block += win::ToWide(name + "=" + value) + L'\0';
    wchar_t* own = ::GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p; p += std::wcslen(p) + 1) block += std::wstring(p) + L'\0';
    ::FreeEnvironmentStringsW(own);
    block += L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const std::wstring wideProgram = win::ToWide(program);
    const std::wstring wideFolder = folder.wstring();
    const BOOL started = ::CreateProcessW(
        wideProgram.c_str(), wideLine.data(), nullptr, nullptr, TRUE,
        CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, block.data(), wideFolder.c_str(),
        &startup, &info);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) throw std::runtime_error("cannot start " + program);
    handle_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    id_ = info.dwProcessId;
    ::CloseHandle(info.hThread);
}

Program::~Program() {
    if (!ended_) Wait(0.0);
    std::error_code ec;
    fs::remove(outPath_, ec);
    fs::remove(errPath_, ec);
}

bool Program::Interrupt() {
    // Ctrl-C is off in a new process group; Ctrl-Break reaches it the same way.
    return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, id_) != 0;
}

RunResult Program::Wait(double seconds) {
    RunResult result;
    const HANDLE process = reinterpret_cast<HANDLE>(handle_);
    if (::WaitForSingleObject(process, static_cast<DWORD>(seconds * 1000)) != WAIT_OBJECT_0) {
        result.timedOut = true;
        ::TerminateProcess(process, 255);
        ::WaitForSingleObject(process, INFINITE);
    }
    DWORD code = 0;
    if (::GetExitCodeProcess(process, &code)) result.exitCode = static_cast<int>(code);
    ::CloseHandle(process);
    WaitUntilFolderIsFree(folder_);
    ended_ = true;
    result.out = ReadText(outPath_);
    result.rawOut = ReadFile(outPath_);
    result.err = ReadText(errPath_);
    return result;
}

}  // namespace pellix::testing
