// set STATION ADDR TEXT [--data-dir DIR]: one parameter written as the parameter editor's edit
// dialog writes it: TEXT taken by the parameter's type (unit, rpm, option text or number,
// "0x..." hexadecimal, bit string "b..."), refused out of range or while the run lock holds
// (nothing written), then written and read back.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/identified_drive.h"
#include "cli/stream_prompter.h"
#include "common/format.h"
#include "common/translation.h"
#include "editor/edit_session.h"
#include "editor/edit_texts.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/value_codec.h"

namespace korvane::cli {
namespace {

// Puts the entered value into the dialog's value control.
void Enter(EditSession& session, const EnteredValue& value) {
    if (session.Kind() == EditDialogKind::kBits) {
        session.SetBits(static_cast<std::uint16_t>(value.number));
    } else if (session.IsOptionList()) {
        session.SetSelectedIndex(static_cast<int>(value.number));
    } else {
        session.SetFieldNumber(value.number);
    }
}

std::string ResultJson(int station, const CItem& item, const std::string& oldText,
                       const std::string* newText, int error) {
    nlohmann::ordered_json j;
    j["station"] = station;
    j["address"] = item.address;
    j["name"] = item.displayName;
    j["old"] = oldText;
    j["new"] = newText ? nlohmann::ordered_json(*newText) : nlohmann::ordered_json(nullptr);
    j["unit"] = GetUnitText(item);
    j["error"] = error;
    if (error != kErrNone) j["error_text"] = ErrorText(error);
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

int runSet(CommandContext& context) {
    std::vector<std::string> args = context.args;
    const std::string dataDir = TakeDataDirOption(args);
    if (args.size() != 3) throw UsageError("set needs a station, an address and a value");
    const int station = static_cast<int>(ParseNumberArg(args[0], 1, 255, "station"));
    const auto address = static_cast<std::uint16_t>(ParseNumberArg(args[1], 0, 0xFFFF, "address"));

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, dataDir, context.options.retries);
    if (!drive.identify(station, context.err) || !drive.readEditWords(context.err)) return 1;
    CItem* item = drive.record().driveData->FindItem(address);
    if (item == nullptr) {
        context.err << "korvane-cli: the data file has no parameter at address " << args[1] << "\n";
        return 1;
    }
    if (item->writable == 0) {
        context.err << "korvane-cli: " << item->displayName << " is read-only\n";
        return 1;
    }
    auto value = ParseEnteredValue(*item, args[2]);
    if (!value) {
        context.err << "korvane-cli: \"" << args[2] << "\" is not a value of " << item->displayName
                    << "\n";
        return 1;
    }
    if (value->problem != EntryProblem::kNone) {
        const std::string text = EntryProblemText(value->problem, NumericFieldPattern(*item));
        context.err << strprintf(kEditStatusErrorFormat, text.c_str()) << "\n";
        return 1;
    }

    CWriteHistory history;
    StreamPrompter prompter(context.err);
    EditSession edit({session.link(), drive.record(), history, prompter}, drive.record().driveData,
                     item, nullptr);
    auto settle = [&] { return session.runUntil([&] { return !edit.IsBusy(); }); };
    edit.Open();
    if (!settle()) return 1;
    if (item->readState != 1) {
        context.err << edit.StatusText() << "\n";
        return 1;
    }
    const std::string oldText = FormatValue(*item, item->value);
    Enter(edit, *value);
    switch (edit.CheckWrite()) {
        case WriteRefusal::kReadOnly:  // refused above already
            return 1;
        case WriteRefusal::kRunLock:
            context.err << Tr(kRunLockText) << "\n";
            return 1;
        case WriteRefusal::kRange:
        case WriteRefusal::kNotANumber:  // the entered number was put into the field as text
        case WriteRefusal::kTooManyDecimals:
            context.err << strprintf(kEditStatusErrorFormat, ErrorText(kErrDataRange)) << "\n";
            return 1;
        case WriteRefusal::kNone:
            break;
    }
    edit.Write();
    if (!settle()) return 1;
    if (edit.LastWriteError() != kErrNone) {
        context.out << ResultJson(station, *item, oldText, nullptr, edit.LastWriteError()) << "\n";
        return 1;
    }
    edit.Read();
    if (!settle()) return 1;
    const std::string newText = FormatValue(*item, item->value);
    context.out << ResultJson(station, *item, oldText, &newText, kErrNone) << "\n";
    context.out.flush();
    return item->readState == 1 && context.out ? 0 : 1;
}

const CommandRegistrar registrar({"set", "set STATION ADDR TEXT [--data-dir DIR]", runSet});

}  // namespace
}  // namespace korvane::cli
