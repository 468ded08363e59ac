// What the main window decides, without a toolkit: the browse handlers, the PSRAM rule, "Go..."
// enabling, the fold and unfold of the customisation panel, the preview's facts, and what
// closing the window does while a build or a chooser is running.
//
// For a front-end writer:
//  1. Create the window and its controls from MainWindowDesign() (window_layout.h): the rows
//     in order (back to front), each in its container, at its twips rect converted at the
//     monitor's DPI, with its caption, font, colours and start state; tab order TabOrder().
//  2. Implement MainWindowView over those controls, addressing them by MainControl. All
//     strings are UTF-8; all places and sizes are twips.
//  3. Make one MainWindowLogic(view) per window and forward the events:
//       window first shown         -> Start()        (puts the focus on StartFocus())
//       window shown again         -> OnShown()
//       clicks                     -> OnBrowseRom(), OnBrowseFolder(), OnBrowseIcon(),
//                                     OnBrowseBorder(), OnGo(), OnPreview(), OnCustomize()
//       close requested            -> OnCloseRequested(): close only when it returns true
//       files dropped on the window -> OnDrop(paths, where) (drop_logic.h)
//     Handlers catch every error themselves and show it through ShowMessage.
//  4. While a build runs the logic's OnGo() does not return. Keep the window live by
//     installing an event pump with modShellWait::SetEventPump (shell_wait.h) that
//     dispatches pending window messages; the logic refuses a second build and puts a
//     close request off until the build has ended, then calls CloseWindow().
//  5. A chooser may return after the window was closed or even destroyed: the logic checks
//     for that itself and then touches neither the view nor itself. While one chooser is
//     open the browse buttons and "Go..." do nothing, so answering the clicks a chooser
//     without an owner lets through is safe.
//  6. The preview: CreatePreview makes a hidden preview window (preview_logic.h); the logic
//     decides the rest of its life.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/build_pipeline.h"
#include "app/drop_logic.h"
#include "app/file_filter.h"
#include "app/preview_logic.h"
#include "app/window_layout.h"

namespace pellix::app {

// The main window as its logic sees it.
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Text of a text box, or caption of a button or label.
    virtual std::string Text(MainControl control) = 0;
    virtual void SetText(MainControl control, const std::string& text) = 0;
    virtual Check CheckValue(MainControl control) = 0;
    virtual void SetCheckValue(MainControl control, Check value) = 0;
    virtual void SetEnabled(MainControl control, bool enabled) = 0;
    virtual void SetVisible(MainControl control, bool visible) = 0;
    // Moves and sizes a control (twips, relative to its container).
    virtual void Place(MainControl control, const TwipsRect& rect) = 0;
    // Sets the window's height and keeps its width. The design's outer height and the
    // client height it gives with the design's frame are both passed: a platform whose
    // title bar differs from the design sets the client height, so the bottom banner
    // still ends at the client area's bottom edge.
    virtual void SetWindowHeight(int outerTwips, int clientTwips) = 0;
    // The window's outer position and size (title bar and borders included), in twips.
    virtual TwipsRectF OuterGeometry() = 0;
    virtual void SetFocus(MainControl control) = 0;

    // Shows a message (caption "Quillmere", one OK button) and returns once dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // A modal file chooser without an owner window; the chosen file's full path, or "" when
    // the user cancels or the chooser fails.
    virtual std::string OpenFile(const FileDialogRequest& request) = 0;
    // A folder browser owned by the main window; the chosen folder, or "" on cancel.
    virtual std::string BrowseFolder(const FolderDialogRequest& request) = 0;
    // Cancels every chooser still open (the window is closing).
    virtual void CancelChoosers() = 0;
    // Closes the window: a close put off while a build ran, now that the build has ended.
    virtual void CloseWindow() = 0;
    // A new, hidden, designed preview window (PreviewSlot::Factory).
    virtual PreviewView* CreatePreview(std::function<void()> unloaded) = 0;

    // Progress of a batch build of dropped ROMs: a dialog with the current ROM, the count and
    // a Cancel button, kept live like the window during a build. The defaults show nothing
    // and never cancel.
    virtual void BatchStarted(std::size_t count) { (void)count; }
    virtual void BatchStep(std::size_t index, std::size_t count, const std::string& rom) {
        (void)index, (void)count, (void)rom;
    }
    virtual bool BatchCancelled() { return false; }
    virtual void BatchFinished() {}
};

