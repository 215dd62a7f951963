#include "app/ImageFileDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QStringList>

#include "scan/ImageFormats.h"

namespace tarnel {
namespace {

const QString kAllFiles = QStringLiteral("All files (*.*)");

// A filter per format found from the content (raw binary needs a base address, which only
// tarnel-cli takes), then one for all of them and one for every file.
QStringList ImageNameFilters() {
    QStringList filters;
    QString all;
    for (const ImageFormatInfo& format : ImageFormats()) {
        if (!format.detected) {
            continue;
        }
        const QString patterns = QString::fromUtf8(format.patterns.data(),
                                                   static_cast<qsizetype>(format.patterns.size()));
        filters << QString::fromUtf8(format.files.data(),
                                     static_cast<qsizetype>(format.files.size())) +
                       QStringLiteral(" (") + patterns + QLatin1Char(')');
        all += (all.isEmpty() ? QString() : QStringLiteral(" ")) + patterns;
    }
    filters.prepend(QStringLiteral("All image files (") + all + QLatin1Char(')'));
    filters << kAllFiles;
    return filters;
}

}  // namespace

QFileDialog* MakeImageFileDialog(QWidget* parent) {
    auto* dialog = new QFileDialog(parent);
#ifndef _WIN32
    // Qt's own dialog on Linux desktops: the filter below works on its file list. Windows
    // users get the system's dialog, where "*.*" matches every file already.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = ImageNameFilters();
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());

    // The caption promises every file, but the dialog matches "*.*" as a pattern that needs
    // a dot. Whenever that filter becomes the current one, the file list is told to match
    // every name instead; queued, so that it comes after the dialog's own handling.
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* files = dialog->findChild<QFileSystemModel*>();
    if (types != nullptr && files != nullptr) {
        QObject::connect(
            types, &QComboBox::currentTextChanged, files,
            [files](const QString& filter) {
                if (filter == kAllFiles) {
                    files->setNameFilters({QStringLiteral("*")});
                }
            },
            Qt::QueuedConnection);
    }

    // Qt 6.4 leaves the completion list of the file-name box open when a typed name is
    // accepted with Enter; that stray popup would swallow the next click. It goes with the
    // dialog.
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (const QCompleter* completer : dialog->findChildren<QCompleter*>()) {
            if (completer->popup() != nullptr) {
                completer->popup()->hide();
            }
        }
    });
    return dialog;
}

}  // namespace tarnel
