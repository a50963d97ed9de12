#pragma once
// The report window's work apart from drawing: refreshing from its editor, the header texts,
// the device name and the export, with the settings they keep.
#include <string>

#include "report/report_document.h"
#include "report/report_writers.h"

namespace korvane {

class Clock;
class SettingsStore;

// The parameter editor as its report sees it.
class ReportHost {
public:
    virtual ~ReportHost() = default;
    // The editor's data as it is now (header and time are the report's own). A null drive or
    // data file means the editor has nothing to report.
    virtual ReportSource reportSource() const = 0;
    // The report window is closing: the editor forgets it and comes to the top.
    virtual void reportClosed() = 0;
};

class ReportSession {
public:
    ReportSession(ReportHost& host, SettingsStore& settings, const Clock& clock);

    // A node chosen in the editor: shown at once.
    void show(ReportNode node);
    void refresh();
    // After the header dialog stored new texts: only the header cells change.
    void headerChanged();
    void deviceNameChanged();
    // Writes the sheet to the file chosen with the given filter (1 workbook, 2 web page) and
    // keeps the directory and filter for the next export.
    ReportExportResult exportTo(const std::string& chosen, int filterIndex);

    const ReportDocument& document() const { return document_; }
    ReportHost& host() { return host_; }

private:
    ReportHost& host_;
    SettingsStore& settings_;
    const Clock& clock_;
    ReportDocument document_;
};

}  // namespace korvane
