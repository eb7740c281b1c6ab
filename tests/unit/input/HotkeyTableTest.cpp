#include "input/HotkeyTable.h"

#include <gtest/gtest.h>

namespace {

TEST(HotkeyTable, DefaultsAreF8F9F10AndMatchTheirIndices) {
    HotkeyTable table;
    table.setDefaults();
    EXPECT_EQ(table.get(HotkeyTable::kStart), "000119");
    EXPECT_EQ(table.get(HotkeyTable::kPauseResume), "000120");
    EXPECT_EQ(table.get(HotkeyTable::kEnd), "000121");
    EXPECT_EQ(table.match("000119"), 0);
    EXPECT_EQ(table.match("000120"), 1);
    EXPECT_EQ(table.match("000121"), 2);
    // The hook's code for a bare modifier matches nothing.
    EXPECT_EQ(table.match("000"), -1);
}

TEST(HotkeyTable, MatchIsByteForByte) {
    HotkeyTable table;
    table.setDefaults();
    EXPECT_EQ(table.match("00119"), -1);
    EXPECT_EQ(table.match("0001190"), -1);
    EXPECT_EQ(table.match("000119 "), -1);
    EXPECT_EQ(table.match(std::string("000119\0", 7)), -1);
    EXPECT_EQ(table.match("100119"), -1);
    EXPECT_EQ(table.match(""), -1);
}

TEST(HotkeyTable, SetReplacesAndDuplicatesMatchTheLowerIndex) {
    HotkeyTable table;
    table.setDefaults();
    table.set(2, "000119");
    EXPECT_EQ(table.match("000119"), 0);
    EXPECT_EQ(table.match("000121"), -1);
    table.set(0, "110119");
    EXPECT_EQ(table.match("000119"), 2);
    EXPECT_EQ(table.match("110119"), 0);
    // Negative indices come first in ascending order.
    table.set(-5, "000119");
    EXPECT_EQ(table.match("000119"), -5);
    EXPECT_EQ(table.entries().size(), 4u);
}

TEST(HotkeyTable, GetOfAnAbsentIndexInsertsAnEmptyCode) {
    HotkeyTable table;
    EXPECT_EQ(table.get(7), "");
    ASSERT_EQ(table.entries().count(7), 1u);
    EXPECT_EQ(table.entries().at(7), "");
    EXPECT_EQ(table.match(""), 7);
}

}  // namespace
