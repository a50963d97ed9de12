#include "editor/ui/para_mode_dialog_widget.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/mode_choice.h"
#include "host/ui/qt_text.h"

namespace korvane {

ParaModeDialogWidget::ParaModeDialogWidget(ModeChoice& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
    setWindowTitle(qtText(dialog_.Title()));
    freq_ = new QRadioButton(qtTr("FREQモード"), this);
    rpm_ = new QRadioButton(qtTr("RPMモード"), this);
    (dialog_.FreqModeChecked() ? freq_ : rpm_)->setChecked(true);
    time1_ = new QComboBox(this);
    time1_->addItems({"0.01 sec", "0.1 sec", "1 sec"});
    time1_->setCurrentIndex(dialog_.Time1Index());
    time1_->setEnabled(dialog_.Time1Enabled());
    model_ = new QComboBox(this);
    for (const auto& m : dialog_.Models()) model_->addItem(qtText(m.name));
    model_->setCurrentIndex(dialog_.ModelIndex());
    model_->setEnabled(dialog_.ModelEnabled());
    version_ = new QComboBox(this);
    status_ = new QLabel(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);

    auto* modes = new QHBoxLayout;
    modes->addWidget(freq_);
    modes->addWidget(rpm_);
    auto* form = new QFormLayout;
    form->addRow(modes);
    form->addRow("TIME1", time1_);
    form->addRow(qtTr("モデル"), model_);
    form->addRow(qtTr("バージョン"), version_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &ParaModeDialogWidget::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(model_, &QComboBox::activated, this, [this](int index) {
        dialog_.SelectModel(index);
        fillVersions();
        showState();
    });
    connect(version_, &QComboBox::activated, this,
            [this](int index) { dialog_.SelectVersion(index); });
    fillVersions();
    showState();
}

void ParaModeDialogWidget::fillVersions() {
    version_->clear();
    for (const auto& v : dialog_.Versions()) version_->addItem(qtText(v.text));
    version_->setCurrentIndex(dialog_.VersionIndex());
}

void ParaModeDialogWidget::showState() {
    status_->setText(qtText(dialog_.StatusText()));
    status_->setStyleSheet(dialog_.StatusIsError() ? "color: red" : "color: blue");
    version_->setEnabled(dialog_.VersionEnabled());
    ok_->setEnabled(dialog_.OkEnabled());
}

void ParaModeDialogWidget::accept() {
    dialog_.SetFreqModeChecked(freq_->isChecked());
    dialog_.SetTime1Index(time1_->currentIndex());
    if (dialog_.Ok()) {
        QDialog::accept();
        return;
    }
    showState();
}

}  // namespace korvane
