#pragma once
// An edit with spin buttons that keeps whatever the user typed. The buttons and the arrow keys
// step within the range; a typed value is only judged when its dialog is closed, so the user
// is told why a number was refused instead of seeing it silently replaced.
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace korvane {

class NumberSpinEdit : public QWidget {
    Q_OBJECT
public:
    NumberSpinEdit(int minimum, int maximum, int maxChars, QWidget* parent = nullptr);

    QString text() const;
    void setValue(unsigned value);
    void focusAndSelect();
    QLineEdit* lineEdit() const { return edit_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int delta);

    int minimum_;
    int maximum_;
    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace korvane
