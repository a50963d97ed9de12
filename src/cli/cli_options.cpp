#include "cli/cli_options.h"

#include <utility>

#include "comm/port_address.h"
#include "comm/port_enumeration.h"
#include "common/file_path.h"
#include "common/process.h"
#include "paradb/data_dir.h"

namespace korvane::cli {

namespace {

const std::pair<const char*, Parity> kParities[] = {{"none", Parity::None},
                                                    {"odd", Parity::Odd},
                                                    {"even", Parity::Even},
                                                    {"mark", Parity::Mark},
                                                    {"space", Parity::Space}};

// Consumes a global option at args[i] (and its value); false if args[i] is none.
bool takeGlobal(const std::vector<std::string>& args, std::size_t& i, ParsedCommandLine& p) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
        return args[++i];
    };
    GlobalOptions& o = p.options;
    if (a == "--help" || a == "-h") {
        p.help = true;
    } else if (a == "--lang") {
        p.language = ParseLanguage(value());
        if (!p.language) throw UsageError("--lang is ja or en");
    } else if (a == "--trace") {
        o.trace = true;
    } else if (a == "--port") {
        o.port.portName = value();
        if (o.port.portName.empty()) throw UsageError("--port needs a name or path");
        std::string problem;
        if (!ParsePortAddress(o.port.portName, problem)) throw UsageError(problem);
    } else if (a == "--protocol") {
        const std::string& v = value();
        if (v == "tk485") {
            o.commMode = kCommTk485;
        } else if (v == "modbus") {
            o.commMode = kCommModbus;
        } else {
            throw UsageError("--protocol is tk485 or modbus");
        }
    } else if (a == "--baud") {
        o.port.baudRate = static_cast<int>(ParseNumberArg(value(), 1, 4000000, "baud rate"));
    } else if (a == "--parity") {
        const std::string& v = value();
        bool found = false;
        for (const auto& [name, parity] : kParities) {
            if (v == name) {
                o.port.parity = parity;
                found = true;
            }
        }
        if (!found) throw UsageError("--parity is none, odd, even, mark or space");
    } else if (a == "--data-bits") {
        o.port.dataBits = static_cast<int>(ParseNumberArg(value(), 5, 8, "data bits"));
    } else if (a == "--stop-bits") {
        const std::string& v = value();
        if (v == "1") {
            o.port.stopBits = StopBits::One;
        } else if (v == "1.5") {
            o.port.stopBits = StopBits::OnePointFive;
        } else if (v == "2") {
            o.port.stopBits = StopBits::Two;
        } else {
            throw UsageError("--stop-bits is 1, 1.5 or 2");
        }
    } else if (a == "--pacing") {
        std::string v = value();
        if (v == "tick") {
            o.pacing = Pacing::kTick;
        } else if (v == "fast") {
            o.pacing = Pacing::kFast;
        } else {
            throw UsageError("--pacing is tick or fast");
        }
    } else if (a == "--timeout") {
        // Short time-outs are allowed: tests run the line fast.
        o.timeoutMs = static_cast<int>(ParseNumberArg(value(), 1, 600000, "time-out"));
    } else if (a == "--retries") {
        o.retries = static_cast<int>(ParseNumberArg(value(), 0, 100, "retry count"));
    } else if (a == "--auto-tx") {
        o.port.autoTxEnable = static_cast<int>(ParseNumberArg(value(), 0, 1, "--auto-tx"));
    } else if (a == "--tx-high") {
        o.port.txActiveHigh = static_cast<int>(ParseNumberArg(value(), 0, 1, "--tx-high"));
    } else {
        return false;
    }
    return true;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (takeGlobal(args, i, p)) continue;
        if (p.command.empty()) {
            if (args[i].rfind("--", 0) == 0) throw UsageError("unknown option " + args[i]);
            p.command = args[i];
        } else {
            p.commandArgs.push_back(args[i]);  // the command's own words and options
        }
    }
    if (p.options.commMode == kCommTk485 &&
        TransportOfPortName(p.options.port.portName) == PortTransport::ModbusTcp)
        throw UsageError(
            "a modbus-tcp:// port carries the MODBUS protocol only (--protocol modbus)");
    return p;
}

std::string UsageText() {
    std::string text =
        "usage: korvane-cli [--port PORT|tcp://H:P|rfc2217://H:P|modbus-tcp://H:P]\n"
        "                   [--protocol tk485|modbus] [--baud N]\n"
        "                   [--parity none|odd|even|mark|space] [--data-bits N] [--stop-bits "
        "1|1.5|2]\n"
        "                   [--timeout MS] [--retries N] [--auto-tx 0|1] [--tx-high 0|1] "
        "[--trace]\n"
        "                   [--pacing tick|fast] [--lang ja|en]\n"
        "                   COMMAND ...\n"
        "PORT is a serial port: " +
        std::string(LocalPortExamples()) + "\n" +
        "defaults: tk485, 9600 baud, 8N1, 1000 ms time-out, 3 retries, auto TX 1, tick pacing\n"
        "numbers are decimal or 0x-hex; results are JSON objects, one per line\n"
        "messages are in Japanese unless --lang en, or LANGUAGE, LC_ALL, LC_MESSAGES or LANG\n"
        "starting with en, asks for English (on Windows, with none of them set, a display\n"
        "language other than Japanese does)\n"
        "commands:\n";
    for (const auto& c : Commands()) text += std::string("  ") + c.synopsis + "\n";
    text +=
        "exit status: 0 every request succeeded, 1 any failed, 2 usage error,\n"
        "             3 compare found parameters that differ (or could not be read)\n";
    return text;
}

}  // namespace korvane::cli

#ifndef KORVANE_DEFAULT_DATA_DIR
#define KORVANE_DEFAULT_DATA_DIR "Data"
#endif
#ifndef KORVANE_INSTALLED_DATA_DIR
#define KORVANE_INSTALLED_DATA_DIR "/usr/share/korvane/Data"
#endif

namespace korvane::cli {

std::string CliDefaultDataDir() {
    // A Data folder beside the program first: the Windows zip, or any copy carried on a stick.
    if (const std::string dir = ProgramDirectory(); !dir.empty()) {
        const std::string beside = dir + "/Data";
        if (IsDirectory(beside)) return beside;
    }
    return DefaultDataDir(KORVANE_DEFAULT_DATA_DIR, KORVANE_INSTALLED_DATA_DIR);
}

}  // namespace korvane::cli
