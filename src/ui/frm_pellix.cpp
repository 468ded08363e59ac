// frmPellix: layout, customisation panel, browse handlers and the window's side of the build.
#include "frm_pellix.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>

#include <exception>
#include <iterator>

#include "app_directory.h"
#include "browse_folders.h"
#include "chooser_loop.h"
#include "frm_preview.h"
#include "modio.h"
#include "open_file_dialog.h"
#include "rom_choice.h"
#include "shell_wait.h"

namespace pellix::ui {

namespace {

// The window icon: a 256-colour bitmap whose background is the window's own cyan, shown
// transparent in title bars and task lists.
QIcon WindowIcon() {
    QPixmap picture(QStringLiteral(":/window/icon.bmp"));
    if (!picture.isNull()) {
        picture.setMask(picture.createMaskFromColor(QColor(195, 246, 246)));
    }
    return QIcon(picture);
}

// The design is in twips; 15 twips make one logical pixel.
constexpr int Px(int twips) {
    return twips / 15;
}

const char kMessageCaption[] = "Quillmere";
const char kComplete[] = "Complete!";
const char kCustomizeFolded[] = "Customize the NDS (+)";
const char kCustomizeUnfolded[] = "Customize the NDS (-)";

const char kRomFilter[] = "GBA ROMs|*.gba|All files|*.*";
const char kIconFilter[] = "Bitmap images|*.bmp|All files|*.*";
const char kBorderFilter[] = "Bitmap images|*.bmp|PNG images|*.png|All files|*.*";

const QColor kWindowBack(195, 246, 246);
const QColor kPanelBack(0, 224, 224);
const QColor kTextBoxBack(0, 128, 128);
const QColor kTextBoxText(255, 255, 255);
const QColor kLabelText(0, 128, 128);
const QColor kOutline(0, 128, 128);

// Heights and tops that the customisation panel switches between (twips).
struct PanelLayout {
    int goTop;
    int bottomBannerTop;
    int customHeight;
    int clientHeight;
    const char* caption;
    bool noteShown;
};
constexpr PanelLayout kFolded{5400, 5160, 495, 6015, kCustomizeFolded, false};
constexpr PanelLayout kUnfolded{6720, 6510, 1695, 7365, kCustomizeUnfolded, true};
constexpr int kClientWidth = 8535;

QFont ArialFont(qreal points, bool bold = false) {
    QFont font;
    font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont SansSerifFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

void Place(QWidget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

// A borderless, captionless frame: a panel of its own colour.
QWidget* MakePanel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* panel = new QWidget(parent);
    Place(panel, name, left, top, width, height);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, kPanelBack);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    return panel;
}

// The one-pixel outline drawn around a panel; not filled and deaf to the mouse.
class ShapeOutline : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(kOutline);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QWidget* MakeShape(QWidget* panel, const char* name) {
    auto* shape = new ShapeOutline(panel);
    Place(shape, name, 0, 0, panel->width() * 15, panel->height() * 15);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    return shape;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top,
                  int width, int height, qreal points, const QColor& colour = kLabelText) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    Place(label, name, left, top, width, height);
    label->setFont(ArialFont(points));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, int left, int top) {
    auto* box = new QLineEdit(parent);
    Place(box, name, left, top, 4215, 285);
    box->setFont(SansSerifFont());
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, kTextBoxBack);
    palette.setColor(QPalette::Text, kTextBoxText);
    box->setPalette(palette);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height, const QFont& font) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    Place(button, name, left, top, width, height);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, int left, int top) {
    auto* box = new QCheckBox(parent);
    Place(box, name, left, top, 255, 255);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, kPanelBack);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    box->setCheckState(Qt::Checked);
    return box;
}

QLabel* MakePicture(QWidget* parent, const char* name, const char* resource, int top) {
    auto* picture = new QLabel(parent);
    Place(picture, name, 0, top, 8685, 855);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QPixmap pixmap(QString::fromUtf8(resource));
    if (!pixmap.isNull()) {
        picture->setPixmap(pixmap);
    }
    return picture;
}

// A check box's value as the build counts it: 0 unchecked, 1 checked, 2 greyed.
int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

