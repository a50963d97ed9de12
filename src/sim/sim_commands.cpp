#include "sim/sim_commands.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace korvane::sim {

namespace {

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep)) parts.push_back(part);
    if (!text.empty() && text.back() == sep) parts.emplace_back();
    return parts;
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

}  // namespace

std::optional<long> ParseNumber(const std::string& text, long low, long high) {
    if (text.empty()) return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<DriveIdentity> ParseDriveSpec(const std::string& text) {
    auto parts = split(text, ':');
    if (parts.size() < 2 || parts.size() > 5) return std::nullopt;
    DriveIdentity id;
    auto station = ParseNumber(parts[0], 1, 255);
    auto series = ParseNumber(parts[1], 0, 0xFFFF);
    if (!station || !series) return std::nullopt;
    id.station = static_cast<int>(*station);
    id.series = static_cast<int>(*series);
    int* rest[] = {&id.version, &id.capacity, &id.voltage};
    for (std::size_t i = 2; i < parts.size(); ++i) {
        auto v = ParseNumber(parts[i], 0, 0xFFFF);
        if (!v) return std::nullopt;
        *rest[i - 2] = static_cast<int>(*v);
    }
    return id;
}

const char* SimCommandHelp() {
    return "drop PCT | corrupt PCT | garbage PCT | nak CODE [PCT] | nak off | delay MS |\n"
           "silent STATION | speak STATION | trip STATION [BIT] | clear | status";
}

bool ApplySimCommand(SimEngine& engine, const std::string& line, std::string& message) {
    auto w = words(line);
    if (w.empty()) {
        message = "empty command";
        return false;
    }
    FaultConfig f = engine.faults();
    const std::string& verb = w[0];
    auto arg = [&](std::size_t i, long low, long high) -> std::optional<long> {
        return i < w.size() ? ParseNumber(w[i], low, high) : std::nullopt;
    };
    auto percent = [&](int& field) {
        auto v = arg(1, 0, 100);
        if (!v || w.size() != 2) return false;
        field = static_cast<int>(*v);
        return true;
    };
    bool ok = false;
    if (verb == "drop") {
        ok = percent(f.dropPct);
    } else if (verb == "corrupt") {
        ok = percent(f.corruptPct);
    } else if (verb == "garbage") {
        ok = percent(f.garbagePct);
    } else if (verb == "delay") {
        auto v = arg(1, 0, 600000);
        ok = v && w.size() == 2;
        if (ok) f.delayMs = static_cast<int>(*v);
    } else if (verb == "nak") {
        if (w.size() == 2 && w[1] == "off") {
            f.nakCode.clear();
            ok = true;
        } else if (w.size() == 2 || w.size() == 3) {
            auto pct = w.size() == 3 ? arg(2, 0, 100) : std::optional<long>(100);
            ok = pct && w[1].size() <= 3;
            if (ok) {
                f.nakCode = w[1];
                f.nakPct = static_cast<int>(*pct);
            }
        }
    } else if (verb == "silent" || verb == "speak") {
        auto station = arg(1, 1, 255);
        ok = station && w.size() == 2;
        if (ok && verb == "silent") f.silentStations.insert(static_cast<int>(*station));
        if (ok && verb == "speak") f.silentStations.erase(static_cast<int>(*station));
    } else if (verb == "clear") {
        ok = w.size() == 1;
        f = FaultConfig{};
    } else if (verb == "trip") {
        auto station = arg(1, 1, 255);
        auto bit = w.size() == 3 ? arg(2, 0, 63) : std::optional<long>(0);
        SimDrive* d = station ? engine.drive(static_cast<int>(*station)) : nullptr;
        if (!d || !bit || w.size() > 3 || !d->trip(static_cast<int>(*bit))) {
            message = "trip: no such station or trip bit";
            return false;
        }
        message = "tripped station " + w[1];
        return true;
    } else if (verb == "status") {
        ok = w.size() == 1;
    }
    if (!ok) {
        message = "not understood: " + line + " (commands: " + SimCommandHelp() + ")";
        return false;
    }
    engine.setFaults(f);
    const SimStats& s = engine.stats();
    std::ostringstream out;
    out << "drop " << f.dropPct << " corrupt " << f.corruptPct << " garbage " << f.garbagePct << " delay "
        << f.delayMs << " nak " << (f.nakCode.empty() ? "off" : f.nakCode + " " + std::to_string(f.nakPct))
        << " silent";
    for (int st : f.silentStations) out << ' ' << st;
    out << " | requests " << s.requests << " replies " << s.replies << " dropped " << s.dropped << " corrupted "
        << s.corrupted << " garbled " << s.garbled << " refused " << s.refused;
    message = out.str();
    return true;
}

}  // namespace korvane::sim
