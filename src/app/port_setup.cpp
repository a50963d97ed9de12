#include "app/port_setup.h"

#include <algorithm>
#include <charconv>

#include "comm/port_address.h"
#include "comm/port_enumeration.h"
#include "common/format.h"
#include "common/translation.h"

namespace korvane {
namespace {

template <typename T, std::size_t N>
int indexOr(const std::array<T, N>& choices, const T& value, const T& fallback) {
    auto it = std::find(choices.begin(), choices.end(), value);
    if (it == choices.end()) it = std::find(choices.begin(), choices.end(), fallback);
    return static_cast<int>(it - choices.begin());
}

// The widget owns the indexes, but a stale or hand-built form must not index past a list.
template <typename T, std::size_t N>
T choiceAt(const std::array<T, N>& choices, int index, std::size_t fallback) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return choices[fallback];
    return choices[static_cast<std::size_t>(index)];
}

unsigned indexValue(int index, unsigned count, unsigned fallback) {
    return index >= 0 && static_cast<unsigned>(index) < count ? static_cast<unsigned>(index)
                                                              : fallback;
}

}  // namespace

std::string PortFieldHint() {
    return std::string(LocalPortExamples()) +
           "\ntcp://HOST:PORT, rfc2217://HOST:PORT, modbus-tcp://HOST:PORT";
}

std::string PortOpenFailedText(const std::string& port) {
    return strprintf(Tr("%sポートを開くことができません"), port.c_str());
}

PortSetupForm MakePortSetupForm(const AppSettings& settings, const PortNameList& ports) {
    PortSetupForm form;
    form.protocolIndex = static_cast<int>(std::min(settings.commMode, 1u));
    form.port = IsKnownPort(settings.port, ports) || ports.empty() ? settings.port : ports.front();
    form.baudRateIndex = indexOr(kBaudRateChoices, settings.baudRate, 9600u);
    form.dataBitsIndex = indexOr(kDataBitsChoices, settings.dataBits, 8u);
    form.parityIndex = static_cast<int>(indexValue(static_cast<int>(settings.parity), 5, 0));
    form.stopBitsIndex = static_cast<int>(indexValue(static_cast<int>(settings.stopBits), 3, 0));
    form.timeOutText = std::to_string(settings.timeOut);
    // Showing one count while keeping another would let OK store a count nobody chose; the
    // default entry is shown and kept.
    form.retryIndex = indexOr(kRetryChoices, settings.retryCount, 3u);
    form.automaticTx = settings.autoTxEnable != 0;
    form.txLevelIndex = settings.txActiveHigh != 0 ? 0 : 1;
    form.fastPacing = settings.fastPacing;
    form.recentAddresses = settings.recentAddresses;
    return form;
}

bool PortSetupForm::framingEnabled() const {
    const PortTransport t = TransportOfPortName(port);
    return t != PortTransport::RawTcp && t != PortTransport::ModbusTcp;
}

bool PortSetupForm::tk485Offered() const {
    return TransportOfPortName(port) != PortTransport::ModbusTcp;
}

std::string CheckPortName(const std::string& port, int protocolIndex) {
    std::string error;
    auto address = ParsePortAddress(port, error);
    if (!address) return Tr("通信ポートのアドレスが正しくありません。\n") + error;
    if (address->transport == PortTransport::ModbusTcp &&
        static_cast<unsigned>(protocolIndex) == kCommModeTk485)
        return Tr("modbus-tcp:// のポートでは MODBUS-RTU モードを選択してください。");
    return {};
}

NumberCheck CheckNumberText(const std::string& text, unsigned min, unsigned max) {
    NumberCheck check;
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    long long value = 0;
    bool number = false;
    if (first != std::string::npos) {
        const char* begin = text.data() + first;
        const char* end = text.data() + last + 1;
        if (*begin == '+') ++begin;
        auto [ptr, ec] = std::from_chars(begin, end, value);
        number = begin != end && ptr == end && ec != std::errc::invalid_argument;
        if (ec == std::errc::result_out_of_range) value = -1;  // far outside either way
    }
    if (!number) {
        check.message = Tr("整数を入力してください。");
    } else if (value < min || value > max) {
        check.message = strprintf(Tr("%u から %u までの整数を入力してください。"), min, max);
    } else {
        check.ok = true;
        check.value = static_cast<unsigned>(value);
    }
    return check;
}

TimeOutCheck CheckTimeOutText(const std::string& text) {
    return CheckNumberText(text, kMinTimeOut, kMaxTimeOut);
}

PortSetupOutcome ApplyPortSetupForm(const PortSetupForm& form, AppSettings& settings) {
    PortSetupOutcome outcome;
    outcome.message = CheckPortName(form.port, form.protocolIndex);
    if (!outcome.message.empty()) return outcome;
    TimeOutCheck timeOut = CheckTimeOutText(form.timeOutText);
    if (!timeOut.ok) {
        outcome.message = timeOut.message;
        return outcome;
    }
    settings.commMode = indexValue(form.protocolIndex, 2, kCommModeTk485);
    if (!form.port.empty()) settings.port = form.port;
    RememberAddress(settings.recentAddresses, settings.port);
    settings.baudRate = choiceAt(kBaudRateChoices, form.baudRateIndex, 3);
    settings.dataBits = choiceAt(kDataBitsChoices, form.dataBitsIndex, 3);
    settings.parity = indexValue(form.parityIndex, 5, 0);
    settings.stopBits = indexValue(form.stopBitsIndex, 3, 0);
    settings.timeOut = timeOut.value;
    settings.retryCount = choiceAt(kRetryChoices, form.retryIndex, 1);
    settings.autoTxEnable = form.automaticTx ? 1 : 0;
    settings.txActiveHigh = form.txLevelIndex == 1 ? 0 : 1;
    settings.fastPacing = form.fastPacing;
    outcome.accepted = true;
    return outcome;
}

}  // namespace korvane
