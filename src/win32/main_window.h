// frmPellix on Windows: the designed window over the shared main-window logic. It draws,
// forwards events to the logic and answers the logic's view calls; it decides nothing.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "win32/design_window.h"
#include "app/main_window_logic.h"

namespace pellix::win32 {

class MainWindow : public DesignWindow, public app::MainWindowView {
  public:
    MainWindow();
    ~MainWindow() override;

    // Creates the window, shows it with `show` (the SW_ value the program was started
    // with) and puts the focus where the logic says.
    void Open(int show);

    app::MainWindowLogic& logic() { return logic_; }

    // MainWindowView.
    std::string Text(app::MainControl control) override;
    void SetText(app::MainControl control, const std::string& text) override;
    app::Check CheckValue(app::MainControl control) override;
    void SetCheckValue(app::MainControl control, app::Check value) override;
    void SetEnabled(app::MainControl control, bool enabled) override;
    void SetVisible(app::MainControl control, bool visible) override;
    void Place(app::MainControl control, const app::TwipsRect& rect) override;
    void SetWindowHeight(int outerTwips, int clientTwips) override;
    app::TwipsRectF OuterGeometry() override;
    void SetFocus(app::MainControl control) override;
    void ShowMessage(const std::string& text) override;
    std::string OpenFile(const app::FileDialogRequest& request) override;
    std::string BrowseFolder(const app::FolderDialogRequest& request) override;
    void CancelChoosers() override;
    void CloseWindow() override;
    void SetBusy(bool busy) override;
    app::PreviewView* CreatePreview(std::function<void()> unloaded) override;
    void BatchStarted(std::size_t count) override;
    void BatchStep(std::size_t index, std::size_t count, const std::string& rom) override;
    bool BatchCancelled() override;
    void BatchFinished() override;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnCommand(int id, int code);
    void OnDropFiles(HDROP drop);

    app::MainWindowLogic logic_;
    int choosersOpen_ = 0;
    bool busy_ = false;
    class BatchDialog;
    std::unique_ptr<BatchDialog> batch_;
};

// Message boxes of the program: the caption "Quillmere" and one OK button, owned by and
// centred on `owner` (the screen's centre when it is null).
void ShowMessageBox(HWND owner, const std::string& text);

}  // namespace pellix::win32
