#include "paradb/drive_record.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

// The one place that says where a monitored word is kept: the connection manager stores
// through it and the gateway reads through it, so a word put in comes out of the same field.
TEST(DriveRecord, KeepsEachMonitoredWordInItsOwnField) {
    struct Case {
        int series;
        int address;
        int DriveRecord::*field;  // null: the record does not keep the word
    };
    const Case cases[] = {
        {4, 5, &DriveRecord::frequencyCommand},
        {4, 6, &DriveRecord::runCommand},
        {4, 9, &DriveRecord::outputCurrent},
        {4, 10, &DriveRecord::outputFrequency},
        {4, 32, nullptr},
        {5, 32, &DriveRecord::outputFrequency},
        {5, 10, nullptr},
        {4, 14, &DriveRecord::statusWord},
        {11, 26, &DriveRecord::speedDisplayMode},
        {11, 27, &DriveRecord::motorPoles},
        {5, 34, &DriveRecord::torqueFeedback},
        {4, 15, nullptr},
        {4, 0x1003, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "series " << c.series << " word " << c.address);
        DriveRecord r{1};
        r.seriesCode = c.series;
        int* word = r.monitoredWord(c.address);
        if (c.field == nullptr) {
            EXPECT_EQ(word, nullptr);
            continue;
        }
        ASSERT_NE(word, nullptr);
        *word = 1234;
        EXPECT_EQ(r.*c.field, 1234);
        const DriveRecord& read = r;
        EXPECT_EQ(*read.monitoredWord(c.address), 1234);
    }
}

}  // namespace
}  // namespace korvane
