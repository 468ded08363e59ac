// Runs a chooser dialog in a local event loop and lets its owner's window close it early.
#pragma once

#include <QStringList>

#include <optional>

class QFileDialog;

namespace pellix::ui {

// Shows `dialog` (made with new) and returns once it has finished: the selected files when it
// was accepted, nothing when it was cancelled or closed. With no parent the dialog blocks no
// other window (the caller's window stays usable); with one it blocks that window only. The
// dialog is deleted before the call returns.
std::optional<QStringList> RunChooser(QFileDialog* dialog);

// Cancels every chooser RunChooser is showing; each of those calls then returns nothing.
// The main window calls this when it closes, so no chooser outlives it.
void CloseOpenChoosers();

}  // namespace pellix::ui
