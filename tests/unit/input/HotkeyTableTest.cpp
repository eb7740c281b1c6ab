#include "input/HotkeyTable.h"

#include <gtest/gtest.h>

namespace {

TEST(HotkeyTable, MatchIsByteForByteAndTheLowestIndexWins) {
    HotkeyTable table;
    table.set(HotkeyTable::kStart, "000119");
    table.set(HotkeyTable::kPauseResume, "000120");
    table.set(HotkeyTable::kEnd, "000121");
    EXPECT_EQ(table.match("000120"), HotkeyTable::kPauseResume);
    EXPECT_EQ(table.match("000121"), HotkeyTable::kEnd);
    for (const std::string other : {"000", "00119", "0001190", "000119 ", "100119", "000122", ""}) {
        EXPECT_EQ(table.match(other), -1) << other;
    }
    EXPECT_EQ(table.match(std::string("000119\0", 7)), -1);
    table.set(HotkeyTable::kEnd, "000119");  // replaces F10; F8 twice
    EXPECT_EQ(table.match("000119"), HotkeyTable::kStart);
    EXPECT_EQ(table.match("000121"), -1);
    EXPECT_EQ(table.get(HotkeyTable::kEnd), "000119");
}

}  // namespace
