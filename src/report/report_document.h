#pragma once
// What the report window shows: one parameter group, one user group or all groups of a
// parameter editor, headed by company, division, author, date, model, version, device name and
// connection state. The sheet is built once per refresh from the editor's data and does not
// follow later changes of values until it is refreshed again.
#include <string>
#include <vector>

#include "common/clock.h"
#include "report/report_sheet.h"

namespace korvane {

class UserGroup;
class CDataFile;
class CGroup;
class CItem;
struct DriveRecord;
struct UserGroupEntry;

// The node kinds of the editor's tree.
enum class ReportKind : int { kGroup = 0, kUserGroup = 1, kAllGroups = 2 };

struct ReportNode {
    int station = 0;  // the editor's record index (above 255 for an offline editor)
    ReportKind kind = ReportKind::kAllGroups;
    std::string name;  // group or user-group name; empty for all groups
};

struct ReportHeaderTexts {
    std::string company;
    std::string division;
    std::string author;
};

// What a refresh reads from the editor. Null or unloaded data means the node is not found.
struct ReportSource {
    const DriveRecord* drive = nullptr;
    const CDataFile* dataFile = nullptr;
    std::vector<const UserGroup*> userGroups;  // the editor's open user groups
    std::string deviceName;                    // the station's device name (online only)
    ReportHeaderTexts header;
    LocalTime now;
};

// Cells of the header values that the header dialog and a rename rewrite.
inline constexpr int kReportFirstContentRow = 8;

// Rows a report fills: the header block, then per block a title, a heading, its rows and two
// empty rows, of which the last block's pair is not needed.
int ReportRowCount(const std::vector<int>& blockRowCounts);

// The text colour of a row: by read state, then by value against the default.
ReportColour ReportRowColour(const CItem* item, std::uint32_t state, std::uint32_t value);

class ReportDocument {
public:
    void setNode(ReportNode node) { node_ = std::move(node); }
    const ReportNode& node() const { return node_; }

    // Rebuilds the sheet; a node that no longer exists leaves an empty sheet.
    void refresh(const ReportSource& source);
    bool found() const { return found_; }
    const ReportSheet& sheet() const { return sheet_; }

    // Only the three header texts change; everything else stays as the last refresh left it.
    void rewriteHeader(const ReportHeaderTexts& header);
    void rewriteDeviceName(const std::string& deviceName);

    // The window's title: the caption and, for a report of a drive, its model as the header
    // shows it ("Parameter Report - 3 : Kapok"), so that reports of two drives can be told
    // apart.
    std::string windowTitle() const;

private:
    ReportSheet sheet_;
    ReportNode node_;
    bool found_ = false;
    bool online_ = false;
};

}  // namespace korvane
