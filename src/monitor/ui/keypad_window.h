#pragma once
// The keypad window of one drive: two seven-segment displays with their item selectors, the
// forward, reverse and fault lamps, and the three run keys, over KeypadModel. Clicking a display
// opens the value editor for its item.
#include <QDialog>
#include <QWidget>
#include <array>
#include <memory>

#include "host/tool_frames.h"
#include "monitor/keypad_model.h"

class QComboBox;
class QLabel;
class QLCDNumber;
class QLineEdit;
class QPushButton;
class QTimer;

namespace korvane {

struct ToolServices;

// A round lamp painted in its colour when lit.
class LampWidget : public QWidget {
    Q_OBJECT
public:
    LampWidget(QColor colour, QWidget* parent = nullptr);
    void setLit(bool lit);
    bool isLit() const { return lit_; }
    // A lamp whose state is not live is drawn faded, lit or not.
    void setDimmed(bool dimmed);
    bool isDimmed() const { return dimmed_; }
    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
    bool lit_ = false;
    bool dimmed_ = false;
};

class KeypadEditorDialog : public QDialog {
    Q_OBJECT
public:
    KeypadEditorDialog(KeypadEditor& editor, QWidget* parent);
    QLineEdit* box() const { return box_; }
    QLabel* status() const { return status_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    void refresh();

private:
    KeypadEditor& editor_;
    Connection editorChanged_;
    QLineEdit* box_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* write_ = nullptr;
};

class KeypadWindow : public QWidget, public ToolFrame {
    Q_OBJECT
public:
    KeypadWindow(ToolServices& services, int station, QWidget* parent = nullptr);
    ~KeypadWindow() override;

    KeypadModel& model() { return *model_; }

    // ToolFrame
    void activate() override;
    void requestClose() override { close(); }
    std::vector<std::uint8_t> savePlacement() const override;
    void restorePlacement(const std::vector<std::uint8_t>& placement) override;
    void onDriveEvent(const DriveEvent& event) override;
    void onDriveConnected(int station) { model_->onDriveConnected(station); }
    void onDriveDisconnected(int station);
    void onGraphWatchChanged(bool active);
    void onNameChanged(int station) { model_->onNameChanged(station); }

    QLCDNumber* display(int slot) const { return displays_.at(static_cast<std::size_t>(slot)); }
    QComboBox* selector(int slot) const { return selectors_.at(static_cast<std::size_t>(slot)); }
    LampWidget* forwardLamp() const { return forwardLamp_; }
    LampWidget* reverseLamp() const { return reverseLamp_; }
    LampWidget* faultLamp() const { return faultLamp_; }
    QPushButton* forwardKey() const { return forward_; }
    QPushButton* reverseKey() const { return reverse_; }
    QPushButton* stopKey() const { return stop_; }
    QLabel* nameLabel() const { return nameLabel_; }
    KeypadEditorDialog* editorDialog() const { return editorDialog_; }
    // What a click on a display does.
    void openEditor(int slot);

signals:
    // The window closed (the user, the program, or its drive went away).
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fillSelectors();
    void chooseItems();
    void refresh();
    void closeEditorDialog();
    void showDisplay(int slot);

    std::unique_ptr<KeypadModel> model_;
    std::vector<Connection> modelConnections_;  // after the model: go first
    std::array<QLCDNumber*, kKeypadSlots> displays_{};
    std::array<QLabel*, kKeypadSlots> units_{};
    std::array<QComboBox*, kKeypadSlots> selectors_{};
    QLabel* stationLabel_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    LampWidget* forwardLamp_ = nullptr;
    LampWidget* reverseLamp_ = nullptr;
    LampWidget* faultLamp_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* reverse_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTimer* timer_ = nullptr;
    KeypadEditorDialog* editorDialog_ = nullptr;
    bool filling_ = false;
    bool closedSent_ = false;
};

}  // namespace korvane
