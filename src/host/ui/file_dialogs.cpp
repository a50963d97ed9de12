#include "host/ui/file_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <memory>

namespace korvane {

void OpenFileDialog(QWidget* parent, const FileDialogOptions& options,
                    std::function<void(const QString& path, const QString& filter)> chosen) {
    auto* dialog = new QFileDialog(parent, options.title, options.directory);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!options.confirmOverwrite) dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (!options.filters.isEmpty()) dialog->setNameFilters(options.filters);
    if (!options.selectedFilter.isEmpty()) dialog->selectNameFilter(options.selectedFilter);
    if (!options.defaultSuffix.isEmpty()) dialog->setDefaultSuffix(options.defaultSuffix);
    if (!options.filterSuffixes.isEmpty()) {
        const QStringList filters = options.filters;
        const QStringList suffixes = options.filterSuffixes;
        auto follow = [dialog, filters, suffixes](const QString& filter) {
            const qsizetype i = filters.indexOf(filter);
            if (i >= 0 && i < suffixes.size()) dialog->setDefaultSuffix(suffixes[i]);
        };
        follow(dialog->selectedNameFilter());
        QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
    }
    QObject::connect(
        dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
            const bool picked = result == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
            chosen(picked ? dialog->selectedFiles().front() : QString(),
                   dialog->selectedNameFilter());
        });
    dialog->open();
}

void OpenColourDialog(QWidget* parent, const QColor& initial,
                      std::function<void(const QColor& colour)> chosen) {
    auto* dialog = new QColorDialog(initial, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QColorDialog::colorSelected, dialog,
                     [chosen = std::move(chosen)](const QColor& colour) {
                         if (colour.isValid()) chosen(colour);
                     });
    dialog->open();
}

void OpenPrintPreview(QWidget* parent, std::function<void(QPrinter& printer)> setUp,
                      std::function<void(QPrinter* printer)> paint) {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    if (setUp) setUp(*printer);
    auto* preview = new QPrintPreviewDialog(printer.get(), parent);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(preview, &QPrintPreviewDialog::paintRequested, preview, std::move(paint));
    // The printer goes once the preview has.
    QObject::connect(preview, &QObject::destroyed, [printer] {});
    preview->open();
}

}  // namespace korvane
