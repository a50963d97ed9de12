#pragma once
// Questions and message boxes as QMessageBox, over the main window once it exists.
#include <QPointer>
#include <QWidget>

#include "common/prompter.h"

namespace korvane {

class QtPrompter : public Prompter {
public:
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    bool askYesNo(const std::string& text, const std::string& caption) override;
    void info(const std::string& text, const std::string& caption) override;
    void error(const std::string& text, const std::string& caption) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace korvane
