// frmPreview on Windows: the designed preview drawing the pixels of the shared preview logic,
// a fixed dialog with the program's icon and no taskbar button of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "win32/design_window.h"
#include "app/preview_logic.h"

namespace pellix::win32 {

class PreviewWindow : public DesignWindow, public app::PreviewView {
  public:
    // A new preview window, created hidden (MainWindowView::CreatePreview). It deletes
    // itself when destroyed, after calling `unloaded`.
    static PreviewWindow* Make(std::function<void()> unloaded);

    // PreviewView.
    app::TwipsSizeF OuterSize() override;
    void MoveTo(double leftTwips, double topTwips) override;
    // Clear pixels take the dialog colour: the logic has already laid the icon over the
    // entry beneath it.
    void SetPicture(app::PreviewControl box, const app::Image& image) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    void SetTextColour(app::PreviewControl label, const app::Colour& colour) override;
    void SetAccessibleName(app::PreviewControl box, const std::string& name) override;
    void SetVisible(app::PreviewControl control, bool visible) override;
    void SetClientSize(int widthTwips, int heightTwips) override;
    void Show() override;
    void BringForward() override;
    void Discard() override;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyed() override;

  private:
    explicit PreviewWindow(std::function<void()> unloaded);
    ~PreviewWindow() override = default;

    std::function<void()> unloaded_;
};

}  // namespace pellix::win32
