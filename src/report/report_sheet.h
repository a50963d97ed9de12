#pragma once
// The report's cell grid: texts, joined cells, cell edges, bold and colours. The window draws it,
// the writers turn it into workbook and web-page files and the printer lays it out, so all of
// them show the same sheet. Columns and rows are numbered from 1, column first, as the report's
// layout is written.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

struct ReportColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const ReportColour&) const = default;
};

inline constexpr ReportColour kReportTextBlack{0, 0, 0};
inline constexpr ReportColour kReportLabelGreen{189, 255, 148};
inline constexpr ReportColour kReportNotReadGrey{153, 153, 153};
inline constexpr ReportColour kReportErrorRed{255, 51, 51};
inline constexpr ReportColour kReportChangedBlue{0, 0, 255};

// Edges of one cell that carry a line.
enum ReportEdge : std::uint8_t {
    kReportEdgeTop = 1,
    kReportEdgeBottom = 2,
    kReportEdgeLeft = 4,
    kReportEdgeRight = 8,
};

struct ReportCell {
    std::string text;
    bool bold = false;
    std::optional<ReportColour> background;
    ReportColour foreground = kReportTextBlack;
    std::uint8_t edges = 0;
    // The text is a figure (an address, a value, a default): a workbook keeps it as a number
    // when it reads as one (ReportCellNumber), shown as the text shows it.
    bool figure = false;
};

// A figure's text as a number with as many decimals as the text shows.
struct ReportNumber {
    double value = 0.0;
    int decimals = 0;
};
// Plain decimal text ("-50.0", "3", "0.25") as a number; nullopt for anything a number would
// show differently (leading zeros, a sign on zero-padded text, units, hexadecimal, bit
// strings, more than 15 significant digits).
std::optional<ReportNumber> ReportCellNumber(const std::string& text);

// The rows one printed page shows: a heading repeated from an earlier page (0 for none),
// then rows first..last of the sheet.
struct ReportPageRows {
    int repeatedHeading = 0;
    int first = 1;
    int last = 0;
};

// A block of cells shown as one; its text and look are those of its first (top-left) cell.
struct ReportJoin {
    int column = 1;
    int row = 1;
    int columnCount = 1;
    int rowCount = 1;
    int lastColumn() const { return column + columnCount - 1; }
    int lastRow() const { return row + rowCount - 1; }
    bool contains(int c, int r) const {
        return c >= column && c <= lastColumn() && r >= row && r <= lastRow();
    }
};

struct ReportRange {
    int column1 = 1;
    int row1 = 1;
    int column2 = 1;
    int row2 = 1;
};

class ReportSheet {
public:
    static constexpr int kColumnCount = 12;
    // Widths in twips: the outer columns are narrow margins.
    static constexpr int kMarginColumnWidth = 283;
    static constexpr int kColumnWidth = 992;
    static constexpr const char* kFontName = "MS Sans Serif";
    static constexpr int kFontPoints = 10;

    // An empty sheet of `rows` rows; no joins, no texts.
    void reset(int rows);
    int rowCount() const { return rows_; }
    static int columnCount() { return kColumnCount; }
    static int columnWidth(int column);

    // Throws std::out_of_range outside the sheet.
    const ReportCell& cell(int column, int row) const;
    ReportCell& cell(int column, int row);

    void setText(int column, int row, std::string text);
    // Later joins that overlap an earlier one replace it.
    void join(int column, int row, int columnCount, int rowCount = 1);
    void setBold(const ReportRange& range);
    void setBackground(const ReportRange& range, ReportColour colour);
    void setForeground(const ReportRange& range, ReportColour colour);
    // A line around the block's outside.
    void outline(const ReportRange& range);
    // Rows first..last are listed under the heading row `heading`: a page that starts among
    // them repeats it.
    void setHeading(int heading, int first, int last);
    // The heading that rows of the row's list sit under, 0 for a row under none.
    int headingOf(int row) const;

    const std::vector<ReportJoin>& joins() const { return joins_; }
    // The join that covers the cell, or null for a cell shown on its own.
    const ReportJoin* joinAt(int column, int row) const;
    // The cell's block: its join, or the cell alone.
    ReportJoin blockAt(int column, int row) const;
    // Edges of a block drawn as one cell: each side as its outer cells carry it.
    std::uint8_t blockEdges(const ReportJoin& block) const;

private:
    std::size_t index(int column, int row) const;
    void mark(const ReportJoin& j, int joinIndex);
    template <typename Fn>
    void forEach(const ReportRange& range, Fn fn);

    int rows_ = 0;
    std::vector<ReportCell> cells_;
    std::vector<ReportJoin> joins_;
    // Per cell, the index in joins_ of the join covering it, or -1: a sheet of many rows is
    // built and written in one pass instead of searching every join for every cell.
    std::vector<int> joinOf_;
    std::vector<int> headingOf_;  // per row, from row 1
};

// The sheet cut into pages of `rowsPerPage` rows. A page that starts inside a list repeats the
// list's heading as its first row, so every page has its column headings.
std::vector<ReportPageRows> PaginateReport(const ReportSheet& sheet, int rowsPerPage);

}  // namespace korvane
