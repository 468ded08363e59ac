// frmPellix: the shared design drawn with Qt widgets, its events forwarded to the shared logic.
#include "ui/frm_pellix.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QUrl>

#include "ui/chooser_loop.h"
#include "ui/design_widgets.h"
#include "ui/frm_preview.h"
#include "app/main_window_logic.h"
#include "ui/qt_file_dialog.h"
#include "ui/qt_folder_dialog.h"
#include "builder/shell_wait.h"

namespace pellix::ui {

using app::MainControl;

// The window's controls as the shared logic sees them.
class frmPellix::View : public app::MainWindowView {
  public:
    explicit View(frmPellix& window) : w_(window) {}

    QWidget* Control(MainControl control) const {
        return w_.controls_.at(static_cast<std::size_t>(control));
    }

    std::string Text(MainControl control) override {
        const QWidget* widget = Control(control);
        if (auto* box = qobject_cast<const QLineEdit*>(widget)) return ToUtf8(box->text());
        return ToUtf8(widget->property("text").toString());
    }
    void SetText(MainControl control, const std::string& text) override {
        Control(control)->setProperty("text", FromUtf8(text));
    }
    app::Check CheckValue(MainControl control) override {
        auto* box = qobject_cast<const QCheckBox*>(Control(control));
        if (!box) return app::Check::Unchecked;
        switch (box->checkState()) {
            case Qt::Checked:
                return app::Check::Checked;
            case Qt::PartiallyChecked:
                return app::Check::Greyed;
            default:
                return app::Check::Unchecked;
        }
    }
    void SetCheckValue(MainControl control, app::Check value) override {
        if (auto* box = qobject_cast<QCheckBox*>(Control(control))) {
            box->setCheckState(value == app::Check::Checked  ? Qt::Checked
                               : value == app::Check::Greyed ? Qt::PartiallyChecked
                                                             : Qt::Unchecked);
        }
    }
    void SetEnabled(MainControl control, bool enabled) override {
        Control(control)->setEnabled(enabled);
    }
    void SetVisible(MainControl control, bool visible) override {
        Control(control)->setVisible(visible);
    }
    void Place(MainControl control, const app::TwipsRect& rect) override {
        Control(control)->setGeometry(Pixels(rect));
    }
    void SetWindowHeight(int /*outerTwips*/, int clientTwips) override {
        // Title bars differ from the design's; the client height keeps the bottom banner
        // flush with the client area's bottom edge.
        w_.resize(w_.width(), Pixels(clientTwips));
    }
    app::TwipsRectF OuterGeometry() override {
        const QRect frame = w_.frameGeometry();
        return {app::PixelsToTwipsF(frame.x()), app::PixelsToTwipsF(frame.y()),
                app::PixelsToTwipsF(frame.width()), app::PixelsToTwipsF(frame.height())};
    }
    void SetFocus(MainControl control) override { Control(control)->setFocus(); }
    void ShowMessage(const std::string& text) override { w_.messageBox_(&w_, FromUtf8(text)); }
    std::string OpenFile(const app::FileDialogRequest& request) override {
        return w_.choosers_.openFile(request.filter, request.defaultExt, request.initialDir,
                                     request.flags, nullptr);
    }
    std::string BrowseFolder(const app::FolderDialogRequest& request) override {
        return w_.choosers_.browseFolder(&w_, request.title, request.flags, request.root);
    }
    void CancelChoosers() override {
        if (w_.choosers_.closeAll) w_.choosers_.closeAll();
    }
    void CloseWindow() override { w_.close(); }
    app::PreviewView* CreatePreview(std::function<void()> unloaded) override {
        return new frmPreview(std::move(unloaded), w_.windowIcon(),
                              QSizeF(w_.frameGeometry().size() - w_.geometry().size()));
    }

