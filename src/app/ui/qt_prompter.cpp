#include "app/ui/qt_prompter.h"

#include <QMessageBox>

namespace korvane {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

bool QtPrompter::askYesNo(const std::string& text, const std::string& caption) {
    return QMessageBox::question(parent_, q(caption), q(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void QtPrompter::info(const std::string& text, const std::string& caption) {
    QMessageBox::information(parent_, q(caption), q(text));
}

void QtPrompter::error(const std::string& text, const std::string& caption) {
    QMessageBox::critical(parent_, q(caption), q(text));
}

}  // namespace korvane
