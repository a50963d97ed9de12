#include "editor/transfer_priority.h"

#include <algorithm>
#include <array>

namespace korvane {
namespace {

constexpr std::array<std::uint16_t, 1> kElmLeading{0x5214};
constexpr std::array<std::uint16_t, 7> kElmExcluded{0x542E, 0x542F, 0x560A, 0x560B,
                                                    0x5611, 0x5614, 0x5634};
constexpr std::array<std::uint16_t, 1> kFirLeading{0x7404};
constexpr std::array<std::uint16_t, 13> kFirExcluded{0x725F, 0x7260, 0x7603, 0x7604, 0x7605,
                                                     0x7609, 0x761E, 0x763D, 0x763E, 0x763F,
                                                     0x7640, 0x7641, 0x7642};
constexpr std::array<std::uint16_t, 1> kHazelLeading{0x8215};
constexpr std::array<std::uint16_t, 2> kHazelExcluded{0x843C, 0x843D};
constexpr std::array<std::uint16_t, 1> kIvyLeading{0x921E};
constexpr std::array<std::uint16_t, 13> kIvyExcluded{0x945A, 0x945B, 0x960A, 0x960B, 0x9611,
                                                     0x9614, 0x963C, 0x963D, 0x963E, 0x963F,
                                                     0x9640, 0x9641, 0x9642};
constexpr std::array<std::uint16_t, 1> kJuniperLeading{0xA215};
constexpr std::array<std::uint16_t, 4> kJuniperExcluded{0xA43B, 0xA43C, 0xA43D, 0xA441};
constexpr std::array<std::uint16_t, 2> kKapokLeading{0x120A, 0x1114};
constexpr auto kKapokExcluded = [] {
    std::array<std::uint16_t, 27> a{0x110A, 0x134B};
    for (std::uint16_t i = 0; i < 25; ++i) a[2 + i] = static_cast<std::uint16_t>(0x1701 + i);
    return a;
}();
constexpr std::array<std::uint16_t, 1> kLarchLeading{0xD210};
constexpr std::array<std::uint16_t, 3> kLarchExcluded{0xD24F, 0xD250, 0xD254};

}  // namespace

bool PriorityTable::lists(std::uint32_t address) const {
    auto has = [address](std::span<const std::uint16_t> list) {
        return std::find(list.begin(), list.end(), address) != list.end();
    };
    return has(leading) || has(excluded);
}

PriorityTable PriorityTableFor(int seriesCode) {
    switch (seriesCode) {
        case 4:
            return {kElmLeading, kElmExcluded};
        case 5:
            return {kFirLeading, kFirExcluded};
        case 8:
            return {kHazelLeading, kHazelExcluded};
        case 9:
            return {kIvyLeading, kIvyExcluded};
        case 10:
            return {kJuniperLeading, kJuniperExcluded};
        case 11:
            return {kKapokLeading, kKapokExcluded};
        case 13:
            return {kLarchLeading, kLarchExcluded};
        default:
            return {};
    }
}

}  // namespace korvane