    void BatchStarted(std::size_t count) override {
        auto* dialog = new QProgressDialog(&w_);
        dialog->setObjectName("batchProgress");
        dialog->setWindowTitle(QString::fromUtf8(app::kMessageCaption));
        dialog->setRange(0, static_cast<int>(count));
        dialog->setMinimumDuration(0);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        // Not modal: as during a single build, the window stays usable.
        dialog->setWindowModality(Qt::NonModal);
        dialog->show();
        w_.batchDialog_ = dialog;
    }
    void BatchStep(std::size_t index, std::size_t count, const std::string& rom) override {
        if (!w_.batchDialog_) return;
        w_.batchDialog_->setValue(static_cast<int>(index));
        w_.batchDialog_->setLabelText(
            QStringLiteral("Building %1 of %2: %3").arg(index + 1).arg(count).arg(FromUtf8(rom)));
    }
    bool BatchCancelled() override { return w_.batchDialog_ && w_.batchDialog_->wasCanceled(); }
    void BatchFinished() override {
        delete w_.batchDialog_;
        w_.batchDialog_ = nullptr;
    }

  private:
    frmPellix& w_;
};

Choosers PlatformChoosers() {
    Choosers choosers;
    choosers.openFile = &modOpenFileDialog::ShowOpenDialog;
    choosers.browseFolder = &modBrowseFolders::BrowseFolder;
    choosers.closeAll = &ui::CloseOpenChoosers;
    return choosers;
}

void PlatformMessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(app::kMessageCaption), text,
                    QMessageBox::Ok, owner);
    box.exec();
}

frmPellix::frmPellix()
    : choosers_(PlatformChoosers()),
      messageBox_(&PlatformMessageBox),
      view_(std::make_unique<View>(*this)),
      logic_(std::make_unique<app::MainWindowLogic>(*view_)) {
    // Sizable, with minimise and close buttons but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildControls();
    const app::WindowDesign& design = app::MainWindowDesign();
    resize(Pixels(design.clientWidth), Pixels(design.clientHeight));
    setAcceptDrops(true);

    // Keeps the windows live while the build waits for one of its programs.
    modShellWait::SetEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
}

frmPellix::~frmPellix() {
    modShellWait::SetEventPump({});
}

