#pragma once
// File, colour and print-preview dialogs that never run an event loop of their own: each is a
// heap object, window-modal over the window that opens it, deleted once closed, and answers
// through a callback. A window that closes takes its dialogs with it and no callback runs.
#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "host/file_dialog_request.h"

class QPrinter;
class QWidget;

namespace korvane {

// The name filters of a filter text ("Description (*.ext)|*.ext|...||").
QStringList NameFilters(const std::string& filter);

// `chosen` gets the path and the type picked (1-based; 0 when unknown); an empty path when the
// dialog was cancelled. The request's extension is given to a typed name without one before the
// dialog looks for an existing file, so that its overwrite question (or ours) names the file
// that will be written.
void OpenFileDialog(QWidget* parent, const FileDialogRequest& request,
                    std::function<void(const QString& path, int filter)> chosen);

// `chosen` runs with a valid colour once the user picked one.
void OpenColourDialog(QWidget* parent, const QColor& initial,
                      std::function<void(const QColor& colour)> chosen);

// A print preview of what `paint` draws; the printer lives as long as the preview.
void OpenPrintPreview(QWidget* parent, std::function<void(QPrinter& printer)> setUp,
                      std::function<void(QPrinter* printer)> paint);

}  // namespace korvane
