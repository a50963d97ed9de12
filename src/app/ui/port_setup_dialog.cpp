#include "app/ui/port_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "app/ui/number_spin_edit.h"
#include "common/prompter.h"
#include "host/settings.h"
#include "host/ui/qt_text.h"

namespace korvane {

namespace {

template <typename Container>
QStringList texts(const Container& choices) {
    QStringList list;
    for (const auto& c : choices) {
        using Choice = std::decay_t<decltype(c)>;
        if constexpr (std::is_arithmetic_v<Choice>)
            list << QString::number(c);
        else if constexpr (std::is_same_v<Choice, const char*>)
            list << qtTr(c);  // the program's own words
        else
            list << qtText(c);  // port names and addresses
    }
    return list;
}

QWidget* withUnit(QWidget* field, const char* unit) {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(field);
    row->addWidget(new QLabel(qtTr(unit)));
    row->addStretch(1);
    return box;
}

QLabel* note(const char* text) {
    auto* label = new QLabel(qtTr(text));
    label->setWordWrap(true);
    return label;
}

}  // namespace

QComboBox* PortSetupDialog::choiceBox(const QStringList& items, int index) {
    auto* box = new QComboBox(this);
    box->addItems(items);
    box->setCurrentIndex(index);
    box->setMinimumContentsLength(10);
    return box;
}

PortSetupDialog::PortSetupDialog(const PortSetupForm& form, const PortNameList& ports,
                                 Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter, this) {
    setWindowTitle(qtTr(kPortSetupCaption));
    protocol_ = choiceBox(texts(kProtocolModeChoices), form.protocolIndex);
    port_ = choiceBox(texts(ports) + texts(form.recentAddresses), -1);
    // A port may be typed: a device the list does not name (a pseudo-terminal, a by-id link)
    // or the address of a serial device server (tcp://, rfc2217://, modbus-tcp://).
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setEditText(qtText(form.port));
    port_->setMinimumContentsLength(16);
    baudRate_ = choiceBox(texts(kBaudRateChoices), form.baudRateIndex);
    dataBits_ = choiceBox(texts(kDataBitsChoices), form.dataBitsIndex);
    parity_ = choiceBox(texts(kParityChoices), form.parityIndex);
    stopBits_ = choiceBox(texts(kStopBitsChoices), form.stopBitsIndex);
    timeOut_ = new NumberSpinEdit(kMinTimeOut, kMaxTimeOut, kTimeOutMaxChars, this);
    timeOut_->lineEdit()->setText(qtText(form.timeOutText));
    retry_ = choiceBox(texts(kRetryChoices), form.retryIndex);
    fastPacing_ = new QCheckBox(qtTr(kFastPacingLabel), this);
    fastPacing_->setChecked(form.fastPacing);

    autoMode_ = new QRadioButton(qtTr(kTxAutomaticChoice), this);
    rtsMode_ = new QRadioButton(qtTr(kTxRtsChoice), this);
    (form.automaticTx ? autoMode_ : rtsMode_)->setChecked(true);
    txLevel_ = choiceBox(texts(kTxLevelChoices), form.txLevelIndex);
    connect(autoMode_, &QRadioButton::toggled, this, &PortSetupDialog::updateTxLevel);
    updateTxLevel();
    port_->setToolTip(qtText(PortFieldHint()));
    connect(port_, &QComboBox::currentTextChanged, this, &PortSetupDialog::updatePortKind);
    updatePortKind();

    auto* fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    fields->addRow(qtTr(kProtocolModeLabel), protocol_);
    fields->addRow(qtTr(kCommPortLabel), port_);
    fields->addRow(qtTr(kBaudRateLabel), withUnit(baudRate_, kBaudRateUnit));
    fields->addRow(qtTr(kDataBitsLabel), dataBits_);
    fields->addRow(qtTr(kParityLabel), parity_);
    fields->addRow(qtTr(kStopBitsLabel), stopBits_);
    fields->addRow(qtTr(kTimeOutLabel), withUnit(timeOut_, kTimeOutUnit));
    fields->addRow(qtTr(kRetryLabel), retry_);
    fields->addRow(QString(), fastPacing_);

    auto* tx = new QGroupBox(qtTr(kTxEnableLabel), this);
    auto* txLayout = new QHBoxLayout(tx);
    txLayout->addWidget(autoMode_);
    txLayout->addWidget(rtsMode_);
    txLayout->addWidget(txLevel_);
    txLayout->addStretch(1);

    auto* notes = new QGroupBox(qtTr(kProtocolNoteHeading), this);
    auto* notesLayout = new QVBoxLayout(notes);
    notesLayout->addWidget(note(kProtocolNote));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(qtTr("キャンセル"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortSetupDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note(kPortSetupNote));
    layout->addLayout(fields);
    layout->addWidget(tx);
    layout->addWidget(notes);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

void PortSetupDialog::updateTxLevel() {
    txLevel_->setEnabled(form().txLevelEnabled());
}

void PortSetupDialog::updatePortKind() {
    const PortSetupForm f = form();
    for (QWidget* w : {static_cast<QWidget*>(baudRate_), static_cast<QWidget*>(dataBits_),
                       static_cast<QWidget*>(parity_), static_cast<QWidget*>(stopBits_)})
        w->setEnabled(f.framingEnabled());
    // MODBUS TCP carries MODBUS only: TK485 is not offered with it.
    if (auto* model = qobject_cast<QStandardItemModel*>(protocol_->model())) {
        if (QStandardItem* tk485 = model->item(static_cast<int>(kCommModeTk485)))
            tk485->setEnabled(f.tk485Offered());
    }
    if (!f.tk485Offered() && protocol_->currentIndex() == static_cast<int>(kCommModeTk485))
        protocol_->setCurrentIndex(static_cast<int>(kCommModeModbusRtu));
}

PortSetupForm PortSetupDialog::form() const {
    PortSetupForm f;
    f.protocolIndex = protocol_->currentIndex();
    f.port = port_->currentText().trimmed().toStdString();
    f.baudRateIndex = baudRate_->currentIndex();
    f.dataBitsIndex = dataBits_->currentIndex();
    f.parityIndex = parity_->currentIndex();
    f.stopBitsIndex = stopBits_->currentIndex();
    f.timeOutText = timeOut_->text().toStdString();
    f.retryIndex = retry_->currentIndex();
    f.automaticTx = autoMode_->isChecked();
    f.txLevelIndex = txLevel_->currentIndex();
    f.fastPacing = fastPacing_->isChecked();
    return f;
}

void PortSetupDialog::accept() {
    // The same check the settings get on OK, on a scratch copy: the dialog only closes with a
    // form that will be taken as it is.
    AppSettings scratch;
    const PortSetupForm f = form();
    const PortSetupOutcome outcome = ApplyPortSetupForm(f, scratch);
    if (!outcome.accepted) {
        prompter_.error(outcome.message, kAppTitle);
        if (!CheckPortName(f.port, f.protocolIndex).empty()) {
            port_->setFocus();
            port_->lineEdit()->selectAll();
        } else {
            timeOut_->focusAndSelect();
        }
        return;
    }
    QDialog::accept();
}

}  // namespace korvane
