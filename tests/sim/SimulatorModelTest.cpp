// The simulator's pure parts: the device model's rules and the delivery plans of its faults.
#include <gtest/gtest.h>

#include "sim/gen3/DeviceModel.h"
#include "sim/gen3/Faults.h"
#include "sim/gen3/TcpFront.h"

using namespace photarc::sim;
using namespace std::chrono_literals;

namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(SimulatedDevice, SwitchingEveryChannelOnAtFullIntensityOverloadsWhateverTheMap) {
    for (size_t count : {2u, 5u, 8u}) {
        DeviceConfig config;
        config.channels.assign(count, "RED");
        DeviceModel device(config);
        std::string levels, states;
        for (size_t i = 0; i < count; ++i) {
            levels += " 1000";
            states += " 1";
        }
        EXPECT_EQ(device.handle("SET MULCHINT" + levels).substr(0, 2), "A ");
        const std::string refused = device.handle("SET MULCH" + states);
        EXPECT_TRUE(refused.rfind("E SET_MULCH_1_1", 0) == 0 && endsWith(refused, " 63")) << refused;
        EXPECT_EQ(device.handle("GET CH 0"), "A GET_CH_0 0");  // the refused command changed nothing
        EXPECT_EQ(device.handle("SET CH 0 1"), "A SET_CH_0_1");  // one channel alone is fine
    }
}

TEST(SimulatedDevice, RepliesEchoTheCommandSoClientsCanMatchThem) {
    DeviceModel device;
    EXPECT_EQ(device.handle("  GET   CHINT 2\r"), "A GET_CHINT_2 0");
    EXPECT_EQ(device.handle("GET CHINT 5"), "E GET_CHINT_5 51");
    EXPECT_EQ(device.handle("GET CHINT x"), "E GET_CHINT_x 55");
    EXPECT_EQ(device.handle("GET CHINT"), "E GET_CHINT 52");
    EXPECT_EQ(device.handle("get chint 2"), "E get_chint_2 53");
    EXPECT_EQ(device.handle(""), "E - 52");
    const std::string longest = device.handle("X" + std::string(100, 'y'));
    EXPECT_EQ(longest, "E X" + std::string(63, 'y') + " 53");  // the echo stops at 64 bytes
}

TEST(FaultPlans, EachFaultShapesTheDeliveryItsOwnWay) {
    const std::string reply = "A GET_CHINT_0 321";
    EXPECT_EQ(planReply(Faults(), 1, reply).parts, std::vector<std::string>{reply + "\r\n"});

    Faults split;
    split.splitReplies = true;
    const ReplyPlan pieces = planReply(split, 1, reply);
    ASSERT_EQ(pieces.parts.size(), 2u);
    EXPECT_EQ(pieces.parts[0] + pieces.parts[1], reply + "\r\n");
    EXPECT_EQ(pieces.pause, split.splitPause);

    Faults silent;
    silent.silentAfter = 2;
    EXPECT_EQ(planReply(silent, 2, reply).parts.size(), 1u);
    EXPECT_TRUE(planReply(silent, 3, reply).parts.empty());

    Faults drop;
    drop.dropAfter = 1;
    EXPECT_FALSE(planReply(drop, 1, reply).hangUp);
    EXPECT_TRUE(planReply(drop, 2, reply).hangUp);

    Faults nul;
    nul.nulBytes = true;
    EXPECT_EQ(planReply(nul, 1, reply).parts[0], std::string("A\0 GET_CHINT_0 321\r\n", 20));

    Faults overlong;
    overlong.overlong = true;
    const std::string padded = planReply(overlong, 1, reply).parts[0];
    EXPECT_GT(padded.size(), 512u);
    EXPECT_TRUE(endsWith(padded, "# 321\r\n"));  // the value survives, past byte 512

    Faults late;
    late.delay = 40ms;
    EXPECT_EQ(planReply(late, 1, reply).delay, 40ms);
}

TEST(TcpFraming, EachChunkIsACommandAndLinesAreAcceptedToo) {
    EXPECT_EQ(commandsInChunk("GET SN"), std::vector<std::string>{"GET SN"});
    EXPECT_EQ(commandsInChunk("GET SN\r\nGET VER\n\nWAKEUP"), (std::vector<std::string>{"GET SN", "GET VER", "WAKEUP"}));
    EXPECT_TRUE(commandsInChunk("\n").empty());
}
