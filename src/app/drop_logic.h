// Files dropped onto the main window: what they are, what the drop does, and the one-after-
// another build of several dropped ROMs.
//
// For a front-end writer: accept any drag that carries local files. On the drop, find the
// place with DropPlaceAt (client coordinates in twips) and call MainWindowLogic::OnDrop
// with the paths (UTF-8) in the order given. Several ROMs start a batch build; show its
// progress through the MainWindowView's Batch* calls (a dialog with the current ROM, the
// count and a Cancel button) and keep the window live as during a single build.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "build_pipeline.h"

namespace pellix::app {

// Where on the main window files were dropped.
enum class DropPlace {
    Window,     // anywhere else
    IconBox,    // the icon row ("Icon:", its text box and its Browse...), panel open
    BorderBox,  // the border row, panel open
};

// The place under a point of the main window's client area (twips). The icon and border
// rows count only while the panel is open, since they are hidden otherwise.
DropPlace DropPlaceAt(double xTwips, double yTwips, bool customizeOpen);

enum class DroppedKind {
    Rom,      // a file named .gba or .agb
    Picture,  // a file named .bmp, .png, .jpg, .jpeg or .gif
    Other,    // anything else, a folder, or a file that does not exist
};

// What a dropped path is, from its name (compared without regard to case) and whether a
// regular file exists there.
DroppedKind ClassifyDroppedFile(const std::string& path);

// What a drop does. Refuse changes nothing and shows `message`.
struct DropPlan {
    enum class Action { None, ChooseRom, BuildBatch, ChooseIcon, ChooseBorder, Refuse };
    Action action = Action::None;
    std::vector<std::string> files;  // the ROM, the ROMs of the batch, or the picture
    std::string message;             // for Refuse
};

// The rules of a drop: one ROM anywhere is chosen as by "Browse..."; several ROMs are built
// one after another (not while a build runs); one picture on the icon or border box (panel
// open) is chosen for it. Anything else, mixed kinds included, is refused as a whole with a
// message that says why and what to do; no drop changes part of the window.
DropPlan PlanDrop(const std::vector<std::string>& paths, DropPlace place, bool customizeOpen,
                  bool building);

// The result of one ROM of a batch.
struct BatchOutcome {
    std::string rom;
    std::string package;  // where the package was delivered (when built)
    bool built = false;
    bool skipped = false;   // not started: the batch was cancelled before it
    bool psramOff = false;  // the ROM is over 16 MiB, so it was built without PSRAM
    std::string message;    // why it failed (when neither built nor skipped)
};

// The progress of a batch, as the window shows it.
class BatchProgress {
  public:
    virtual ~BatchProgress() = default;
    // ROM number `index` (from 0) of `count` is starting.
    virtual void BatchStep(std::size_t index, std::size_t count, const std::string& rom) = 0;
    // Whether the user has asked to stop. Asked before each ROM and before each program of
    // a build; a build stopped midway is cleaned up and counts as failed ("cancelled").
    virtual bool BatchCancelled() = 0;
};

// Builds `roms` one after another. Each ROM gets what choosing it would set (its own output
// folder, title line 1 and PSRAM rule: on when allowed, off over 16 MiB); title lines 2 and
// 3, icon, border, the panel flag and compression are read from `window` when each build
// step needs them. The window's controls are not changed, except that "Go..." is switched
// off for the whole batch and on again at its end. No per-ROM "Complete!" or failure box is
// shown; the outcomes are returned, one per ROM, in order.
std::vector<BatchOutcome> RunBatch(const std::vector<std::string>& roms, SettingsSource& window,
                                   BatchProgress& progress, const std::string& appDir,
                                   const ToolRunner& runner);

// The summary shown at the end of a batch: how many were built, each package, each failure
// with its reason, and the ROMs not started.
std::string BatchSummary(const std::vector<BatchOutcome>& outcomes);

}  // namespace pellix::app
