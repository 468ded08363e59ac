// modOpenFileDialog over QFileDialog (the platform's native dialog where it has one).
#include "ui/qt_file_dialog.h"

#include <QDir>
#include <QFileDialog>

#include "ui/chooser_loop.h"
#include "app/file_filter.h"

namespace pellix::modOpenFileDialog {

QStringList NameFilters(const std::string& filter) {
    QStringList filters;
    for (const app::FilterEntry& entry : app::FilterEntries(filter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.patterns) {
            patterns << QString::fromUtf8(pattern.c_str());
        }
        filters << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(entry.description.c_str()),
                                                 patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

std::string ShowOpenDialog(const std::string& filter, const std::string& defaultExt,
                           const std::string& initialDir, std::uint32_t flags, QWidget* owner) {
    try {
        auto* dialog = new QFileDialog(owner);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
        const QStringList filters = NameFilters(filter);
        if (!filters.isEmpty()) {
            dialog->setNameFilters(filters);
            dialog->selectNameFilter(filters.front());
        }
        dialog->setDefaultSuffix(QString::fromStdString(defaultExt));
        dialog->setDirectory(QString::fromStdString(initialDir));

        const std::optional<QStringList> chosen = ui::RunChooser(dialog);
        if (!chosen || chosen->isEmpty()) {
            return "";
        }
        return QDir::toNativeSeparators(chosen->front()).toStdString();
    } catch (...) {
        // A failed dialog reads as a cancel; the caller cannot tell the two apart.
        return "";
    }
}

}  // namespace pellix::modOpenFileDialog