std::string Text(const QLineEdit* box) {
    return box->text().toStdString();
}
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

Choosers PlatformChoosers() {
    Choosers choosers;
    choosers.openFile = &modOpenFileDialog::ShowOpenDialog;
    choosers.browseFolder = &modBrowseFolders::BrowseFolder;
    choosers.closeAll = &platform::CloseOpenChoosers;
    return choosers;
}

void PlatformMessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kMessageCaption, text, QMessageBox::Ok, owner);
    box.exec();
}

frmPellix::frmPellix()
    : choosers_(PlatformChoosers()),
      messageBox_(&PlatformMessageBox),
      runner_(&modShellWait::RunAndWait) {
    setObjectName("frmPellix");
    setWindowTitle("Quillmere v1.2.1 GUI (by Fennbrook)");
    // Sizable, with minimise and close buttons but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(WindowIcon());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowBack);
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(SansSerifFont());
    resize(Px(kClientWidth), Px(kFolded.clientHeight));

    BuildControls();
    SetTabOrder();

    // Keeps the windows live while the build waits for one of its programs.
    modShellWait::SetEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
}

frmPellix::~frmPellix() {
    modShellWait::SetEventPump({});
}

void frmPellix::BuildControls() {
    const QFont arial = ArialFont(8.25);

    // Created back to front: the pictures and panels first, then the controls that belong
    // to the window and lie over them.
    Picture1 = MakePicture(this, "Picture1", ":/window/top_banner.bmp", 0);

    fraGame = MakePanel(this, "fraGame", 720, 960, 7095, 1215);
    Shape2 = MakeShape(fraGame, "Shape2");
    Label1 = MakeLabel(fraGame, "Label1", "GBA ROM File:", 120, 240, 1215, 255, 8.25);
    Label6 = MakeLabel(fraGame, "Label6", "Put a GBA file here.", 1440, 540, 3975, 255, 6.75);
    Label2 = MakeLabel(fraGame, "Label2", "Output Folder:", 120, 720, 1215, 255, 8.25);

    fraName = MakePanel(this, "fraName", 720, 2400, 7095, 1935);
    Shape1 = MakeShape(fraName, "Shape1");
    Label3 = MakeLabel(fraName, "Label3", "Game Title:", 120, 240, 1095, 255, 8.25);
    Label10 = MakeLabel(fraName, "Label10", "Use PSRAM:", 120, 1620, 1095, 255, 8.25);
    Label11 = MakeLabel(fraName, "Label11", "Use Compression:", 2400, 1620, 1455, 255, 8.25);
    chkCompression = MakeCheckBox(fraName, "chkCompression", 3960, 1620);

    // The icon and border rows live inside the panel, so its height clips them away.
    fraCustom = MakePanel(this, "fraCustom", 720, 4560, 7095, kFolded.customHeight);
    Shape3 = MakeShape(fraCustom, "Shape3");
    Label9 = MakeLabel(fraCustom, "Label9", "Leave textboxes blank for default/original pictures.",
                       120, 420, 3975, 255, 6.75);
    Label9->hide();
    Label4 = MakeLabel(fraCustom, "Label4", "Icon:", 240, 720, 495, 255, 8.25, Qt::black);
    txtIcon = MakeTextBox(fraCustom, "txtIcon", 1320, 720);
    cmdBrowseIcon =
        MakeButton(fraCustom, "cmdBrowseIcon", "Browse...", 5640, 720, 1215, 255, arial);
    Label7 = MakeLabel(fraCustom, "Label7", "The icon - 32x32, 4 bit color", 1440, 1020, 3975, 255,
                       6.75);
    Label5 = MakeLabel(fraCustom, "Label5", "Border:", 240, 1200, 855, 255, 8.25, Qt::black);
    txtBorder = MakeTextBox(fraCustom, "txtBorder", 1320, 1200);
    cmdBrowseBorder =
        MakeButton(fraCustom, "cmdBrowseBorder", "Browse...", 5640, 1200, 1215, 255, arial);
    Label8 = MakeLabel(fraCustom, "Label8", "The border image - 256x192, 24 bit color", 1440, 1500,
                       3975, 255, 6.75);

    Picture2 = MakePicture(this, "Picture2", ":/window/bottom_banner.bmp", kFolded.bottomBannerTop);

    txtROM = MakeTextBox(this, "txtROM", 2040, 1200);
    cmdBrowseROM = MakeButton(this, "cmdBrowseROM", "Browse...", 6360, 1200, 1215, 255, arial);
    txtOutput = MakeTextBox(this, "txtOutput", 2040, 1680);
    cmdBrowseFolder =
        MakeButton(this, "cmdBrowseFolder", "Select...", 6360, 1680, 1215, 255, arial);
    txtTitle1 = MakeTextBox(this, "txtTitle1", 2040, 2640);
    txtTitle2 = MakeTextBox(this, "txtTitle2", 2040, 3120);
    txtTitle3 = MakeTextBox(this, "txtTitle3", 2040, 3600);
    chkPSRAM = MakeCheckBox(this, "chkPSRAM", 2040, 4020);
    cmdCustomize = MakeButton(this, "cmdCustomize", kFolded.caption, 840, 4680, 2295, 255, arial);
    cmdPreview = MakeButton(this, "cmdPreview", "Preview NDS...", 5880, 4680, 1815, 255, arial);
    cmdGo =
        MakeButton(this, "cmdGo", "Go...", 3000, kFolded.goTop, 2415, 495, ArialFont(9.75, true));
    cmdGo->setEnabled(false);

    connect(cmdBrowseROM, &QPushButton::clicked, this, [this] { cmdBrowseROM_Click(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [this] { cmdBrowseFolder_Click(); });
    connect(cmdBrowseIcon, &QPushButton::clicked, this, [this] { cmdBrowseIcon_Click(); });
    connect(cmdBrowseBorder, &QPushButton::clicked, this, [this] { cmdBrowseBorder_Click(); });
    connect(cmdGo, &QPushButton::clicked, this, [this] { cmdGo_Click(); });
    connect(cmdPreview, &QPushButton::clicked, this, [this] { cmdPreview_Click(); });
    connect(cmdCustomize, &QPushButton::clicked, this, [this] { cmdCustomize_Click(); });
}

void frmPellix::SetTabOrder() {
    // The designed keyboard order among the controls that take the focus.
    const QWidget* const order[] = {txtROM,        txtOutput,       txtTitle1,    txtTitle2,
                                    txtTitle3,     cmdPreview,      cmdCustomize, cmdGo,
                                    txtIcon,       txtBorder,       cmdBrowseROM, cmdBrowseFolder,
                                    cmdBrowseIcon, cmdBrowseBorder, chkPSRAM,     chkCompression};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }
}

void frmPellix::SetChoosers(Choosers choosers) {
    choosers_ = std::move(choosers);
}
void frmPellix::SetMessageBox(MessageBoxFn messageBox) {
    messageBox_ = std::move(messageBox);
}
void frmPellix::SetToolRunner(ToolRunner runner) {
    runner_ = std::move(runner);
}

std::string frmPellix::RomPath() {
    return Text(txtROM);
}
std::string frmPellix::OutputFolder() {
    return Text(txtOutput);
}

std::string frmPellix::Title(int line) {
    switch (line) {
        case 1:
            return Text(txtTitle1);
        case 2:
            return Text(txtTitle2);
        case 3:
            return Text(txtTitle3);
        default:
            return "";
    }
}

std::string frmPellix::IconFile() {
    return Text(txtIcon);
}
std::string frmPellix::BorderFile() {
    return Text(txtBorder);
}
bool frmPellix::CustomizeOpen() {
    return customizeOpen_;
}
int frmPellix::PsramValue() {
    return CheckValue(chkPSRAM);
}
int frmPellix::CompressionValue() {
    return CheckValue(chkCompression);
}
void frmPellix::SetGoEnabled(bool enabled) {
    cmdGo->setEnabled(enabled);
}

void frmPellix::ShowMessage(const std::string& text) {
    // Whoever asked to close during the build is not kept waiting for a success box;
    // failures are still told.
    if (closeRequested_ && text == kComplete) {
        return;
    }
    messageBox_(this, Q(text));
}

void frmPellix::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        messageBox_(this, QString::fromUtf8(error.what()));
    }
}

