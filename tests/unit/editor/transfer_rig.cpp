#include "unit/editor/transfer_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "comm/tk485_codec.h"
#include "common/prompter.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

int hex(const std::string& s) {
    int v = 0;
    EXPECT_TRUE(tk485::ParseHex(s, v)) << s;
    return v;
}

}  // namespace

std::string savedPar(const TempDir& tmp, const std::string& name, WordPairs values, int series,
                     int version) {
    CParaArray set(series, version);
    for (auto [a, v] : values) set.Add(a, v);
    const std::string path = tmp.file(name);
    EXPECT_TRUE(SaveParaFile(path, set));
    return path;
}

std::string savedUsr(const TempDir& tmp, const std::string& name, WordPairs values, int series,
                     int version) {
    UserGroup group;
    group.seriesCode = series;
    group.version = version;
    for (auto [a, v] : values) group.AddEntry(a, v);
    const std::string path = tmp.file(name);
    EXPECT_TRUE(SaveUserGroupFile(path, group));
    return path;
}

WordPairs readPar(const std::string& path) {
    CParaArray set(11, 0x0310);
    EXPECT_EQ(ReadParaFile(path, set).outcome, FileReadOutcome::kOk) << path;
    WordPairs out;
    for (std::size_t i = 0; i < set.addresses.size(); ++i)
        out.emplace_back(set.addresses[i], set.values[i]);
    return out;
}

WordPairs readUsr(const std::string& path) {
    UserGroup group;
    EXPECT_TRUE(ReadUserGroupFile(path, group).ok());
    WordPairs out;
    for (const auto& e : group.entries) out.emplace_back(e->address, e->value);
    return out;
}

std::uint32_t valueAt(const WordPairs& set, std::uint32_t address) {
    for (auto [a, v] : set)
        if (a == address) return v;
    ADD_FAILURE() << std::hex << address << " not in the file";
    return 0;
}

bool holds(const WordPairs& set, std::uint32_t address) {
    return std::any_of(set.begin(), set.end(), [&](auto p) { return p.first == address; });
}

void ScriptPrompter::ask(const std::string& text, const std::string&, YesNo yesNo) {
    entries.push_back({"question", text});
    if (holdQuestions) return open.push_back(std::move(yesNo));
    yesNo(answer(text));
}

std::vector<std::string> ScriptPrompter::texts(const std::string& kind) const {
    std::vector<std::string> out;
    for (const Entry& e : entries)
        if (e.kind == kind) out.push_back(e.text);
    return out;
}

TransferRig::TransferRig(int series, int version) : link(ex, test::MakeFakePortFactory(ex, line)) {
    drive.connected = 1;
    drive.supported = 1;
    drive.seriesCode = series;
    drive.version = version;
    drive.driveData = std::make_shared<CDataFile>();
    EXPECT_EQ(drive.driveData->Load(&drive, KORVANE_TEST_DATA_DIR), 1);
    line->responder = [this](const std::string& f) { return answer(f); };
    // A short time-out keeps the failure tests quick: three ticks.
    EXPECT_EQ(link.Open([](int) {}, kCommTk485, PortSettings{}, 90, 30, 2), kLinkOpenOk);
}

TransferRig::~TransferRig() = default;

std::unique_ptr<TransferRun> TransferRig::dialog(TransferMode mode, const std::string& path) {
    auto dlg =
        std::make_unique<TransferRun>(TransferContext{link, drive, prompter, ex, choice}, mode);
    view.listen(*dlg);
    dlg->SetPathText(path);
    return dlg;
}

void TransferRig::tick() {
    link.OnTick();
    ex.drain();
}

bool TransferRig::runUntil(const std::function<bool()>& done, int maxTicks) {
    ex.drain();
    for (int i = 0; i < maxTicks && !done(); ++i) tick();
    return done();
}

bool TransferRig::finish(TransferRun& dlg, int maxTicks) {
    return runUntil([&] { return !dlg.IsRunning(); }, maxTicks);
}

std::optional<std::string> TransferRig::answer(const std::string& frame) {
    if (silent) return std::nullopt;
    const std::string p = frame.substr(1, frame.size() - 4);
    const int station = hex(p.substr(0, 2));
    const char letter = p[2];
    const int address = hex(p.substr(3, 4));
    std::optional<std::string> reply;
    auto& sequence = nakSequence[address];
    if (!sequence.empty()) {
        std::string code = sequence.front();
        sequence.erase(sequence.begin());
        if (code == "SUM") {
            int w = 0;
            reply = tk485::BuildAckReply(station, letter, &w, 1);
            (*reply)[reply->size() - 2] ^= 1;
        } else if (code == "MUTE") {
            return std::nullopt;
        } else {
            reply = tk485::BuildNakReply(station, letter, code);
        }
    } else if (nak.count(address)) {
        reply = tk485::BuildNakReply(station, letter, nak[address]);
    } else if (letter == 'W') {
        int value = words[address] = hex(p.substr(8, 4));
        reply = tk485::BuildAckReply(station, letter, &value, 1);
    } else {
        const CItem* item = drive.driveData->FindItem(static_cast<std::uint16_t>(address));
        int value = words.count(address) ? words[address]
                                         : static_cast<int>(item ? item->defaultValue & 0xFFFF : 0);
        reply = tk485::BuildAckReply(station, letter, &value, 1);
    }
    if (hold) {
        held = reply;
        return std::nullopt;
    }
    return reply;
}

std::vector<std::pair<char, int>> TransferRig::requests() const {
    std::vector<std::pair<char, int>> out;
    for (const std::string& f : line->sent) {
        const std::string p = f.substr(1, f.size() - 4);
        out.emplace_back(p[2], hex(p.substr(3, 4)));
    }
    return out;
}

std::vector<int> TransferRig::writtenAddresses() const {
    std::vector<int> out;
    for (auto [letter, address] : requests())
        if (letter == 'W') out.push_back(address);
    return out;
}

}  // namespace korvane::testing
