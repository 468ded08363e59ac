// A Windows test program that reports what it was started with, read the wide way.
//
// Writes probe.txt in its working directory, UTF-8: one line per argument as Windows
// splits its wide command line, then "stdin N" (the bytes standard input gave), then
// "console none" or "console window". With the arguments "--stderr N" it first writes
// N lines "line K" ending in "\r\n" to standard error; "--exit N" ends it with status N.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

void Write(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::string report;
    int exitCode = 0;
    for (int i = 0; i < argc; ++i) {
        report += Utf8(argv[i]) + "\n";
        if (i + 1 < argc && std::wcscmp(argv[i], L"--exit") == 0)
            exitCode = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        if (i + 1 < argc && std::wcscmp(argv[i], L"--stderr") == 0) {
            const long lines = std::wcstol(argv[i + 1], nullptr, 10);
            for (long k = 1; k <= lines; ++k)
                Write(::GetStdHandle(STD_ERROR_HANDLE), "line " + std::to_string(k) + "\r\n");
        }
    }
    char buffer[64];
    DWORD got = 0;
    if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr))
        got = 0;
    report += "stdin " + std::to_string(got) + "\n";
    report += ::GetConsoleWindow() == nullptr ? "console none\n" : "console window\n";

    HANDLE out = ::CreateFileW(L"probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    Write(out, report);
    ::CloseHandle(out);
    return exitCode;
}
