// modBrowseFolders: asks the user for a file-system folder with the shell's folder browser.
#include "win32/browse_folders.h"

#include <shlobj.h>

#include <vector>

#include "system/text.h"

namespace pellix::modBrowseFolders {

namespace {

// An item list the shell allocated, released with CoTaskMemFree.
struct ItemList {
    PIDLIST_ABSOLUTE items = nullptr;
    ItemList() = default;
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList() { ::CoTaskMemFree(items); }
};

}  // namespace

std::string BrowseFolder(HWND owner, const std::string& title, std::uint32_t flags,
                         std::int32_t root) {
    const std::wstring titleText = win::ToWide(title);

    ItemList rootItems;
    if (FAILED(::SHGetSpecialFolderLocation(owner, root, &rootItems.items)))
        rootItems.items = nullptr;

    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pidlRoot = rootItems.items;
    browse.lpszTitle = titleText.c_str();
    browse.ulFlags = flags;

    ItemList chosen;
    chosen.items = ::SHBrowseForFolderW(&browse);
    if (chosen.items == nullptr) return "";
    std::vector<wchar_t> path(MAX_PATH, L'\0');
    if (!::SHGetPathFromIDListW(chosen.items, path.data())) return "";
    return win::ToUtf8(path.data());
}

}  // namespace pellix::modBrowseFolders
