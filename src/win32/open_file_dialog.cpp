// modOpenFileDialog: asks the user for one existing file with the system's open dialog.
#include "win32/open_file_dialog.h"

#include <commdlg.h>

#include <stdexcept>
#include <vector>

#include "system/text.h"

namespace pellix::modOpenFileDialog {

namespace {

// Room for the longest path the system's wide functions take, so that no name is refused
// for its length.
constexpr DWORD kPathRoom = 32768;

// Puts the process's current folder back when it goes out of scope: the dialog changes it
// to the folder the user chose from, and a build that is waiting in the background runs
// its programs by names relative to the folder it set.
class KeepCurrentFolder {
  public:
    KeepCurrentFolder() {
        const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
        if (n == 0) return;
        folder_.resize(n);
        folder_.resize(::GetCurrentDirectoryW(n, folder_.data()));
    }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;
    ~KeepCurrentFolder() {
        if (!folder_.empty()) ::SetCurrentDirectoryW(folder_.c_str());
    }

  private:
    std::wstring folder_;
};

}  // namespace

std::wstring FilterText(const std::string& filter) {
    std::wstring text = win::ToWide(filter);
    for (wchar_t& c : text)
        if (c == L'|') c = L'\0';
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

std::string ShowOpenDialog(const std::string& filter, const std::string& defaultExt,
                           const std::string& initialDir, std::uint32_t flags, HWND owner) {
    try {
        const std::wstring filterText = FilterText(filter);
        const std::wstring extension = win::ToWide(defaultExt);
        const std::wstring folder = win::ToWide(initialDir);
        std::vector<wchar_t> file(kPathRoom, L'\0');

        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filterText.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = kPathRoom;
        dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        dialog.Flags = flags;
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();

        KeepCurrentFolder keep;
        if (!::GetOpenFileNameW(&dialog)) return "";
        return win::ToUtf8(file.data());
    } catch (const std::exception&) {
        return "";
    }
}

}  // namespace pellix::modOpenFileDialog
