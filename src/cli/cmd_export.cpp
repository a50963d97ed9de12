// export STATION OUT.txt [--data-dir DIR] [--freq-mode 0|1]
// export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]
//        [--freq-mode 0|1] [--time1 1|10|100] OUT.txt
// The parameter text file as the editor writes it: online after reading every parameter of the
// drive one request at a time, offline from a data file (with a parameter set's values).
#include <algorithm>
#include <cctype>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/cli_command.h"
#include "cli/link_session.h"
#include "cli/reply_json.h"
#include "common/prompter.h"
#include "editor/text_export.h"
#include "paradb/custom_group.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/para_array.h"

#ifndef KORVANE_DEFAULT_DATA_DIR
#define KORVANE_DEFAULT_DATA_DIR "Data"
#endif

namespace korvane::cli {
namespace {

struct ExportOptions {
    int station = 0;  // 0: offline
    int seriesCode = -1;
    int version = -1;
    std::string file;
    std::string dataDir = KORVANE_DEFAULT_DATA_DIR;
    int frequencyMode = 1;
    int time1Divisor = 10;
    std::string out;
};

// Nobody is there to answer: texts go to the diagnostics stream, questions are answered no.
class StreamPrompter : public Prompter {
public:
    explicit StreamPrompter(std::ostream& err) : err_(err) {}
    bool askYesNo(const std::string& text, const std::string&) override {
        err_ << text << "\n";
        return false;
    }
    void info(const std::string& text, const std::string&) override { err_ << text << "\n"; }
    void error(const std::string& text, const std::string&) override { err_ << text << "\n"; }

private:
    std::ostream& err_;
};

std::string Extension(const std::string& path) {
    auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

ExportOptions ParseOptions(const std::vector<std::string>& args) {
    ExportOptions o;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--series") {
            o.seriesCode = static_cast<int>(ParseNumberArg(value(), 0, 0xFFFF, "series code"));
        } else if (a == "--version") {
            o.version = static_cast<int>(ParseNumberArg(value(), 0, 0xFFFF, "version"));
        } else if (a == "--file") {
            o.file = value();
            const std::string ext = Extension(o.file);
            if (ext != "par" && ext != "usr") throw UsageError("--file names a .par or .usr file");
        } else if (a == "--data-dir") {
            o.dataDir = value();
            if (o.dataDir.empty()) throw UsageError("--data-dir needs a directory");
        } else if (a == "--freq-mode") {
            o.frequencyMode = static_cast<int>(ParseNumberArg(value(), 0, 1, "frequency mode"));
        } else if (a == "--time1") {
            long divisor = ParseNumberArg(value(), 1, 100, "TIME1 divisor");
            if (divisor != 1 && divisor != 10 && divisor != 100)
                throw UsageError("--time1 is 1, 10 or 100");
            o.time1Divisor = static_cast<int>(divisor);
        } else if (a.rfind("--", 0) == 0) {
            throw UsageError("export does not take " + a);
        } else {
            positional.push_back(a);
        }
    }
    const bool offline = o.seriesCode >= 0 || o.version >= 0;
    if (offline) {
        if (o.seriesCode < 0 || o.version < 0)
            throw UsageError("export needs --series and --version");
        if (positional.size() != 1) throw UsageError("export needs one output file");
    } else {
        if (positional.size() != 2) throw UsageError("export needs a station and an output file");
        if (!o.file.empty()) throw UsageError("--file is for the offline form");
        o.station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));
    }
    o.out = positional.back();
    if (o.out.empty()) throw UsageError("export needs an output file");
    return o;
}

// Reads every parameter of the data file in order, one request at a time, as the editor's
// read of all groups does. A parameter that fails keeps value 0 and read state 2.
class AllParametersReader : public ReplySink {
public:
    AllParametersReader(LinkSession& session, int station, CDataFile& data)
        : session_(session), station_(station) {
        if (!data.groups) return;
        for (CGroup& g : data.groups->elements)
            for (CItem& item : g.items) items_.push_back(&item);
    }
    void start() { next(); }
    bool done() const { return pos_ >= items_.size(); }
    int failed() const { return failed_; }

