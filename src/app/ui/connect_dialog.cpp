#include "app/ui/connect_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/ui/number_spin_edit.h"
#include "common/prompter.h"
#include "host/settings.h"
#include "host/ui/qt_text.h"

namespace korvane {

ConnectDialog::ConnectDialog(const ConnectChoice& values, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter, this), choice_(values) {
    setWindowTitle(qtTr(kConnectDialogCaption));
    const char* labels[3] = {kConnectOneIdChoice, kConnectRangeChoice, kConnectAllIdsChoice};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        modes_[i] = new QRadioButton(qtTr(labels[i]), this);
        group->addButton(modes_[i], i);
        fields_[i] = new NumberSpinEdit(kFirstStationId, kLastStationId, 3, this);
    }
    fields_[0]->setValue(values.one);
    fields_[1]->setValue(values.from);
    fields_[2]->setValue(values.to);

    auto* grid = new QGridLayout;
    grid->addWidget(modes_[0], 0, 0);
    grid->addWidget(fields_[0], 0, 1);
    grid->addWidget(modes_[1], 1, 0);
    grid->addWidget(fields_[1], 1, 1);
    grid->addWidget(new QLabel(qtTr("～"), this), 1, 2);
    grid->addWidget(fields_[2], 1, 3);
    grid->addWidget(modes_[2], 2, 0);
    grid->setColumnStretch(4, 1);
    quick_ = new QCheckBox(qtTr(kConnectQuickScanBox), this);
    setQuickScan(values.quick);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* search =
        buttons->addButton(qtTr(kConnectSearchButton), QDialogButtonBox::AcceptRole);
    buttons->addButton(qtTr(kConnectCancelButton), QDialogButtonBox::RejectRole);
    search->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConnectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConnectDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(quick_);
    layout->addWidget(buttons);

    modes_[std::min(values.mode, 2u)]->setChecked(true);
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) updateFields();
    });
    updateFields();
    setFixedSize(sizeHint());
}

unsigned ConnectDialog::selectedMode() const {
    for (unsigned i = 0; i < 3; ++i)
        if (modes_[i]->isChecked()) return i;
    return 0;
}

void ConnectDialog::updateFields() {
    const ConnectFields enabled = ConnectFieldsFor(selectedMode());
    fields_[0]->setEnabled(enabled.one);
    fields_[1]->setEnabled(enabled.from);
    fields_[2]->setEnabled(enabled.to);
}

void ConnectDialog::accept() {
    const ConnectFormCheck check =
        CheckConnectForm(selectedMode(), fields_[0]->text().toStdString(),
                         fields_[1]->text().toStdString(), fields_[2]->text().toStdString());
    if (!check.ok) {
        prompter_.error(check.message, kAppTitle);
        fields_[check.badField]->focusAndSelect();
        return;
    }
    choice_ = check.choice;
    choice_.quick = quickScan();
    QDialog::accept();
}

bool ConnectDialog::quickScan() const {
    return quick_->isChecked();
}

void ConnectDialog::setQuickScan(bool quick) {
    quick_->setChecked(quick);
}

}  // namespace korvane
