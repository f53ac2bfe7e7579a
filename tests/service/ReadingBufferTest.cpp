#include "service/ReadingBuffer.h"

#include <gtest/gtest.h>

namespace qtm {
namespace {

TEST(ReadingBufferTest, NumbersFromOneAndAgainAfterClear) {
    ReadingBuffer buffer(10);
    ASSERT_TRUE(buffer.Append(1.5f, 2.25, 0.5f));
    ASSERT_TRUE(buffer.Append(3.0f, 0.0, 0.0f));
    ASSERT_EQ(buffer.Count(), 2u);
    EXPECT_EQ(buffer[0].number, 1);
    EXPECT_EQ(buffer[1].number, 2);
    EXPECT_FLOAT_EQ(buffer[0].power, 1.5f);
    EXPECT_DOUBLE_EQ(buffer[0].energy, 2.25);
    EXPECT_FLOAT_EQ(buffer[0].seconds, 0.5f);

    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    ASSERT_TRUE(buffer.Append(9.0f, 0.0, 0.0f));
    EXPECT_EQ(buffer.Last().number, 1);
}

TEST(ReadingBufferTest, AFullBufferRefusesAndKeepsItsRecordsInPlace) {
    ReadingBuffer buffer(3);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(buffer.Append(float(i), 0.0, 0.0f));
    const MeasurementRecord* first = &buffer[0];
    EXPECT_TRUE(buffer.Full());
    EXPECT_FALSE(buffer.Append(99.0f, 0.0, 0.0f));
    EXPECT_EQ(buffer.Count(), 3u);
    EXPECT_EQ(buffer.Last().number, 3);
    EXPECT_EQ(&buffer[0], first);
    EXPECT_EQ(buffer.Records().size(), 3u);
}

TEST(ReadingBufferTest, DefaultCapacityIsAMillionRecords) {
    ReadingBuffer buffer;
    EXPECT_EQ(buffer.Capacity(), 1000000u);
}

}  // namespace
}  // namespace qtm
