// Text handed back through caller buffers: whole or not at all, never truncated.
#include <gtest/gtest.h>

#include <cstring>

#include "api/photarc.h"
#include "tests/support/MockLightEngine.h"

using orvapi::testing::MockLightEngine;
using ::testing::Return;

TEST(TextOut, ApiVersionNeedsRoomForTheNul) {
    char buffer[16];
    EXPECT_EQ(orv_getAPIVersion(buffer, 7), 0);
    EXPECT_STREQ(buffer, "1.1.16");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(orv_getAPIVersion(buffer, 6), 11005);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');  // nothing beyond the first byte is written
    EXPECT_EQ(orv_getAPIVersion(buffer, 0), 11005);
    EXPECT_EQ(orv_getAPIVersion(buffer, -5), 11005);
    EXPECT_EQ(orv_getAPIVersion(nullptr, 16), 11005);
}

class TextGetter : public ::testing::Test {
protected:
    ::testing::NiceMock<MockLightEngine> engine;
    void SetUp() override { ON_CALL(engine, getModel()).WillByDefault(Return("ZEFA")); }
};

TEST_F(TextGetter, ExactLengthBufferFailsWithRangeError) {
    char buffer[4] = {'q', 'q', 'q', 'q'};
    EXPECT_EQ(orv_getModel(&engine, buffer, 4), 11001);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'q');
    EXPECT_EQ(engine.getLastErrorCode(), 34);
    EXPECT_EQ(engine.getLastErrorText(), "Error in string copy, probably buffer too small");
    char enough[5];
    EXPECT_EQ(orv_getModel(&engine, enough, 5), 0);
    EXPECT_STREQ(enough, "ZEFA");
    EXPECT_EQ(engine.getLastErrorCode(), 0);
}

TEST_F(TextGetter, MissingBufferFailsWithInvalidArgument) {
    char buffer[8] = "keep";
    EXPECT_EQ(orv_getModel(&engine, buffer, 0), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), 22);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(orv_getModel(&engine, buffer, -1), 11001);  // negative treated like 0
    EXPECT_EQ(engine.getLastErrorCode(), 22);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(orv_getModel(&engine, nullptr, 8), 11001);
    EXPECT_EQ(engine.getLastErrorCode(), 22);
}

TEST_F(TextGetter, LastErrorTextFollowsTheSameRule) {
    engine.setLastError(3, "abc");
    char buffer[8];
    EXPECT_EQ(orv_getLastErrorText(&engine, buffer, 3), 11005);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(engine.getLastErrorCode(), 3);  // unchanged by the failed copy
    EXPECT_EQ(orv_getLastErrorText(&engine, buffer, 4), 0);
    EXPECT_STREQ(buffer, "abc");
}