    void OnDriveReply(int, const DriveReply& reply) override {
        if (!IsFinal(reply)) {
            session_.traceNotice(reply);
            return;
        }
        if (done()) return;
        CItem& item = *items_[pos_];
        if (reply.errorCode == kErrNone) {
            item.value = static_cast<std::uint32_t>(reply.values[0]) & 0xFFFFu;
            item.readState = 1;
        } else {
            item.value = 0;
            item.readState = 2;
            ++failed_;
        }
        ++pos_;
        next();
    }

private:
    void next() {
        if (!done()) session_.link().QueueRead(station_, items_[pos_]->address, this);
    }

    LinkSession& session_;
    int station_;
    std::vector<CItem*> items_;
    std::size_t pos_ = 0;
    int failed_ = 0;
};

int Report(CommandContext& context, const ExportOptions& o, const CDataFile& data,
           const DriveRecord& record) {
    EncodedText written;
    std::string error;
    if (!SaveParameterText(o.out, data, record, &written, &error)) {
        context.err << "テキストファイルでパラメータを保存できません: " << error << "\n";
        return 1;
    }
    nlohmann::ordered_json j;
    j["file"] = o.out;
    j["bytes"] = written.bytes.size();
    j["encoding"] = TextEncodingName(written.encoding);
    context.out << j.dump() << std::endl;
    return context.out ? 0 : 1;
}

int RunOffline(CommandContext& context, const ExportOptions& o) {
    // An offline editor's record: past the stations, so nothing counts as an unread live value.
    DriveRecord record(kStationRecordCount);
    record.seriesCode = o.seriesCode;
    record.version = o.version;
    record.driveData = std::make_shared<CDataFile>();
    CDataFile& data = *record.driveData;
    if (!data.Load(&record, o.dataDir)) {
        context.err << data.GetStatusText() << "\n";
        return 1;
    }
    data.SetSpeedMode(o.frequencyMode, o.time1Divisor);
    StreamPrompter prompter(context.err);
    if (Extension(o.file) == "par") {
        CParaArray set(record.seriesCode, record.version);
        switch (ReadParaFile(o.file, set, prompter)) {
            case FileReadOutcome::kOk:
                (void)ApplyParaArray(data, set);
                break;
            case FileReadOutcome::kFailed:
                prompter.error(kParaFileOpenFailedText, kParameterEditorCaption);
                return 1;
            case FileReadOutcome::kAbandoned:
                return 1;
        }
    } else if (Extension(o.file) == "usr") {
        // An open user group does not change what the editor exports; it must still open.
        if (!OpenUserGroupFile(o.file, data, prompter)) return 1;
    }
    return Report(context, o, data, record);
}

int RunOnline(CommandContext& context, const ExportOptions& o) {
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    DriveRecords records;
    ConnectionEvents quiet;
    ConnectionManager manager(session.link(), records, quiet,
                              ConnectionConfig{o.dataDir, context.options.retries});
    manager.ScanIds({o.station});
    if (!session.runUntil([&] { return !manager.IsScanning(); })) return 1;
    DriveRecord& record = records[o.station];
    if (!record.connected) {
        context.err << "no drive answered at station " << o.station << "\n";
        return 1;
    }
    // Shared with the record, which the manager may reset; the export keeps its own hold.
    std::shared_ptr<CDataFile> data = record.driveData;
    if (!data || !data->loaded) {
        context.err << (data ? data->GetStatusText() : CDataFile::StatusText(kDataFileNoSeries))
                    << "\n";
        return 1;
    }
    data->SetSpeedMode(o.frequencyMode, record.timeScale);
    AllParametersReader reader(session, o.station, *data);
    reader.start();
    if (!session.runUntil([&] { return reader.done(); })) return 1;
    const int status = Report(context, o, *data, record);
    if (reader.failed() > 0) {
        context.err << reader.failed() << " parameters could not be read\n";
        return 1;
    }
    return status;
}

int RunExport(CommandContext& context) {
    const ExportOptions o = ParseOptions(context.args);
    return o.station > 0 ? RunOnline(context, o) : RunOffline(context, o);
}

const CommandRegistrar registrar(
    {"export",
     "export STATION OUT.txt [--data-dir DIR] [--freq-mode 0|1]\n"
     "         export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]\n"
     "         [--freq-mode 0|1] [--time1 1|10|100] OUT.txt   (offline: no line needed)",
     RunExport});

}  // namespace
}  // namespace korvane::cli
