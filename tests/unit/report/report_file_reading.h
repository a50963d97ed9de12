#pragma once
// Reading exported reports back: members of the workbook's zip through the unzip program, and
// the few XML entities the writers produce.
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace korvane::testing {

inline std::string Unzip(const std::string& zip, const std::string& member) {
    const std::string command = "unzip -p '" + zip + "' '" + member + "'";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

inline std::string XmlUnescape(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (auto [from, to] : entities)
        for (std::size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += std::strlen(to))
            s.replace(p, std::strlen(from), to);
    return s;
}

// "B15" for column 2, row 15 (the report has 12 columns).
inline std::string CellRef(int column, int row) {
    return std::string(1, static_cast<char>('A' + column - 1)) + std::to_string(row);
}

// The workbook's number cells, each as its number format shows it ("0.0" shows 1 as "1.0").
inline std::map<std::string, std::string> NumberCellsAsShown(const std::string& path,
                                                             const std::string& xml) {
    const std::string styles = Unzip(path, "xl/styles.xml");
    std::map<int, int> decimalsOfFormat{{0, 0}, {1, 0}};
    const std::regex fmtRe("<numFmt numFmtId=\"([0-9]+)\" formatCode=\"0\\.?(0*)\"/>");
    for (std::sregex_iterator it(styles.begin(), styles.end(), fmtRe), end; it != end; ++it)
        decimalsOfFormat[std::stoi((*it)[1])] = static_cast<int>((*it)[2].length());
    const std::string xfs = styles.substr(styles.find("<cellXfs"));
    std::vector<int> formatOfStyle;
    const std::regex xfRe("<xf numFmtId=\"([0-9]+)\"");
    for (std::sregex_iterator it(xfs.begin(), xfs.end(), xfRe), end; it != end; ++it)
        formatOfStyle.push_back(std::stoi((*it)[1]));
    std::map<std::string, std::string> shown;
    const std::regex numberRe("<c r=\"([A-Z]+[0-9]+)\"(?: s=\"([0-9]+)\")?><v>([^<]*)</v></c>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), numberRe), end; it != end; ++it) {
        const int style = (*it)[2].matched ? std::stoi((*it)[2]) : 0;
        const int decimals = decimalsOfFormat.at(formatOfStyle.at(static_cast<std::size_t>(style)));
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, std::stod((*it)[3]));
        shown[(*it)[1]] = text;
    }
    return shown;
}

}  // namespace korvane::testing
