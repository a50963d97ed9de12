#pragma once
// File, colour and print-preview dialogs that never run an event loop of their own: each is a
// heap object, window-modal over the window that opens it, deleted once closed, and answers
// through a callback. A window that closes takes its dialogs with it and no callback runs.
#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QWidget;

namespace korvane {

struct FileDialogOptions {
    QString title{};
    QString directory{};  // or a path to start on
    QStringList filters{};
    QString selectedFilter{};
    // Given to a typed name without one before the dialog looks for an existing file, so that
    // its overwrite question (or ours) names the file that will be written.
    QString defaultSuffix{};
    // When given, the default suffix of each filter, followed as the user picks a filter.
    QStringList filterSuffixes{};
    bool save = false;
    bool confirmOverwrite = false;  // the dialog itself asks before choosing an existing file
};

// `chosen` gets the path and the filter picked; an empty path when the dialog was cancelled.
void OpenFileDialog(QWidget* parent, const FileDialogOptions& options,
                    std::function<void(const QString& path, const QString& filter)> chosen);

// `chosen` runs with a valid colour once the user picked one.
void OpenColourDialog(QWidget* parent, const QColor& initial,
                      std::function<void(const QColor& colour)> chosen);

// A print preview of what `paint` draws; the printer lives as long as the preview.
void OpenPrintPreview(QWidget* parent, std::function<void(QPrinter& printer)> setUp,
                      std::function<void(QPrinter* printer)> paint);

}  // namespace korvane
