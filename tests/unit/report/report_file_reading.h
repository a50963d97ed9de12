#pragma once
// Reading exported reports back: members of the workbook's zip through the unzip program, and
// the few XML entities the writers produce.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

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

}  // namespace korvane::testing
