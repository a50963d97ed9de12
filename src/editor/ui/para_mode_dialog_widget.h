#pragma once
// The editor set-up dialog's widgets over ModeChoice.
#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace korvane {

class ModeChoice;

class ParaModeDialogWidget : public QDialog {
    Q_OBJECT
public:
    ParaModeDialogWidget(ModeChoice& dialog, QWidget* parent = nullptr);

    void accept() override;

private:
    void fillVersions();
    void showState();

    ModeChoice& dialog_;
    QRadioButton* freq_;
    QRadioButton* rpm_;
    QComboBox* time1_;
    QComboBox* model_;
    QComboBox* version_;
    QLabel* status_;
    QPushButton* ok_;
};

}  // namespace korvane