void frmPellix::BuildControls() {
    controls_ = BuildDesignedWindow(*this, app::MainWindowDesign());
    const auto get = [this](MainControl control) {
        return controls_.at(static_cast<std::size_t>(control));
    };
#define PELLIX_BIND(name, type) name = static_cast<type*>(get(MainControl::name))
    PELLIX_BIND(topBanner, QLabel);
    PELLIX_BIND(fraGame, QWidget);
    PELLIX_BIND(gameOutline, QWidget);
    PELLIX_BIND(romLabel, QLabel);
    PELLIX_BIND(romHint, QLabel);
    PELLIX_BIND(outputLabel, QLabel);
    PELLIX_BIND(txtROM, QLineEdit);
    PELLIX_BIND(cmdBrowseROM, QPushButton);
    PELLIX_BIND(txtOutput, QLineEdit);
    PELLIX_BIND(cmdBrowseFolder, QPushButton);
    PELLIX_BIND(fraName, QWidget);
    PELLIX_BIND(nameOutline, QWidget);
    PELLIX_BIND(titleLabel, QLabel);
    PELLIX_BIND(psramLabel, QLabel);
    PELLIX_BIND(compressionLabel, QLabel);
    PELLIX_BIND(chkCompression, QCheckBox);
    PELLIX_BIND(txtTitle1, QLineEdit);
    PELLIX_BIND(txtTitle2, QLineEdit);
    PELLIX_BIND(txtTitle3, QLineEdit);
    PELLIX_BIND(chkPSRAM, QCheckBox);
    PELLIX_BIND(fraCustom, QWidget);
    PELLIX_BIND(customOutline, QWidget);
    PELLIX_BIND(customHint, QLabel);
    PELLIX_BIND(iconLabel, QLabel);
    PELLIX_BIND(txtIcon, QLineEdit);
    PELLIX_BIND(cmdBrowseIcon, QPushButton);
    PELLIX_BIND(iconHint, QLabel);
    PELLIX_BIND(borderLabel, QLabel);
    PELLIX_BIND(txtBorder, QLineEdit);
    PELLIX_BIND(cmdBrowseBorder, QPushButton);
    PELLIX_BIND(borderHint, QLabel);
    PELLIX_BIND(cmdCustomize, QPushButton);
    PELLIX_BIND(cmdPreview, QPushButton);
    PELLIX_BIND(bottomBanner, QLabel);
    PELLIX_BIND(cmdGo, QPushButton);
#undef PELLIX_BIND

    // Text boxes would take a dropped file as text; the window handles drops instead.
    for (QLineEdit* box : {txtROM, txtOutput, txtTitle1, txtTitle2, txtTitle3, txtIcon, txtBorder})
        box->setAcceptDrops(false);

    app::MainWindowLogic& logic = *logic_;
    connect(cmdBrowseROM, &QPushButton::clicked, this, [&logic] { logic.OnBrowseRom(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [&logic] { logic.OnBrowseFolder(); });
    connect(cmdBrowseIcon, &QPushButton::clicked, this, [&logic] { logic.OnBrowseIcon(); });
    connect(cmdBrowseBorder, &QPushButton::clicked, this, [&logic] { logic.OnBrowseBorder(); });
    connect(cmdGo, &QPushButton::clicked, this, [&logic] { logic.OnGo(); });
    connect(cmdPreview, &QPushButton::clicked, this, [&logic] { logic.OnPreview(); });
    connect(cmdCustomize, &QPushButton::clicked, this, [&logic] { logic.OnCustomize(); });
}

void frmPellix::SetChoosers(Choosers choosers) {
    choosers_ = std::move(choosers);
}
void frmPellix::SetMessageBox(MessageBoxFn messageBox) {
    messageBox_ = std::move(messageBox);
}
void frmPellix::SetToolRunner(ToolRunner runner) {
    logic_->SetToolRunner(std::move(runner));
}

std::string frmPellix::RomPath() {
    return logic_->RomPath();
}
std::string frmPellix::OutputFolder() {
    return logic_->OutputFolder();
}
std::string frmPellix::Title(int line) {
    return logic_->Title(line);
}
std::string frmPellix::IconFile() {
    return logic_->IconFile();
}
std::string frmPellix::BorderFile() {
    return logic_->BorderFile();
}
bool frmPellix::CustomizeOpen() {
    return logic_->CustomizeOpen();
}
int frmPellix::PsramValue() {
    return logic_->PsramValue();
}
int frmPellix::CompressionValue() {
    return logic_->CompressionValue();
}
void frmPellix::SetGoEnabled(bool enabled) {
    logic_->SetGoEnabled(enabled);
}
void frmPellix::ShowMessage(const std::string& text) {
    logic_->ShowMessage(text);
}

void frmPellix::closeEvent(QCloseEvent* event) {
    if (logic_->OnCloseRequested()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void frmPellix::showEvent(QShowEvent* event) {
    logic_->OnShown();
    QWidget::showEvent(event);
    if (!started_) {
        started_ = true;
        logic_->Start();
    }
}

namespace {

// Whether some of `widget` lies inside every container above it.
bool InsideItsContainers(const QWidget* widget) {
    QRect area = widget->rect();
    for (const QWidget* at = widget; !at->isWindow() && at->parentWidget();
         at = at->parentWidget()) {
        area = area.translated(at->pos()).intersected(at->parentWidget()->rect());
        if (area.isEmpty()) return false;
    }
    return true;
}

// The local files a drag carries, as UTF-8 paths; empty when it carries anything else.
std::vector<std::string> DraggedFiles(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) return {};
        paths.push_back(ToUtf8(QDir::toNativeSeparators(url.toLocalFile())));
    }
    return paths;
}

}  // namespace

bool frmPellix::focusNextPrevChild(bool next) {
    for (std::size_t tries = 0; tries < controls_.size(); ++tries) {
        if (!QWidget::focusNextPrevChild(next)) return false;
        const QWidget* focus = focusWidget();
        if (!focus || InsideItsContainers(focus)) return true;
    }
    return true;
}

void frmPellix::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void frmPellix::dragMoveEvent(QDragMoveEvent* event) {
    if (!DraggedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void frmPellix::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = DraggedFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    const QPointF at = event->position();
    const app::DropPlace place = app::DropPlaceAt(
        app::PixelsToTwipsF(at.x()), app::PixelsToTwipsF(at.y()), logic_->CustomizeOpen());
    // The drag's source waits for the drop to return; a batch build runs after it has.
    QPointer<frmPellix> alive(this);
    QMetaObject::invokeMethod(
        this,
        [alive, paths, place] {
            if (alive) alive->logic_->OnDrop(paths, place);
        },
        Qt::QueuedConnection);
}

}  // namespace pellix::ui
