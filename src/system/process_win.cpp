// Programs on Windows: CreateProcessW with no console, stderr through a pipe, a pumping wait,
// and a job object that ends every program when this process ends.
#include <windows.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "system/command_line.h"
#include "system/subprocess.h"
#include "system/text.h"

namespace pellix::os {

namespace {

// Longest block between two calls of the caller's wait function. Window messages wake the wait at
// once, so a longer pause only costs the error pipe's draining, and saves the CPU of
// waking for nothing.
constexpr DWORD kPollMillis = 20;

// Held while this process has inheritable handles open for a child being started.
std::mutex g_spawnMutex;

// Owns a kernel handle.
struct Handle {
    HANDLE h = nullptr;
    explicit Handle(HANDLE handle = nullptr) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    void reset(HANDLE handle = nullptr) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        h = handle;
    }
    bool valid() const { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};

// Appends what the pipe holds now, without blocking: a program the tool left running may
// keep the pipe open after the tool itself has ended.
void Drain(HANDLE pipe, std::string& text, const std::function<void(std::string&)>& trim) {
    char buffer[1024];
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return;
        DWORD n = 0;
        const DWORD want = available < sizeof buffer ? available : DWORD{sizeof buffer};
        if (!::ReadFile(pipe, buffer, want, &n, nullptr) || n == 0) return;
        // Line ends as everywhere else in the program: "\r\n" becomes "\n". A "\r" that
        // ends this block waits for the next one to see what follows it.
        for (DWORD i = 0; i < n; ++i) {
            if (buffer[i] == '\n' && !text.empty() && text.back() == '\r') text.pop_back();
            text += buffer[i];
        }
        if (trim) trim(text);
    }
}

// The program file CreateProcessW is to run, or "" to let it search for a bare name.
// Naming the file keeps a path with spaces from being tried piece by piece
// (C:\Program.exe before C:\Program Files\...).
std::wstring ProgramFile(const std::string& program) {
    if (program.find_first_of("\\/:") == std::string::npos) return {};
    std::wstring file = win::ToWide(program);
    // Like the search does, a name without an extension means the .exe.
    const std::size_t lastSep = file.find_last_of(L"\\/:");
    if (file.find(L'.', lastSep == std::wstring::npos ? 0 : lastSep + 1) == std::wstring::npos)
        file += L".exe";
    return file;
}

// The job every program started here joins. Its handle is never closed by us, so the
// system closes it when this process ends in any way, and that ends the programs.
HANDLE ProgramsJob() {
    static const HANDLE job = [] {
        const HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
        if (made == nullptr) return HANDLE{nullptr};
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits)) {
            ::CloseHandle(made);
            return HANDLE{nullptr};
        }
        return made;
    }();
    return job;
}

}  // namespace

ProcessResult RunProcess(const std::string& commandLine, const std::string& workingDir,
                         const ProcessWatch& watch) {
    ProcessResult result;
    const std::vector<std::string> args = ArgumentsToStart(commandLine, watch, result);
    if (args.empty()) return result;
    const auto stopRequested = [&] { return watch.stopRequested && watch.stopRequested(); };
    std::wstring wideLine;
    std::wstring programFile;
    std::wstring wideDir;
    try {
        wideLine = win::ToWide(commandLine);
        programFile = ProgramFile(args[0]);
        wideDir = win::ToWide(workingDir);
    } catch (const std::range_error&) {
        result.errorText = "cannot start " + args[0] + ": the command line is not valid UTF-8";
        return result;
    }
    if (!workingDir.empty()) {
        const DWORD attributes = ::GetFileAttributesW(wideDir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            result.errorText = "cannot start " + args[0] + ": the working folder " + workingDir +
                               " does not exist";
            return result;
        }
    }

    // The child's standard handles: input and output the null device, errors into a pipe
    // whose reading end stays with us alone. They are inheritable, and a child inherits every
    // inheritable handle of the process, so they exist only inside this lock: a program
    // started by another thread meanwhile would otherwise keep this pipe open.
    std::unique_lock<std::mutex> spawnLock(g_spawnMutex);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr));
    if (!nul.valid()) {
        result.errorText = "cannot open the null device: " + win::ErrorReason(::GetLastError());
        return result;
    }
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    // A roomy pipe lets a talkative program run on between two of our reads.
    if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 65536)) {
        result.errorText = "cannot make a pipe: " + win::ErrorReason(::GetLastError());
        return result;
    }
    Handle readEnd(readRaw);
    Handle writeEnd(writeRaw);
    ::SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nul.h;
    startup.hStdOutput = nul.h;
    startup.hStdError = writeEnd.h;

    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(wideLine.begin(), wideLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION process{};
    const BOOL created = ::CreateProcessW(
        programFile.empty() ? nullptr : programFile.c_str(), line.data(), nullptr, nullptr, TRUE,
        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, wideDir.empty() ? nullptr : wideDir.c_str(), &startup, &process);
    const DWORD startError = ::GetLastError();
    // Only the child may hold the writing end now, so the pipe closes when it is gone.
    writeEnd.reset();
    nul.reset();
    spawnLock.unlock();
    if (!created) {
        result.errorText = "cannot start " + args[0] + ": " + win::ErrorReason(startError);
        return result;
    }
    // It joins the job before it runs a single instruction, so nothing it starts escapes.
    // Without a job (a system that refuses one) it still runs, as before jobs were used.
    if (const HANDLE job = ProgramsJob()) ::AssignProcessToJobObject(job, process.hProcess);
    ::ResumeThread(process.hThread);
    result.started = true;
    Handle processHandle(process.hProcess);
    ::CloseHandle(process.hThread);

    // Wake for the end of the program, for new window messages, or after a short while,
    // and let the pump dispatch whatever is pending each time.
    for (;;) {
        DWORD woke =
            ::MsgWaitForMultipleObjects(1, &processHandle.h, FALSE, kPollMillis, QS_ALLINPUT);
        if (woke == WAIT_FAILED) woke = ::WaitForSingleObject(processHandle.h, kPollMillis);
        Drain(readEnd.h, result.errorText, watch.trimErrors);
        if (watch.whileWaiting) watch.whileWaiting();
        // A handle that cannot be waited on at all would make this loop spin.
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
        if (stopRequested()) {
            // Waited for, so the program lets go of its working folder before we return.
            ::TerminateProcess(processHandle.h, 1);
            ::WaitForSingleObject(processHandle.h, 5000);
            result.cancelled = true;
            break;
        }
    }
    Drain(readEnd.h, result.errorText, watch.trimErrors);

    DWORD exitCode = 0;
    if (::GetExitCodeProcess(processHandle.h, &exitCode))
        result.exitCode = static_cast<int>(exitCode);
    return result;
}

void StopAllPrograms() {
    const HANDLE job = ProgramsJob();
    if (!job || !::TerminateJobObject(job, 1)) return;
    // Gone, so that they let go of the files in their working folders.
    for (int i = 0; i < 500; ++i) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                         sizeof info, nullptr) ||
            info.ActiveProcesses == 0)
            return;
        ::Sleep(10);
    }
}

}  // namespace pellix::os
