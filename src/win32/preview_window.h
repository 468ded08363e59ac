// frmPreview on Windows: the designed preview over the shared preview logic, a modeless
// tool window with no owner, one at a time.
#pragma once

#include <windows.h>

#include <string>

#include "design_window.h"
#include "preview_logic.h"

namespace pellix::win32 {

class PreviewWindow : public DesignWindow, public app::PreviewView {
  public:
    // When no preview is loaded, creates one, loads it from `facts` and shows it modeless
    // with no owner (a picture that cannot be loaded is reported and no preview stays);
    // when one is loaded, only brings it to the front.
    static void ShowFor(const app::PreviewFacts& facts);

    // The loaded preview, or null.
    static PreviewWindow* Current();

    // PreviewView.
    app::TwipsSizeF OuterSize() override;
    void MoveTo(double leftTwips, double topTwips) override;
    std::string LoadPicture(app::PreviewControl box, const std::string& path) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    // The icon the package will hold, its clear pixels showing the background beneath.
    bool ShowIcon(const app::IconImage& icon) override;
    void ShowMessage(const std::string& text) override;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

  private:
    PreviewWindow();
    ~PreviewWindow() override;
};

}  // namespace pellix::win32