// The main window's handlers.
class MainWindowLogic {
  public:
    explicit MainWindowLogic(MainWindowView& view);
    virtual ~MainWindowLogic();
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // The runner of the build's programs (modShellWait::RunAndWait unless replaced).
    void SetToolRunner(ToolRunner runner);

    // The window has been shown for the first time: the focus goes to StartFocus(), the
    // first control of the tab order (txtROM), so keys pressed at start land there.
    void Start();
    // The window is shown again after it was closed: choosers may fill it again.
    void OnShown();

    // The browse buttons do nothing while a chooser is open (Choosing()).
    // "Browse..." of the ROM row: the ROM chooser, then ChooseRom with its result (also "",
    // which empties the ROM row and title line 1).
    void OnBrowseRom();
    // "Select...": the output folder's browser; its result goes to txtOutput.
    void OnBrowseFolder();
    // "Browse..." of the icon and border rows: their chooser; its result goes to the box.
    void OnBrowseIcon();
    void OnBrowseBorder();
    // "Go...": runs the build from the controls. A click while a build runs or a chooser is
    // open does nothing. Before the run's first build, an installation that still holds the
    // stand-in DS images is told so (the build then goes ahead).
    void OnGo();
    // "Preview NDS...": opens the preview from the window's facts, or brings the open one
    // forward; a picture that cannot be loaded is told by this window.
    void OnPreview();
    // "Customize the NDS (+/-)": folds or unfolds the panel.
    void OnCustomize();
    // Files dropped onto the window at `place` (drop_logic.h): one ROM is chosen as by
    // "Browse...", several are built one after another with the window's settings (then a
    // summary is shown), one picture on the icon or border box is chosen for it; anything
    // else is refused with a message and changes nothing.
    void OnDrop(const std::vector<std::string>& paths, DropPlace place);
    // The user asks to close the window. Returns true when it may close now (every chooser
    // still open is cancelled first, and a chooser's late result is dropped); false while a
    // build runs: the window closes when the build has ended, without "Complete!".
    bool OnCloseRequested();

    // The effects of choosing the ROM at `path` (Browse... or a drop): txtROM, txtOutput and
    // txtTitle1 from ChooseRom, "Go..." enabled (also during a build, which then refuses a
    // second start), and PSRAM enabled and checked, or, for a ROM over 16 MiB, the message
    // and then PSRAM disabled and unchecked.
    void ChooseRom(const std::string& path);
    // Sets the icon or border box (the effects of their choosers).
    void ChooseIcon(const std::string& path);
    void ChooseBorder(const std::string& path);

    // The facts the preview reads from the window.
    PreviewFacts ReadPreviewFacts();

    bool Building() const { return building_; }
    bool Choosing() const { return choosing_; }
    // The run's preview (it may outlive this window's logic).
    PreviewSlot& Preview() { return *preview_; }

    // What "Go..." builds: the controls as they are now.
    BuildRequest ReadBuildRequest();

    // The controls a build reads, answered from the view at the moment of the call.
    std::string RomPath();
    std::string OutputFolder();
    std::string Title(int line);  // line in 1..3
    std::string IconFile();
    std::string BorderFile();
    bool CustomizeOpen() const { return customizeOpen_; }
    int PsramValue();
    int CompressionValue();
    void SetGoEnabled(bool enabled);
    void ShowMessage(const std::string& text);

  protected:
    MainWindowView& view() { return view_; }
    // Runs a handler body; an error that escapes it is shown as a message.
    template <typename Body>
    void Guarded(Body&& body);
    // Opens a chooser through `ask` and puts its answer in `answer`; false when the window
    // was closed or destroyed meanwhile (then nothing of this object may be touched).
    template <typename Ask>
    bool AskChooser(Ask&& ask, std::string& answer);

  private:
    void ApplyPanel(const PanelLayout& layout);
    // Tells once per run that the installation holds the stand-in DS images; false when the
    // window went away while the message was up.
    bool TellStandInsOnce();
    void BuildBatch(const std::vector<std::string>& roms, const std::vector<std::string>& icons);

    MainWindowView& view_;
    ToolRunner runner_;
    bool customizeOpen_ = false;
    bool building_ = false;
    bool choosing_ = false;  // a file chooser or the folder browser is open
    bool standInsChecked_ = false;
    bool closeRequested_ = false;  // asked to close while a build ran
    bool closed_ = false;          // closed while a chooser may still be open
    // Cleared by the destructor; a handler holding a copy can tell that the logic is gone
    // after a chooser's nested event loop returns.
    std::shared_ptr<bool> alive_;
    std::unique_ptr<PreviewSlot> preview_;
};

}  // namespace pellix::app
