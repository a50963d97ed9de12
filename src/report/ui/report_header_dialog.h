#pragma once
// The report header set-up: company, division and author, each at most 20 characters, kept in
// the settings store.
#include <QDialog>

class QLineEdit;

namespace korvane {

class SettingsStore;

class CReportHeaderDlg : public QDialog {
    Q_OBJECT
public:
    CReportHeaderDlg(SettingsStore& settings, QWidget* parent = nullptr);

    QLineEdit* companyEdit() const { return company_; }
    QLineEdit* divisionEdit() const { return division_; }
    QLineEdit* authorEdit() const { return author_; }

    void accept() override;

private:
    SettingsStore& settings_;
    QLineEdit* company_;
    QLineEdit* division_;
    QLineEdit* author_;
};

}  // namespace korvane
