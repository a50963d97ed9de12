#pragma once
// The drive information sheet: a modeless dialog with the run-status, terminal and fault pages
// of InfoSheet. One instance is kept by the main window and re-targeted to the chosen drive.
#include <QDialog>
#include <QSize>
#include <memory>
#include <vector>

#include "host/tool_frames.h"
#include "monitor/info_sheet.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace korvane {

struct ToolServices;

class InfoSheetDialog : public QDialog, public ToolFrame {
    Q_OBJECT
public:
    InfoSheetDialog(ToolServices& services, int station, QWidget* parent = nullptr);
    ~InfoSheetDialog() override;

    InfoSheet& sheet() { return *sheet_; }
    // Shows another drive and comes to the top.
    void retarget(int station) override;

    // ToolFrame
    void activate() override;
    void requestClose() override { close(); }
    std::vector<std::uint8_t> savePlacement() const override;
    void restorePlacement(const std::vector<std::uint8_t>& placement) override;
    void onDriveEvent(const DriveEvent& event) override;

    void onDriveConnected(int station) { sheet_->onDriveConnected(station); }
    void onDriveDisconnected(int station) { sheet_->onDriveDisconnected(station); }
    void onGraphWatchChanged(bool active) { sheet_->onGraphWatchChanged(active); }
    void onNameChanged(int station) { sheet_->onNameChanged(station); }

    QTabWidget* tabs() const { return tabs_; }
    QLineEdit* nameEdit() const { return nameEdit_; }
    QLabel* valueLabel(int value) const { return values_.at(static_cast<std::size_t>(value)); }
    const std::vector<QCheckBox*>& inputBoxes() const { return inputs_; }
    const std::vector<QCheckBox*>& outputBoxes() const { return outputs_; }
    const std::vector<QCheckBox*>& tripBoxes() const { return trips_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildRunPage();
    QWidget* buildTerminalPage();
    QWidget* buildFaultPage();
    void refresh();
    void fitTitle();
    void sizeForAllPages();
    // `page`, when given, says which values are live; the sizing pass has none.
    void refreshBoxes(const std::vector<InfoBox>& model, const std::vector<QCheckBox*>& boxes,
                      bool enabled, const InfoPage* page = nullptr);
    void applyName();

    std::unique_ptr<InfoSheet> sheet_;
    Connection sheetChanged_;  // after the sheet: goes first
    QTabWidget* tabs_ = nullptr;
    QLabel* commandLabel_ = nullptr;
    QLabel* outputLabel_ = nullptr;
    std::vector<QLabel*> values_;
    QLineEdit* nameEdit_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    std::vector<QCheckBox*> inputs_, outputs_, trips_;
    QWidget* runPage_ = nullptr;
    QWidget* terminalPage_ = nullptr;
    QWidget* faultPage_ = nullptr;
    QSize pagesSize_;  // the largest page with every box it will show
};

}  // namespace korvane
