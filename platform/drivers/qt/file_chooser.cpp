// The open dialog on QFileDialog.
#include <QFileDialog>
#include <QIcon>
#include <QStringList>

#include "platform/drivers/qt/qt_drivers.h"

namespace platform::qt {

namespace {

// Windows separates the patterns of one filter with semicolons, Qt with spaces. Windows'
// "*.*" is every file, names without a dot too, which is Qt's "*".
QString qtPatterns(const std::string& patterns) {
    QStringList list;
    for (const QString& p : QString::fromStdString(patterns).split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = p.trimmed();
        if (trimmed == QStringLiteral("*.*"))
            list << QStringLiteral("*");
        else if (!trimmed.isEmpty())
            list << trimmed;
    }
    return list.join(u' ');
}

class QtFileChooser final : public FileChooser {
public:
    const char* name() const override { return "qt"; }

    std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) override {
        QWidget* owner = desktopWindowFor(request.owner);
        QFileDialog dialog(owner);
        // The desktop's own dialog where its platform theme offers one (GNOME, KDE, a
        // portal); Qt's own elsewhere, as under a virtual display.
        // The filter's text is shown as given, without Qt's "(patterns)" appended.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setWindowIcon(applicationIcon());
        dialog.setWindowTitle(request.title.empty() ? QStringLiteral("Open")
                                                    : QString::fromStdString(request.title));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);
        if (!request.initialDirectory.empty())
            dialog.setDirectory(QString::fromStdString(request.initialDirectory));
        QStringList filters;
        for (auto& [text, patterns] : request.filters)
            filters << QString::fromStdString(text) + QStringLiteral(" (") + qtPatterns(patterns) +
                           QStringLiteral(")");
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            if (request.selectedFilter < static_cast<size_t>(filters.size()))
                dialog.selectNameFilter(filters[static_cast<qsizetype>(request.selectedFilter)]);
        }
        dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);

        ModalLoopScope modal;
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
        return chosen.front().toStdString();
    }
};

} // namespace

FileChooser* createFileChooser() {
    return new QtFileChooser();
}

} // namespace platform::qt
