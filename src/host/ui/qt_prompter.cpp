#include "host/ui/qt_prompter.h"

#include <QDialog>
#include <QMessageBox>
#include <algorithm>

namespace korvane {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QMessageBox* OpenBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
                     const std::string& caption, QMessageBox::StandardButtons buttons,
                     QMessageBox::StandardButton defaultButton) {
    auto* box = new QMessageBox(icon, q(caption), q(text), buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

// The button that closed the box; NoButton when it was closed otherwise.
QMessageBox::StandardButton Clicked(QMessageBox* box) {
    return box->clickedButton() ? box->standardButton(box->clickedButton()) : QMessageBox::NoButton;
}

}  // namespace

void QtPrompter::Ask(QWidget* parent, const std::string& text, const std::string& caption,
                     YesNo answer) {
    QMessageBox* box = OpenBox(parent, QMessageBox::Question, text, caption,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    QObject::connect(box, &QDialog::finished, box, [box, answer = std::move(answer)](int) {
        answer(Clicked(box) == QMessageBox::Yes);
    });
    box->open();
}

void QtPrompter::AskYesNoCancel(QWidget* parent, const std::string& text,
                                const std::string& caption, YesNoCancel answer) {
    QMessageBox* box =
        OpenBox(parent, QMessageBox::Question, text, caption,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    QObject::connect(box, &QDialog::finished, box, [box, answer = std::move(answer)](int) {
        switch (Clicked(box)) {
            case QMessageBox::Yes:
                return answer(Answer::kYes);
            case QMessageBox::No:
                return answer(Answer::kNo);
            default:
                return answer(Answer::kCancel);
        }
    });
    box->open();
}

void QtPrompter::Info(QWidget* parent, const std::string& text, const std::string& caption) {
    OpenBox(parent, QMessageBox::Information, text, caption, QMessageBox::Ok, QMessageBox::NoButton)
        ->open();
}

void QtPrompter::Error(QWidget* parent, const std::string& text, const std::string& caption) {
    OpenBox(parent, QMessageBox::Critical, text, caption, QMessageBox::Ok, QMessageBox::NoButton)
        ->open();
}

void QtPrompter::ask(const std::string& text, const std::string& caption, YesNo answer) {
    Ask(parent_, text, caption, std::move(answer));
}

void QtPrompter::askYesNoCancel(const std::string& text, const std::string& caption,
                                YesNoCancel answer) {
    AskYesNoCancel(parent_, text, caption, std::move(answer));
}

void QtPrompter::info(const std::string& text, const std::string& caption) {
    Info(parent_, text, caption);
}

void QtPrompter::error(const std::string& text, const std::string& caption) {
    Error(parent_, text, caption);
}

bool WindowPrompter::onQt() const {
    if (dynamic_cast<QtPrompter*>(&base_)) return true;
    const auto* outer = dynamic_cast<WindowPrompter*>(&base_);
    return outer && outer->onQt();
}

void WindowPrompter::ask(const std::string& text, const std::string& caption, YesNo answer) {
    if (!onQt()) return base_.ask(text, caption, std::move(answer));
    QtPrompter::Ask(window_, text, caption, std::move(answer));
}

void WindowPrompter::askYesNoCancel(const std::string& text, const std::string& caption,
                                    YesNoCancel answer) {
    if (!onQt()) return base_.askYesNoCancel(text, caption, std::move(answer));
    QtPrompter::AskYesNoCancel(window_, text, caption, std::move(answer));
}

void WindowPrompter::info(const std::string& text, const std::string& caption) {
    if (!onQt()) return base_.info(text, caption);
    QtPrompter::Info(window_, text, caption);
}

void WindowPrompter::error(const std::string& text, const std::string& caption) {
    if (!onQt()) return base_.error(text, caption);
    QtPrompter::Error(window_, text, caption);
}

namespace {

// An open dialog of `window` with no open dialog of its own: boxes a dialog opened are
// answered before the dialog itself.
QDialog* InnermostOpenDialog(QWidget* window) {
    for (QDialog* d : window->findChildren<QDialog*>()) {
        if (!d->isVisible()) continue;
        const auto inner = d->findChildren<QDialog*>();
        if (std::none_of(inner.begin(), inner.end(), [](QDialog* i) { return i->isVisible(); }))
            return d;
    }
    return nullptr;
}

}  // namespace

void CloseOpenDialogs(QWidget* window) {
    if (window == nullptr) return;
    // Answering one may open another (a running transfer asks whether to stop); what is still
    // open after a few rounds goes with the window, unanswered.
    for (int round = 0; round < 16; ++round) {
        QPointer<QDialog> open = InnermostOpenDialog(window);
        if (!open) return;
        open->reject();
        if (open) open->hide();
    }
}

}  // namespace korvane
