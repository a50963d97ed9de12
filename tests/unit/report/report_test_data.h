#pragma once
// A drive with a small in-memory data file, wired as a load leaves it, for the report tests.
#include <memory>
#include <string>
#include <vector>

#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/user_group.h"
#include "report/report_document.h"

namespace korvane::testing {

struct ReportDrive {
    // Groups of the given sizes named "G1", "G2", ...; item k of group g has address
    // 0x0100 * g + k, value 10 * k, default 10 * k, read.
    explicit ReportDrive(std::vector<int> groupSizes, int station = 3) : record(station) {
        record.seriesCode = kSeriesKapok;
        record.version = 0x0311;
        record.connected = 1;
        record.supported = 1;
        file.drive = &record;
        file.loaded = 1;
        file.seriesCode = kSeriesKapok;
        file.version = 0x0311;
        file.groups = std::make_unique<CGroupList>();
        type.name = "FREQ";
        type.unit = "Hz";
        type.denominator = 10;
        type.denominatorD = 10.0;
        int g = 1;
        for (int size : groupSizes) {
            CGroup& group = file.groups->elements.emplace_back();
            // Appended: GCC 12 at -O3 takes "literal" + a temporary for an overlapping copy.
            group.name = std::string("G").append(std::to_string(g));
            group.dataFile = &file;
            for (int k = 0; k < size; ++k) {
                CItem& item = group.items.emplace_back();
                item.address = static_cast<std::uint16_t>(0x0100 * g + k);
                item.displayName = std::string("P")
                                       .append(std::to_string(g))
                                       .append("-")
                                       .append(std::to_string(k));
                item.typeName = type.name;
                item.type = &type;
                item.minimum = -1000;
                item.maximum = 1000;
                item.value = item.defaultValue = static_cast<std::uint32_t>(10 * k);
                item.readState = 1;
                item.group = &group;
            }
            ++g;
        }
    }
    ReportDrive(const ReportDrive&) = delete;

    CItem& item(int group, int index) { return *file.GetItem(group, index); }

    ReportSource source() const {
        ReportSource s;
        s.drive = &record;
        s.dataFile = &file;
        s.deviceName = "Pump 7";
        s.header = {"ACME", "Plant", "Sato"};
        s.now = {2009, 3, 5, 14, 7, 9, 0};
        for (const auto& c : customs) s.userGroups.push_back(c.get());
        return s;
    }

    UserGroup& addUserGroup(const std::string& title) {
        auto& c = customs.emplace_back(std::make_unique<UserGroup>());
        c->title = title;
        c->dataFile = &file;
        return *c;
    }

    DriveRecord record;
    CType type;
    CDataFile file;
    std::vector<std::unique_ptr<UserGroup>> customs;
};

}  // namespace korvane::testing
