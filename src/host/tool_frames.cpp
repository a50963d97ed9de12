#include "host/tool_frames.h"

#include <algorithm>

#include "common/executor.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "common/text.h"

namespace korvane {

ToolFrameRegistry::ToolFrameRegistry(SettingsStore& settings, Executor& executor)
    : settings_(settings), executor_(executor) {}

std::string ToolFrameRegistry::placementKey(int kind, int stationKey) {
    return strprintf("%d-%d", kind, stationKey);
}

const ToolFrameRegistry::Entry* ToolFrameRegistry::findEntry(int kind, int stationKey) const {
    for (const Entry& e : entries_) {
        if (e.kind == kind && e.stationKey == stationKey) return &e;
    }
    return nullptr;
}

ToolFrame* ToolFrameRegistry::find(int kind, int stationKey) const {
    const Entry* e = findEntry(kind, stationKey);
    return e ? e->frame : nullptr;
}

bool ToolFrameRegistry::isListed(const ToolFrame* frame, std::uint64_t serial) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.frame == frame && e.serial == serial; });
}

ToolFrame* ToolFrameRegistry::openOrActivate(int kind, int stationKey,
                                             const std::function<ToolFrame*()>& create) {
    if (ToolFrame* existing = find(kind, stationKey)) {
        existing->activate();
        return existing;
    }
    ToolFrame* frame = create ? create() : nullptr;
    if (!frame) return nullptr;
    // Creating a frame can run arbitrary UI code; if it listed itself meanwhile, keep one entry.
    if (ToolFrame* raced = find(kind, stationKey)) return raced;

    std::vector<std::uint8_t> placement;
    if (settings_.getBytes(kPlacementSection, placementKey(kind, stationKey), placement) &&
        !placement.empty()) {
        frame->restorePlacement(placement);
    }
    entries_.push_back({kind, stationKey, frame, nextSerial_++});
    return frame;
}

void ToolFrameRegistry::frameClosing(const ToolFrame* frame) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.frame == frame; });
    if (it == entries_.end()) return;
    std::vector<std::uint8_t> placement = frame->savePlacement();
    if (!placement.empty()) {
        settings_.setBytes(kPlacementSection, placementKey(it->kind, it->stationKey), placement);
    }
    entries_.erase(it);
}

void ToolFrameRegistry::broadcast(const DriveEvent& event) {
    for (const Entry& e : entries_) {
        if (e.stationKey >= kFirstOfflineKey) continue;
        ToolFrame* frame = e.frame;
        std::uint64_t serial = e.serial;
        // The frame may close before the posted call runs; only a still-listed frame is touched.
        std::weak_ptr<const ToolFrameRegistry*> self = self_;
        executor_.post([self, frame, serial, event] {
            auto registry = self.lock();
            if (registry && (*registry)->isListed(frame, serial)) frame->onDriveEvent(event);
        });
    }
}

void ToolFrameRegistry::closeAll() {
    // Each close removes its own entry (and may close others, as an editor closes its report),
    // so walk a snapshot and skip what is already gone.
    std::vector<Entry> snapshot = entries_;
    for (const Entry& e : snapshot) {
        if (isListed(e.frame, e.serial)) e.frame->requestClose();
    }
}

std::vector<std::string> ToolFrameRegistry::unsavedWork() const {
    std::vector<std::string> lines;
    for (const Entry& e : entries_) {
        std::string line = e.frame->unsavedWork();
        if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(std::move(line));
    }
    return lines;
}

void ToolFrameRegistry::discardUnsavedWork() {
    for (const Entry& e : entries_) e.frame->discardUnsavedWork();
}

// ---------------------------------------------------------------------------------------------

RecentFileList::RecentFileList(std::string section, int size)
    : section_(std::move(section)), size_(static_cast<std::size_t>(std::max(size, 1))) {}

void RecentFileList::load(const SettingsStore& settings) {
    paths_.clear();
    for (std::size_t i = 0; i < size_; ++i) {
        std::string path = settings.getString(section_, strprintf("File%zu", i + 1), std::string());
        if (!path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end()) {
            paths_.push_back(path);
        }
    }
}

void RecentFileList::save(SettingsStore& settings) const {
    // Unused slots are written empty so that a shorter list does not resurrect old entries.
    for (std::size_t i = 0; i < size_; ++i) {
        settings.setString(section_, strprintf("File%zu", i + 1),
                           i < paths_.size() ? paths_[i] : std::string());
    }
}

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) paths_.erase(it);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > size_) paths_.resize(size_);
}

void RecentFileList::remove(std::size_t index) {
    if (index < paths_.size()) paths_.erase(paths_.begin() + static_cast<std::ptrdiff_t>(index));
}

bool RecentFileList::choose(std::size_t index,
                            const std::function<bool(const std::string&)>& open) {
    if (index >= paths_.size() || !open) return false;
    // Copy: a successful open usually adds the path again, which reorders the list.
    std::string path = paths_[index];
    if (open(path)) return true;
    auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) paths_.erase(it);
    return false;
}

std::string RecentFileList::displayName(std::size_t index) const {
    return index < paths_.size() ? AbbreviatePath(paths_[index], kDisplayChars) : std::string();
}

// ---------------------------------------------------------------------------------------------

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first `n` characters of UTF-8 text, never splitting a character.
std::string firstChars(const std::string& s, std::size_t n) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!isContinuationByte(s[i])) {
            if (chars == n) return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

// Length of the root: "/", "C:\", "\\server\share\" or nothing for a relative path.
std::size_t rootLength(const std::string& path) {
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        std::size_t pos = 2;
        for (int parts = 0; parts < 2 && pos < path.size(); ++parts) {
            while (pos < path.size() && !isSeparator(path[pos])) ++pos;
            if (pos < path.size()) ++pos;
        }
        return pos;
    }
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) return 3;
    if (!path.empty() && isSeparator(path[0])) return 1;
    return 0;
}

}  // namespace

std::string AbbreviatePath(const std::string& path, std::size_t maxChars) {
    if (Utf8CharCount(path) <= maxChars) return path;

    std::size_t lastSep = path.find_last_of("/\\");
    std::string name = lastSep == std::string::npos ? path : path.substr(lastSep + 1);
    if (Utf8CharCount(name) > maxChars) {
        return maxChars > 3 ? firstChars(name, maxChars - 3) + "..." : firstChars(name, maxChars);
    }

    std::size_t root = std::min(rootLength(path), lastSep == std::string::npos ? 0 : lastSep);
    const std::string head = path.substr(0, root) + "...";
    const char sep = lastSep == std::string::npos ? '/' : path[lastSep];
    // Drop leading directories after the root until the rest fits behind "root...".
    for (std::size_t pos = root; pos != std::string::npos && pos < path.size();) {
        std::size_t next = path.find_first_of("/\\", pos);
        if (next == std::string::npos) break;
        std::string candidate = head + sep + path.substr(next + 1);
        if (Utf8CharCount(candidate) <= maxChars) return candidate;
        pos = next + 1;
    }
    return name;
}

}  // namespace korvane