void frmPellix::closeEvent(QCloseEvent* event) {
    if (building_) {
        // The build still reads the controls and must deliver and clean up; the window
        // closes when it has ended.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    closed_ = true;
    if (choosers_.closeAll) {
        choosers_.closeAll();
    }
    event->accept();
}

void frmPellix::showEvent(QShowEvent* event) {
    closed_ = false;
    QWidget::showEvent(event);
}

void frmPellix::cmdBrowseROM_Click() {
    Guarded([this] {
        QPointer<frmPellix> alive(this);
        const std::string path = choosers_.openFile(kRomFilter, "gba", ApplicationDirectory(),
                                                    modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        if (!alive || closed_) {
            return;  // the window was closed while the dialog was open
        }
        const app::RomChoice choice = app::ChooseRom(path);
        txtROM->setText(Q(choice.romPath));
        txtOutput->setText(Q(choice.outputFolder));
        txtTitle1->setText(Q(choice.title1));
        // Enabled even while a build runs; cmdGo_Click then refuses to start a second one.
        cmdGo->setEnabled(true);
        if (!choice.psramAllowed) {
            messageBox_(this, app::kRomTooLarge);
            chkPSRAM->setEnabled(false);
            chkPSRAM->setCheckState(Qt::Unchecked);
        } else {
            chkPSRAM->setEnabled(true);
            chkPSRAM->setCheckState(Qt::Checked);
        }
    });
}

void frmPellix::cmdBrowseFolder_Click() {
    Guarded([this] {
        QPointer<frmPellix> alive(this);
        const std::string folder =
            choosers_.browseFolder(this, "Select a Folder", modBrowseFolders::BIF_RETURNONLYFSDIRS,
                                   modBrowseFolders::CSIDL_DESKTOP);
        if (alive && !closed_) {
            txtOutput->setText(Q(folder));
        }
    });
}

void frmPellix::cmdBrowseIcon_Click() {
    Guarded([this] {
        QPointer<frmPellix> alive(this);
        const std::string path = choosers_.openFile(kIconFilter, "bmp", ApplicationDirectory(),
                                                    modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        if (alive && !closed_) {
            txtIcon->setText(Q(path));
        }
    });
}

void frmPellix::cmdBrowseBorder_Click() {
    Guarded([this] {
        QPointer<frmPellix> alive(this);
        const std::string path = choosers_.openFile(kBorderFilter, "bmp", ApplicationDirectory(),
                                                    modOpenFileDialog::OFN_FILEMUSTEXIST, nullptr);
        if (alive && !closed_) {
            txtBorder->setText(Q(path));
        }
    });
}

void frmPellix::cmdGo_Click() {
    if (building_) {
        return;
    }
    building_ = true;
    Guarded([this] { RunBuild(*this, ApplicationDirectory(), runner_); });
    building_ = false;
    if (closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void frmPellix::cmdPreview_Click() {
    Guarded([this] { ShowPreview(this); });
}

void frmPellix::cmdCustomize_Click() {
    if (customizeOpen_) {
        CollapseCustomize();
        customizeOpen_ = false;
    } else {
        ExpandCustomize();
        customizeOpen_ = true;
    }
}

namespace {

// The seven changes of a fold or unfold, in their order. The window's height is set as a
// client height, so title bars of any size leave the bottom banner flush with the bottom.
void ApplyPanelLayout(frmPellix& window, const PanelLayout& layout) {
    window.cmdGo->move(window.cmdGo->x(), Px(layout.goTop));
    window.Picture2->move(window.Picture2->x(), Px(layout.bottomBannerTop));
    window.fraCustom->resize(window.fraCustom->width(), Px(layout.customHeight));
    window.Shape3->resize(window.Shape3->width(), Px(layout.customHeight));
    window.resize(window.width(), Px(layout.clientHeight));
    window.cmdCustomize->setText(QString::fromUtf8(layout.caption));
    window.Label9->setVisible(layout.noteShown);
}

}  // namespace

void frmPellix::CollapseCustomize() {
    ApplyPanelLayout(*this, kFolded);
}
void frmPellix::ExpandCustomize() {
    ApplyPanelLayout(*this, kUnfolded);
}

}  // namespace pellix::ui
