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

#include "builder/batch.h"
#include "builder/build_pipeline.h"

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
    // With ChooseRom and BuildBatch: pictures dropped with the ROMs and named like one of
    // them (NAME.png for NAME.gba), each that ROM's icon.
    std::vector<std::string> icons;
    std::string message;  // for Refuse
};

// The rules of a drop: one ROM anywhere is chosen as by "Browse..."; several ROMs are built
// one after another (not while a build runs), each taking as its icon a picture dropped with
// it and named like it; one picture on the icon or border box (panel open) is chosen for
// it. Anything else, a picture among ROMs that names none of them included, is refused as
// a whole with a message that says why and what to do; no drop changes part of the window.
DropPlan PlanDrop(const std::vector<std::string>& paths, DropPlace place, bool customizeOpen,
                  bool building);

// The progress of a batch, as the window shows it.
class BatchProgress {
  public:
    virtual ~BatchProgress() = default;
    // ROM number `index` (from 0) of `count` is starting.
    virtual void BatchStep(std::size_t index, std::size_t count, const std::string& rom) = 0;
    // Whether the user has asked to stop. Asked before each ROM and before each program of
    // a build; a build stopped midway is cleaned up and counts as interrupted.
    virtual bool BatchCancelled() = 0;
};

// What a drop batch takes from the window, read once when the batch starts.
struct DropBatchWindow {
    std::string titles[2];     // title lines 2 and 3; line 1 is each ROM's name
    std::string icon;          // the icon box while the panel is open, else ""
    std::string border;        // the border box while the panel is open, else ""
    bool compression = true;
    std::vector<std::string> icons;  // pictures named like ROMs, each that ROM's icon
};

// Builds `roms` through the command line's batch engine, one at a time on this thread:
// each ROM gets what choosing it would set (its own output folder, title line 1, and PSRAM
// on when allowed, off over 16 MiB), the icon named like it, and the window's other settings. So a drop answers as
// pellix-cli does: two ROMs giving one package name are neither built, an existing package
// is kept, and each reason is given. No per-ROM message is shown; the jobs are returned,
// in order.
std::vector<Job> RunDropBatch(const std::vector<std::string>& roms, const DropBatchWindow& window,
                              BatchProgress& progress, const std::string& appDir,
                              const ToolRunner& runner);

// The summary shown at the end of a batch: how many were built, each package, each ROM not
// built with its reason, and the ROMs not started.
std::string BatchSummary(const std::vector<Job>& jobs);

}  // namespace pellix::app
