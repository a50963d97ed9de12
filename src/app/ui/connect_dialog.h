#pragma once
// "IDを選択する": which station IDs the next scan covers.
#include <QDialog>

#include "app/main_controller.h"
#include "host/ui/qt_prompter.h"

class QCheckBox;
class QRadioButton;

namespace korvane {

class NumberSpinEdit;
class Prompter;

class ConnectDialog : public QDialog {
    Q_OBJECT
public:
    ConnectDialog(const ConnectChoice& values, Prompter& prompter, QWidget* parent = nullptr);

    // Valid once the dialog was closed with "検索".
    const ConnectChoice& choice() const { return choice_; }

    QRadioButton* modeButton(unsigned mode) const { return modes_[mode]; }
    NumberSpinEdit* field(int index) const { return fields_[index]; }
    QCheckBox* quickBox() const { return quick_; }
    bool quickScan() const;
    void setQuickScan(bool quick);

public slots:
    void accept() override;

private:
    unsigned selectedMode() const;
    void updateFields();

    // Refusals open over this dialog, not over the window behind it.
    WindowPrompter prompter_;
    QRadioButton* modes_[3];
    NumberSpinEdit* fields_[3];
    QCheckBox* quick_;
    ConnectChoice choice_;
};

}  // namespace korvane
