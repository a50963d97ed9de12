#include "sim/sim_engine.h"

#include <algorithm>
#include <cmath>

#include "sim/data_file_parameters.h"

namespace korvane::sim {

SimEngine::SimEngine(const SimConfig& config) : config_(config), rng_(config.seed) {
    if (config_.protocol == SimProtocol::Modbus) {
        // Three and a half characters of silence end a MODBUS frame; never less than the
        // 1.75 ms the standard fixes for fast lines.
        auto gap = static_cast<std::int64_t>(std::max(3.5 * config_.line.charUs(), 1750.0));
        if (config_.modbusFrameGapUs > 0) gap = config_.modbusFrameGapUs;
        responder_ = std::make_unique<ModbusResponder>(gap);
    } else {
        responder_ = std::make_unique<Tk485Responder>();
    }
}

SimDrive& SimEngine::addDrive(const DriveIdentity& identity) {
    drives_.erase(identity.station);
    SimDrive& added = drives_.emplace(identity.station, SimDrive(identity)).first->second;
    if (!config_.dataDir.empty()) (void)ApplyDataFile(added, config_.dataDir);
    return added;
}

SimDrive* SimEngine::drive(int station) {
    auto it = drives_.find(station);
    return it == drives_.end() ? nullptr : &it->second;
}

bool SimEngine::roll(int pct) {
    // Always draw, so a seed gives the same pattern whichever faults are switched on.
    return static_cast<int>(rng_() % 100) < pct;
}

void SimEngine::advanceDrives(std::int64_t nowUs) {
    if (!physicsUs_) physicsUs_ = nowUs;
    std::int64_t elapsedMs = (nowUs - *physicsUs_) / 1000;
    if (elapsedMs <= 0) return;
    *physicsUs_ += elapsedMs * 1000;
    for (auto& [station, drive] : drives_) drive.advance(elapsedMs);
}

void SimEngine::receive(const std::uint8_t* data, std::size_t length, std::int64_t nowUs) {
    advanceDrives(nowUs);
    if (auto stale = responder_->idle(nowUs)) handle(*stale, nowUs);
    for (std::size_t i = 0; i < length; ++i) {
        if (auto request = responder_->push(data[i], nowUs)) handle(*request, nowUs);
    }
}

void SimEngine::idle(std::int64_t nowUs) {
    advanceDrives(nowUs);
    if (auto request = responder_->idle(nowUs)) handle(*request, nowUs);
}

void SimEngine::handle(const SimRequest& request, std::int64_t nowUs) {
    ++stats_.requests;
    const FaultConfig& f = config_.faults;
    const bool drop = roll(f.dropPct), corrupt = roll(f.corruptPct), garble = roll(f.garbagePct),
               refuse = roll(f.nakPct);
    SimDrive* target = drive(request.station);
    if (!target) return;
    if (f.silentStations.count(request.station)) {
        ++stats_.silent;
        return;
    }
    Bytes reply;
    if (!f.nakCode.empty() && refuse && request.intact) {
        reply = responder_->refuse(request, f.nakCode);
        ++stats_.refused;
    } else {
        reply = responder_->answer(request, *target);
    }
    if (reply.empty()) return;
    if (drop) {
        ++stats_.dropped;
        return;
    }
    if (corrupt) {
        responder_->spoilCheck(reply);
        ++stats_.corrupted;
    }
    if (garble) {
        // Printable noise: it never looks like a frame's control characters.
        Bytes noise(1 + rng_() % 6);
        for (auto& b : noise) b = static_cast<std::uint8_t>('0' + rng_() % 43);
        reply.insert(reply.begin(), noise.begin(), noise.end());
        ++stats_.garbled;
    }
    const double lineUs =
        static_cast<double>(request.frame.size() + reply.size()) * config_.line.charUs();
    const auto dueUs =
        nowUs +
        static_cast<std::int64_t>(std::llround(lineUs + config_.line.turnaroundMs * 1000.0)) +
        static_cast<std::int64_t>(f.delayMs) * 1000;
    auto at = std::upper_bound(pending_.begin(), pending_.end(), dueUs,
                               [](std::int64_t due, const Pending& p) { return due < p.dueUs; });
    pending_.insert(at, Pending{dueUs, std::move(reply)});
    ++stats_.replies;
}

Bytes SimEngine::takeDue(std::int64_t nowUs) {
    Bytes out;
    while (!pending_.empty() && pending_.front().dueUs <= nowUs) {
        out.insert(out.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
        pending_.pop_front();
    }
    return out;
}

std::optional<std::int64_t> SimEngine::nextDueUs() const {
    if (pending_.empty()) return std::nullopt;
    return pending_.front().dueUs;
}

}  // namespace korvane::sim
