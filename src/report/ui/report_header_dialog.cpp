#include "report/ui/report_header_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "host/ui/qt_text.h"
#include "report/report_settings.h"

namespace korvane {
namespace {

QLineEdit* HeaderField(const std::string& text, QWidget* parent) {
    auto* edit = new QLineEdit(qtText(text), parent);
    edit->setMaxLength(static_cast<int>(kReportHeaderTextLimit));
    return edit;
}

}  // namespace

CReportHeaderDlg::CReportHeaderDlg(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(qtTr(kReportHeaderDialogTitle));
    const ReportHeaderTexts header = LoadReportHeader(settings_);
    company_ = HeaderField(header.company, this);
    division_ = HeaderField(header.division, this);
    author_ = HeaderField(header.author, this);
    auto* form = new QFormLayout;
    form->addRow(qtTr(kReportCompanyLabel), company_);
    form->addRow(qtTr(kReportDivisionLabel), division_);
    form->addRow(qtTr(kReportAuthorLabel), author_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CReportHeaderDlg::accept() {
    SaveReportHeader(settings_, {company_->text().toStdString(), division_->text().toStdString(),
                                 author_->text().toStdString()});
    QDialog::accept();
}

}  // namespace korvane
