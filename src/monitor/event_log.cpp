#include "monitor/event_log.h"

#include <cstdio>

#include "common/clock.h"
#include "common/file_path.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/translation.h"

namespace korvane {

namespace {

constexpr const char* kStatusTexts[] = {
    "ノーエラー",
    "ログファイルが開けません",
    "ログファイルにデータを書き込めません",
    "ログファイルパスを変更できません",
};

constexpr const char* kFileExistsQuestion =
    "%s ファイルはすでに存在します.\n上書きを希望しますか？";

// The file keeps the line ends of the platform the log was first made for, whatever we run on.
constexpr const char* kNewline = "\r\n";

class DiskLogFile : public LogFile {
public:
    explicit DiskLogFile(std::FILE* f) : f_(f) {}
    ~DiskLogFile() override { std::fclose(f_); }
    bool write(std::string_view text) override {
        return std::fwrite(text.data(), 1, text.size(), f_) == text.size();
    }
    bool flush() override { return std::fflush(f_) == 0; }

private:
    std::FILE* f_;
};

}  // namespace

const char* EventLogStatusText(int status) {
    if (status < 0 || status > kEventLogCannotChangePath) status = kEventLogNoError;
    return Tr(kStatusTexts[status]);
}

std::string FormatEventLine(int station, std::string_view seriesName, std::string_view deviceName,
                            std::string_view text) {
    const std::string series(seriesName), name(deviceName), event(text);
    if (!name.empty()) {
        return strprintf("%d:%s(%s) %s", station, series.c_str(), name.c_str(), event.c_str());
    }
    return strprintf("%d:%s %s", station, series.c_str(), event.c_str());
}

bool DiskLogFileSystem::exists(const std::string& path) const {
    return PathExists(path);
}

std::unique_ptr<LogFile> DiskLogFileSystem::createFresh(const std::string& path) {
    // "w" truncates in place; the log is meant to start over, there is no old copy to keep.
    std::FILE* f = OpenFile(path, "wb");
    if (!f) return nullptr;
    return std::make_unique<DiskLogFile>(f);
}

bool EventLogPane::add(std::string line) {
    lines_.push_back(std::move(line));
    if (lines_.size() <= kMaxLines) return false;
    lines_.pop_front();
    return true;
}

CEventLog::CEventLog(const Clock& clock, LogFileSystem& files) : clock_(clock), files_(files) {}

CEventLog::~CEventLog() {
    close();
}

std::string CEventLog::timestamp() const {
    LocalTime t = clock_.now();
    return strprintf("%04d.%02d.%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                     t.second);
}

std::unique_ptr<LogFile> CEventLog::openFresh(const std::string& path) {
    std::unique_ptr<LogFile> file = path.empty() ? nullptr : files_.createFresh(path);
    if (!file) {
        status_ = kEventLogCannotOpen;
        return nullptr;
    }
    std::string header = std::string(Tr("[ Korvaneイベントログファイル ]")) + kNewline +
                         "Date : " + timestamp() + kNewline + kNewline;
    if (!file->write(header) || !file->flush()) {
        status_ = kEventLogCannotWrite;
        return nullptr;
    }
    status_ = kEventLogNoError;
    return file;
}

bool CEventLog::start(const std::string& path) {
    if (!file_) {
        file_ = openFresh(path);
        if (!file_) return false;
    }
    logging_ = true;
    return true;
}

void CEventLog::stop() {
    logging_ = false;
}

void CEventLog::failWrite() {
    file_.reset();
    status_ = kEventLogCannotWrite;
    logging_ = false;
}

bool CEventLog::writeLine(const std::string& line) {
    // Every line reaches the file at once: a crash or a pulled plug on a field laptop must not
    // take the last events with it.
    return file_ && file_->write(line + kNewline) && file_->flush();
}

bool CEventLog::append(int station, std::string_view seriesName, std::string_view deviceName,
                       std::string_view text) {
    return appendEventLine(FormatEventLine(station, seriesName, deviceName, text));
}

bool CEventLog::appendEventLine(std::string_view eventLine) {
    std::string line = timestamp() + " >> " + std::string(eventLine);
    if (logging_ && !writeLine(line)) {
        failWrite();
        return false;
    }
    pane_.add(std::move(line));
    return true;
}

void CEventLog::changeFile(const std::string& currentPath, const std::string& newPath,
                           Prompter& prompter, const std::string& caption,
                           std::function<void(ChangeResult)> done) {
    if (newPath.empty() || newPath == currentPath) return done(ChangeResult::kUnchanged);
    if (!files_.exists(newPath)) return done(switchTo(newPath, prompter, caption));
    prompter.ask(strprintf(Tr(kFileExistsQuestion), newPath.c_str()), caption,
                 WhileAlive(alive_.watch(), [this, newPath, &prompter, caption, done](bool yes) {
                     done(yes ? switchTo(newPath, prompter, caption) : ChangeResult::kUnchanged);
                 }));
}

CEventLog::ChangeResult CEventLog::switchTo(const std::string& newPath, Prompter& prompter,
                                            const std::string& caption) {
    // The new file is opened before the current one is let go: if it cannot be made, logging
    // carries on in the current file instead of running on with no file at all.
    std::unique_ptr<LogFile> fresh = openFresh(newPath);
    if (!fresh) {
        status_ = kEventLogCannotChangePath;
        prompter.error(statusText(), caption);
        return ChangeResult::kFailed;
    }
    if (file_) (void)file_->flush();
    file_ = std::move(fresh);
    return ChangeResult::kChanged;
}

void CEventLog::close() {
    if (file_) (void)file_->flush();
    file_.reset();
}

}  // namespace korvane
