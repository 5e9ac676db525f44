#include <gtest/gtest.h>

#include "engine/ModelTables.h"

using orvapi::ChannelNames;
using orvapi::modelChannelTable;
using orvapi::modelNumberTable;

TEST(ModelChannelTable, FindsOnlyTheExactName) {
    for (const char* near : {"zefa2", "ZEFA2 ", " ZEFA2", "ZEFA", "Zefa2"})
        EXPECT_EQ(modelChannelTable.count(near), 0u) << '"' << near << '"';
    const ChannelNames& zefa2 = modelChannelTable.at("ZEFA2");
    ASSERT_EQ(zefa2.size(), 5u);
    EXPECT_EQ(zefa2[3], "YELLOW");
}

TEST(ModelChannelTable, VexorVariantsDifferOnlyInYellow) {
    EXPECT_EQ(modelChannelTable.at("VEXOR7"),
              (ChannelNames{"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "YELLOW", "RED"}));
    EXPECT_EQ(modelChannelTable.at("VEXORX"), (ChannelNames{"VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "RED"}));
    EXPECT_EQ(modelChannelTable.at("MESKO"), ChannelNames{"WHITE"});
    EXPECT_EQ(modelChannelTable.at("TOVRA"), ChannelNames{"WHITE"});
}

TEST(ModelNumberTable, NamesEveryTableModelAndTheSingleChannelOne) {
    for (int absent : {0, 11, -1}) EXPECT_EQ(modelNumberTable.count(absent), 0u) << absent;
    EXPECT_EQ(modelNumberTable.at(10), "TOVRA3");
    EXPECT_EQ(modelChannelTable.count("TOVRA3"), 0u);
    // Numbers 1 to 9 are exactly the models whose channels the table knows.
    ASSERT_EQ(modelNumberTable.size(), 10u);
    for (int number = 1; number <= 9; ++number)
        EXPECT_EQ(modelChannelTable.count(modelNumberTable.at(number)), 1u) << number;
    EXPECT_EQ(modelChannelTable.size(), 9u);
}
