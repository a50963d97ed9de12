#include "host/ui/file_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <memory>

#include "host/ui/qt_text.h"

namespace korvane {

QStringList NameFilters(const std::string& filter) {
    const QStringList parts = qtText(filter).split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt finds the patterns in the parentheses of a name.
        filters << (parts[i].contains(parts[i + 1]) ? parts[i]
                                                    : parts[i] + " (" + parts[i + 1] + ")");
    }
    return filters;
}

void OpenFileDialog(QWidget* parent, const FileDialogRequest& request,
                    std::function<void(const QString& path, int filter)> chosen) {
    const QString start = qtText(request.save && !request.defaultPath.empty() ? request.defaultPath
                                                                              : request.startDir);
    auto* dialog = new QFileDialog(parent, qtText(Tr(request.title)), start);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.overwritePrompt) dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(Tr(request.filter));
    if (!filters.isEmpty()) dialog->setNameFilters(filters);
    if (request.selectedFilter >= 1 && request.selectedFilter <= filters.size())
        dialog->selectNameFilter(filters[request.selectedFilter - 1]);
    if (!request.extension.empty()) dialog->setDefaultSuffix(qtText(request.extension));
    if (!request.filterExtensions.empty()) {
        QStringList suffixes;
        for (const std::string& e : request.filterExtensions) suffixes << qtText(e);
        auto follow = [dialog, filters, suffixes](const QString& filter) {
            const qsizetype i = filters.indexOf(filter);
            if (i >= 0 && i < suffixes.size()) dialog->setDefaultSuffix(suffixes[i]);
        };
        follow(dialog->selectedNameFilter());
        QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
    }
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, filters, chosen = std::move(chosen)](int result) {
                         const bool picked =
                             result == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
                         const auto index = filters.indexOf(dialog->selectedNameFilter());
                         chosen(picked ? dialog->selectedFiles().front() : QString(),
                                static_cast<int>(index) + 1);
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
