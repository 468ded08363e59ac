// frmPellix: the main window, whose controls are the only store of a build's settings. It draws
// the shared design and forwards its events to the shared main window logic.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/build_pipeline.h"

class QProgressDialog;

namespace pellix::app {
class MainWindowLogic;
}

namespace pellix::ui {

// The choosers the browse buttons call. The window starts with the platform's dialogs;
// tests put their own in place.
struct Choosers {
    // Same contract as modOpenFileDialog::ShowOpenDialog: the chosen file or "".
    std::function<std::string(const std::string& filter, const std::string& defaultExt,
                              const std::string& initialDir, std::uint32_t flags, QWidget* owner)>
        openFile;
    // Same contract as modBrowseFolders::BrowseFolder: the chosen folder or "".
    std::function<std::string(QWidget* owner, const std::string& title, std::uint32_t flags,
                              std::int32_t root)>
        browseFolder;
    // Cancels every chooser still open; called when the window closes.
    std::function<void()> closeAll;
};

// The platform's file dialog and folder browser.
Choosers PlatformChoosers();

// Shows one message (caption "Quillmere", one OK button) over `owner` and returns once it
// has been dismissed.
using MessageBoxFn = std::function<void(QWidget* owner, const QString& text)>;
void PlatformMessageBox(QWidget* owner, const QString& text);

// The main window. Its handlers (app::MainWindowLogic) read and write the controls; the
// build takes what they hold when "Go..." is pressed.
// Files dropped onto it go to the same logic: ROMs anywhere, pictures onto the icon or
// border row while the panel is open.
class frmPellix : public QWidget {
    Q_OBJECT
  public:
    // Builds the designed start state: panel folded, boxes empty, "Go..." disabled, both
    // check boxes checked, client area 569 x 401; the focus goes to txtROM when first shown.
    // Installs the event pump the tool runner calls while a build waits for a program.
    frmPellix();
    ~frmPellix() override;

    // Seams for tests: the choosers, the message box and the runner of the build's programs.
    void SetChoosers(Choosers choosers);
    void SetMessageBox(MessageBoxFn messageBox);
    void SetToolRunner(ToolRunner runner);

    // What a build reads, answered from the controls at the moment of the call.
    std::string RomPath();
    std::string OutputFolder();
    std::string Title(int line);
    std::string IconFile();
    std::string BorderFile();
    bool CustomizeOpen();
    int PsramValue();
    int CompressionValue();
    void SetGoEnabled(bool enabled);
    void ShowMessage(const std::string& text);

    // The progress dialog of a batch build of dropped ROMs, while one runs; else nullptr.
    QProgressDialog* BatchDialog() const { return batchDialog_; }

    // The controls, by their design names (also their objectNames). Frames and shapes are
    // plain widgets; the picture boxes are labels holding the banner pictures.
    QLabel* topBanner = nullptr;
    QWidget* fraGame = nullptr;
    QWidget* gameOutline = nullptr;
    QLabel* romLabel = nullptr;
    QLabel* romHint = nullptr;
    QLabel* outputLabel = nullptr;
    QLineEdit* txtROM = nullptr;
    QPushButton* cmdBrowseROM = nullptr;
    QLineEdit* txtOutput = nullptr;
    QPushButton* cmdBrowseFolder = nullptr;
    QWidget* fraName = nullptr;
    QWidget* nameOutline = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* psramLabel = nullptr;
    QLabel* compressionLabel = nullptr;
    QCheckBox* chkCompression = nullptr;
    QLineEdit* txtTitle1 = nullptr;
    QLineEdit* txtTitle2 = nullptr;
    QLineEdit* txtTitle3 = nullptr;
    QCheckBox* chkPSRAM = nullptr;
    QWidget* fraCustom = nullptr;
    QWidget* customOutline = nullptr;
    QLabel* customHint = nullptr;
    QLabel* iconLabel = nullptr;
    QLineEdit* txtIcon = nullptr;
    QPushButton* cmdBrowseIcon = nullptr;
    QLabel* iconHint = nullptr;
    QLabel* borderLabel = nullptr;
    QLineEdit* txtBorder = nullptr;
    QPushButton* cmdBrowseBorder = nullptr;
    QLabel* borderHint = nullptr;
    QPushButton* cmdCustomize = nullptr;
    QPushButton* cmdPreview = nullptr;
    QLabel* bottomBanner = nullptr;
    QPushButton* cmdGo = nullptr;

  protected:
    // While a build runs the close is put off until the build has ended; otherwise any
    // chooser still open is cancelled and its result dropped.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Tab and Shift+Tab pass over the controls the folded panel cuts away, as over hidden
    // ones, so the focus is always where it can be seen.
    bool focusNextPrevChild(bool next) override;
    // Local files may be dropped anywhere on the window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    class View;
    friend class View;

    void BuildControls();

    Choosers choosers_;
    MessageBoxFn messageBox_;
    std::vector<QWidget*> controls_;  // by app::MainControl
    QProgressDialog* batchDialog_ = nullptr;
    bool started_ = false;
    std::unique_ptr<View> view_;
    std::unique_ptr<app::MainWindowLogic> logic_;
};

}  // namespace pellix::ui
