#pragma once
// "通信ポストセットアップ": the serial line settings.
#include <QDialog>

#include "app/port_setup.h"
#include "host/ui/qt_prompter.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace korvane {

class NumberSpinEdit;
class Prompter;

class PortSetupDialog : public QDialog {
    Q_OBJECT
public:
    PortSetupDialog(const PortSetupForm& form, const PortNameList& ports, Prompter& prompter,
                    QWidget* parent = nullptr);

    // The fields as they stand; after OK, the accepted values.
    PortSetupForm form() const;

    QComboBox* portBox() const { return port_; }
    QComboBox* protocolBox() const { return protocol_; }
    QComboBox* parityBox() const { return parity_; }
    QComboBox* baudRateBox() const { return baudRate_; }
    QComboBox* txLevelBox() const { return txLevel_; }
    QRadioButton* rtsModeButton() const { return rtsMode_; }
    QCheckBox* fastPacingBox() const { return fastPacing_; }
    NumberSpinEdit* timeOutEdit() const { return timeOut_; }

public slots:
    void accept() override;

private:
    QComboBox* choiceBox(const QStringList& items, int index);
    void updateTxLevel();
    // Framing fields and the protocol choices follow the kind of port typed.
    void updatePortKind();

    // Refusals open over this dialog, not over the window behind it.
    WindowPrompter prompter_;
    QComboBox* protocol_;
    QComboBox* port_;
    QComboBox* baudRate_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
    NumberSpinEdit* timeOut_;
    QComboBox* retry_;
    QRadioButton* autoMode_;
    QRadioButton* rtsMode_;
    QComboBox* txLevel_;
    QCheckBox* fastPacing_;
};

}  // namespace korvane
