#pragma once
// A drive on a fake TK485 line, a small hand-made data file for it, and manual ticks: the
// editor's request chains run exactly as they would against a drive, one tick at a time.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "comm/drive_link.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "support/fake_port.h"

namespace korvane::test {

constexpr int kStation = 3;

// Answers reads and writes from a word table; per address it can refuse with a NAK code or
// stay silent.
struct FakeDrive {
    std::map<int, int> words;
    std::map<int, std::string> nak;  // address -> two-letter code
    std::set<int> silent;
    int badChecksumNext = 0;
    std::vector<std::pair<char, int>> requests;  // letter, address
    std::vector<std::pair<int, int>> writes;     // address, value

    std::optional<std::string> Answer(const std::string& frame) {
        std::string p = frame.substr(1, frame.size() - 4);
        int station = 0, address = 0, value = 0;
        (void)tk485::ParseHex(p.substr(0, 2), station);
        const char letter = p[2];
        (void)tk485::ParseHex(p.substr(3, 4), address);
        requests.emplace_back(letter, address);
        if (silent.count(address)) return std::nullopt;
        if (auto it = nak.find(address); it != nak.end())
            return tk485::BuildNakReply(station, letter, it->second);
        int word = 0;
        if (letter == 'W') {
            (void)tk485::ParseHex(p.substr(8, 4), value);
            words[address] = value;
            writes.emplace_back(address, value);
            word = value;
        } else {
            word = words.count(address) ? words[address] : 0;
        }
        std::string reply = tk485::BuildAckReply(station, letter, &word, 1);
        if (badChecksumNext > 0) {
            --badChecksumNext;
            reply[reply.size() - 2] ^= 1;
        }
        return reply;
    }
    int writeCount() const { return static_cast<int>(writes.size()); }
};

struct ItemSpec {
    int address;
    const char* name;
    const char* type;  // "" for none, "MSG" for the option list
    int minimum;
    int maximum;
    int defaultValue = 0;
    int writable = 1;
    int runWritable = 0;
};

class EditorRig {
public:
    EditorRig() : record(kStation) {
        line->responder = [this](const std::string& f) { return drive.Answer(f); };
        record.seriesCode = 11;
        record.version = 0x0310;
        record.connected = record.supported = 1;
        record.statusWord = kStatusStopped;
        record.driveData = std::make_shared<CDataFile>();
        data().drive = &record;
        data().loaded = 1;
        data().seriesCode = 11;
        data().version = 0x0310;
        data().groups = std::make_unique<CGroupList>();
        data().types = std::make_unique<CTypeList>();
        data().messes = std::make_unique<MessageTableList>();
        AddType("FREQ3", "Hz", 1, 100, 0);
        AddType("TIME1", "sec", 1, 10, 0);
        AddType("NUM", "", 1, 1, 0);
        AddType("HEX4", "", 4, 4, kTypeFlagHex);
        AddType("BIT4", "", 4, 4, kTypeFlagBinary);
        AddType("MSG", "", 1, 1, 0);
        data().messes->elements.push_back({"NoYes", {"No", "Yes"}});
        (void)link.Open([](int) {}, kCommTk485, PortSettings{}, 90, 30, 2);
    }

    CDataFile& data() { return *record.driveData; }

    void AddType(const char* name, const char* unit, unsigned n, unsigned d, std::uint8_t flags) {
        CType t;
        t.name = name;
        t.unit = unit;
        t.numerator = n;
        t.denominator = d;
        t.flags = flags;
        t.numeratorD = n;
        t.denominatorD = d;
        data().types->elements.push_back(t);
    }

    CGroup& AddGroup(const std::string& name, const std::vector<ItemSpec>& items) {
        CGroup& g = data().groups->elements.emplace_back();
        g.name = name;
        g.dataFile = &data();
        for (const ItemSpec& s : items) {
            CItem& it = g.items.emplace_back();
            it.address = static_cast<std::uint16_t>(s.address);
            it.name = it.displayName = s.name;
            it.typeName = s.type;
            it.minimum = s.minimum;
            it.maximum = s.maximum;
            it.defaultValue = static_cast<std::uint32_t>(s.defaultValue);
            it.value = it.defaultValue;
            it.writable = static_cast<std::uint32_t>(s.writable);
            it.runWritable = static_cast<std::uint32_t>(s.runWritable);
            it.group = &g;
            if (std::string(s.type) == "MSG") {
                it.optionFlag = kItemOptionFlag;
                it.optionListName = "NoYes";
                it.mess = data().messes->Find("NoYes");
            } else if (*s.type) {
                it.type = data().types->Find(s.type);
            }
        }
        return g;
    }

    CItem& Item(int address) { return *data().FindItem(static_cast<std::uint16_t>(address)); }

    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            link.OnTick();
            ex.drain();
        }
    }
    // Ticks until `done` (true) or the limit (false).
    bool TickUntil(const std::function<bool()>& done, int limit = 2000) {
        for (int i = 0; i < limit; ++i) {
            if (done()) return true;
            Tick();
        }
        return done();
    }

    QueueExecutor ex;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    CDriveLink link{ex, MakeFakePortFactory(ex, line)};
    FakeDrive drive;
    DriveRecord record;
    CWriteHistory history;
    RecordingPrompter prompter;
};

}  // namespace korvane::test
