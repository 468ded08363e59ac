// modOpenFileDialog: asks the user for one existing file.
#pragma once

#include <QStringList>

#include <cstdint>
#include <string>

class QWidget;

namespace pellix::modOpenFileDialog {

// Option bit: only a file that exists can be chosen.
constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x1000;

// Turns a filter of the form "Description|pattern|Description|pattern" into the dialog's
// name filters, in the same order ("GBA ROMs (*.gba)"), read as app::FilterEntries reads
// them: "*.*" lists every file, names without a dot included ("All files (*)").
QStringList NameFilters(const std::string& filter);

// Shows a modal file-open dialog and returns the full path of the chosen file (native
// separators), or "" when the user cancels or the dialog fails. The first filter entry is
// preselected, `defaultExt` (no dot) is added to a typed name without an extension, the
// dialog opens in `initialDir`, and OFN_FILEMUSTEXIST in `flags` restricts the choice to
// existing files. With no `owner` the dialog blocks no other window; with one it blocks it.
// Never throws.
std::string ShowOpenDialog(const std::string& filter, const std::string& defaultExt,
                           const std::string& initialDir, std::uint32_t flags, QWidget* owner);

}  // namespace pellix::modOpenFileDialog
