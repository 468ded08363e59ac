// frmPreview: the small window that shows how the package's DS menu entry will look. It draws
// the shared design and the pixels the shared preview logic hands it; it decides nothing.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "app/preview_logic.h"

namespace pellix::ui {

// The preview window. The main window's logic makes it (MainWindowView::CreatePreview) and
// decides its life; it deletes itself when closed.
class frmPreview : public QWidget, public app::PreviewView {
    Q_OBJECT
  public:
    // Builds the designed, empty, hidden window: a fixed dialog with the main window's
    // `icon`, placeholder background, no icon, empty titles. `frameExtra` is the frame
    // (title bar and borders) it is taken to have until the window system has drawn one
    // around it: the main window's. `unloaded` runs once, when the window goes.
    frmPreview(std::function<void()> unloaded, const QIcon& icon, const QSizeF& frameExtra);
    ~frmPreview() override;

    // app::PreviewView over the controls.
    app::TwipsSizeF OuterSize() override;
    void MoveTo(double leftTwips, double topTwips) override;
    void SetPicture(app::PreviewControl box, const app::Image& image) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    void SetTextColour(app::PreviewControl label, const app::Colour& colour) override;
    void SetAccessibleName(app::PreviewControl box, const std::string& name) override;
    void SetVisible(app::PreviewControl control, bool visible) override;
    void SetClientSize(int widthTwips, int heightTwips) override;
    void Show() override;
    void BringForward() override;
    void Discard() override;

    // The control of a row of the design.
    QWidget* Control(app::PreviewControl control) const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Unloaded();

    std::vector<QWidget*> controls_;  // by app::PreviewControl
    QSizeF frameExtra_;
    std::function<void()> unloaded_;
};

}  // namespace pellix::ui
