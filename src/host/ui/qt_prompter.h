#pragma once
// Questions and message boxes as window-modal QMessageBoxes that answer through their finished
// signal: no box runs an event loop of its own, so a window may close, and its core go, while
// one of its boxes is open.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "common/prompter.h"

namespace korvane {

class QtPrompter : public Prompter {
public:
    // Boxes go over `parent`, or over the main window once it is set.
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    void ask(const std::string& text, const std::string& caption, YesNo answer) override;
    void askYesNoCancel(const std::string& text, const std::string& caption,
                        YesNoCancel answer) override;
    void info(const std::string& text, const std::string& caption) override;
    void error(const std::string& text, const std::string& caption) override;

    // The same over a given window (null: over no window, application-modal).
    static void Ask(QWidget* parent, const std::string& text, const std::string& caption,
                    YesNo answer);
    static void AskYesNoCancel(QWidget* parent, const std::string& text, const std::string& caption,
                               YesNoCancel answer);
    static void Info(QWidget* parent, const std::string& text, const std::string& caption);
    static void Error(QWidget* parent, const std::string& text, const std::string& caption);

private:
    QPointer<QWidget> parent_;
};

// A tool window's questions: over that window, so that it stays in front and the box is
// centred on it. Forwards to `base` as it is when `base` is not a QtPrompter (tests).
class WindowPrompter : public Prompter {
public:
    WindowPrompter(Prompter& base, QWidget* window) : base_(base), window_(window) {}

    void ask(const std::string& text, const std::string& caption, YesNo answer) override;
    void askYesNoCancel(const std::string& text, const std::string& caption,
                        YesNoCancel answer) override;
    void info(const std::string& text, const std::string& caption) override;
    void error(const std::string& text, const std::string& caption) override;

private:
    // Whether `base_` shows boxes, itself or through the window prompter it forwards to.
    bool onQt() const;

    Prompter& base_;
    QPointer<QWidget> window_;
};

// Questions over whichever window `window` names when they are asked: a tool whose dialogs
// come and go asks over the one in front.
class OverWindowPrompter : public Prompter {
public:
    OverWindowPrompter(Prompter& base, std::function<QWidget*()> window)
        : base_(base), window_(std::move(window)) {}

    void ask(const std::string& text, const std::string& caption, YesNo answer) override {
        WindowPrompter(base_, window_()).ask(text, caption, std::move(answer));
    }
    void askYesNoCancel(const std::string& text, const std::string& caption,
                        YesNoCancel answer) override {
        WindowPrompter(base_, window_()).askYesNoCancel(text, caption, std::move(answer));
    }
    void info(const std::string& text, const std::string& caption) override {
        WindowPrompter(base_, window_()).info(text, caption);
    }
    void error(const std::string& text, const std::string& caption) override {
        WindowPrompter(base_, window_()).error(text, caption);
    }

private:
    Prompter& base_;
    std::function<QWidget*()> window_;
};

// Closes every dialog and message box open over `window` as if cancelled, so that each answers
// before the window goes.
void CloseOpenDialogs(QWidget* window);

}  // namespace korvane
