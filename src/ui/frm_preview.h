// frmPreview: the small window that shows how the package's DS menu entry will look. It draws
// the shared design; what it shows is decided by the shared preview logic.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "preview_logic.h"

namespace pellix::ui {

// What the preview reads from the main window. Each call answers from the window's
// controls at the moment of the call; the preview reads them once, while it loads.
class PreviewSource {
  public:
    virtual ~PreviewSource() = default;
    // Outer position and size of the main window (title bar and borders included), in
    // logical pixels.
    virtual QRectF FrameGeometry() const = 0;
    // Outer size minus client size of the main window, used as the preview's own frame
    // allowance until the window system has drawn a frame around it.
    virtual QSizeF FrameExtra() const = 0;
    virtual QString CustomizeCaption() const = 0;      // caption of cmdCustomize
    virtual QString IconText() const = 0;              // text of txtIcon, as typed
    virtual QString TitleText(int line) const = 0;     // text of txtTitle1..3, line in 1..3
    virtual QIcon WindowIcon() const = 0;              // the main window's icon
    virtual QString BorderText() const { return {}; }  // text of txtBorder, as typed
};

// Reads a main window through its children, found by objectName (cmdCustomize, txtIcon,
// txtTitle1..3). A child that is missing reads as "".
class WidgetPreviewSource : public PreviewSource {
  public:
    explicit WidgetPreviewSource(const QWidget* mainWindow) : main_(mainWindow) {}
    QRectF FrameGeometry() const override;
    QSizeF FrameExtra() const override;
    QString CustomizeCaption() const override;
    QString IconText() const override;
    QString TitleText(int line) const override;
    QIcon WindowIcon() const override;
    QString BorderText() const override;

  private:
    QString ChildText(const char* name) const;
    const QWidget* main_;
};

// A picture that the preview cannot load; what() names the file and the reason.
class PictureLoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The preview window. Create it only through ShowPreview, which keeps one at a time.
class frmPreview : public QWidget, public app::PreviewView {
    Q_OBJECT
  public:
    // Builds the designed, empty window: placeholder background, no icon, empty titles.
    frmPreview();

    // The outer frame (title bar and borders) the window is taken to have until the window
    // system has drawn one around it: the main window's.
    void SetFrameExtra(const QSizeF& extra) { frameExtra_ = extra; }

    // app::PreviewView over the controls.
    app::TwipsSizeF OuterSize() override;
    void MoveTo(double leftTwips, double topTwips) override;
    std::string LoadPicture(app::PreviewControl box, const std::string& path) override;
    void SetText(app::PreviewControl label, const std::string& text) override;
    bool ShowIcon(const app::IconImage& icon) override;
    bool ShowBorder(const app::BorderImage& border) override;
    void ShowMessage(const std::string& text) override;

    // Runs the preview logic's load against `main` (centred over it, background, icon
    // choice, title lines, icon). Throws PictureLoadError at the first picture that cannot
    // be loaded; the later steps are then not made.
    void Form_Load(const PreviewSource& main);

    // The controls, by their design names (also their objectNames).
    QLabel* picBG = nullptr;
    QLabel* lblTitle1 = nullptr;
    QLabel* lblTitle2 = nullptr;
    QLabel* lblTitle3 = nullptr;
    QLabel* picIcon = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* picBorder = nullptr;  // beyond the design: a custom border as the top screen

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void cmdClose_Click();
    QWidget* Control(app::PreviewControl control) const;

    std::vector<QWidget*> controls_;  // by app::PreviewControl
    QSizeF frameExtra_;
};

// cmdPreview_Click's body for the facts the main window's logic read. When no preview is
// loaded, creates one (with the main window's frame allowance and icon), runs the preview
// logic's load and shows it modeless with no owner; when one is loaded, only raises it. A
// picture that cannot be loaded is reported and no preview stays open.
void ShowPreview(const app::PreviewFacts& facts, const QSizeF& frameExtra, const QIcon& icon);

// The same for a main window seen through a PreviewSource. A picture that cannot be loaded
// is reported through the message handler; the next call tries again.
void ShowPreview(const PreviewSource& main);
// The same, reading the children of `mainWindow` (see WidgetPreviewSource).
void ShowPreview(QWidget* mainWindow);

// The loaded preview, or nullptr when none is loaded.
frmPreview* CurrentPreview();

// Shows one message (caption "Quillmere", one OK button) and returns once it is dismissed.
using PreviewMessage = std::function<void(const QString& text)>;
// Replaces the message handler; an empty function restores the default message box.
void SetPreviewMessageHandler(PreviewMessage handler);

}  // namespace pellix::ui
