#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "link/LeException.h"
#include "tests/gen3/ScriptedEngine.h"

using orvapi::LeException;
using photarc::testing::ScriptedEngine;

namespace {

class CommandSet : public ::testing::Test {
protected:
    // Answers the next command with `reply`, runs `call` and checks that exactly `command` went out.
    template <class Call>
    auto run(const std::string& reply, const std::string& command, Call call) {
        engine.commands.clear();
        engine.queue(reply);
        struct Check {
            ScriptedEngine& engine;
            std::string command;
            ~Check() { EXPECT_EQ(engine.commands, std::vector<std::string>{command}); }
        } check{engine, command};
        return call(engine);
    }

    // The LeException that `call` throws on `reply`.
    LeException failure(const std::string& reply, const std::function<void(ScriptedEngine&)>& call) {
        engine.queue(reply);
        try {
            call(engine);
        } catch (const LeException& thrown) {
            return thrown;
        }
        ADD_FAILURE() << "no LeException for reply '" << reply << "'";
        return LeException("none", 0);
    }

    ScriptedEngine engine;
};

void expectFailure(const LeException& thrown, int code, const std::string& description) {
    EXPECT_EQ(thrown.code, code);
    EXPECT_EQ(thrown.description, description);
}

}  // namespace

TEST_F(CommandSet, TextQueriesReturnTheFirstValueToken) {
    EXPECT_EQ(run("A SN ABC123 extra", "GET SN", [](auto& e) { return e.getSerialNumber(); }), "ABC123");
    EXPECT_EQ(run("A VER 3.2.1\r\n", "GET VER", [](auto& e) { return e.getVersion(); }), "3.2.1");
    EXPECT_EQ(run("A IP 10.0.0.5", "GET IP", [](auto& e) { return e.getIP(); }), "10.0.0.5");
}

TEST_F(CommandSet, NumericQueriesConvertLeniently) {
    EXPECT_DOUBLE_EQ(run("A T 25.5", "GET TEMP", [](auto& e) { return e.getTemperature(); }), 25.5);
    EXPECT_DOUBLE_EQ(run("A T abc", "GET TEMP", [](auto& e) { return e.getTemperature(); }), 0.0);
    EXPECT_EQ(run("A S 4", "GET STAT", [](auto& e) { return e.getStatusCode(); }), 4);
    EXPECT_EQ(run("A M 1000", "GET MAXINT", [](auto& e) { return e.getMaximumIntensity(); }), 1000);
    EXPECT_EQ(run("A N 7", "GET NUMCH", [](auto& e) { return e.getNumberOfChannels(); }), 7);
    EXPECT_EQ(run("A C 731x", "GET CHINT 2", [](auto& e) { return e.getIntensity(2); }), 731);
    EXPECT_EQ(run("A C 88", "GET CHPWR 1", [](auto& e) { return e.getChannelPowerCount(1); }), 88);
    EXPECT_DOUBLE_EQ(run("A C 12.25", "GET CHPWRWATTS 0", [](auto& e) { return e.getChannelPowerMW(0); }), 12.25);
    EXPECT_DOUBLE_EQ(run("A W 48.5", "GET SUPPLYPOWER", [](auto& e) { return e.getSupplyPowerW(); }), 48.5);
    // Beyond the 32-bit range a value saturates, singly and in lists.
    EXPECT_EQ(run("A CHINT 99999999999", "GET CHINT 1", [](auto& e) { return e.getIntensity(1); }), INT_MAX);
    EXPECT_EQ(run("A M 99999999999 -99999999999 7", "GET MULCHINT", [](auto& e) { return e.getMultipleIntensities(); }),
              (std::vector<int>{INT_MAX, INT_MIN, 7}));
}

TEST_F(CommandSet, ChannelCountsBeyondReasonAreFaultyReplies) {
    const auto count = [](auto& e) { return e.getNumberOfChannels(); };
    EXPECT_EQ(run("A N 0", "GET NUMCH", count), 0);
    EXPECT_EQ(run("A N 1024", "GET NUMCH", count), 1024);
    const auto get = [](ScriptedEngine& e) { e.getNumberOfChannels(); };
    expectFailure(failure("A N 1025", get), -1, "Channel count out of range (0 to 1024): 1025");
    expectFailure(failure("A NUMCH 2000000000", get), -1, "Channel count out of range (0 to 1024): 2000000000");
    expectFailure(failure("A NUMCH -1", get), -1, "Channel count out of range (0 to 1024): -1");
}

TEST_F(CommandSet, FlagQueriesAreTrueForAnyNonZeroValue) {
    EXPECT_TRUE(run("A C 1", "GET CH 3", [](auto& e) { return e.getChannel(3); }));
    EXPECT_TRUE(run("A C -2", "GET CH 3", [](auto& e) { return e.getChannel(3); }));
    EXPECT_FALSE(run("A C 0", "GET CH 3", [](auto& e) { return e.getChannel(3); }));
    EXPECT_FALSE(run("A C on", "GET CH 3", [](auto& e) { return e.getChannel(3); }));
    EXPECT_TRUE(run("A L 1", "GET PWRLOCK", [](auto& e) { return e.getPowerLock(); }));
    EXPECT_FALSE(run("A T 0", "GET TTLENABLE", [](auto& e) { return e.getTTLEnable(); }));
}

TEST_F(CommandSet, TtlPolarityIsPositiveOnlyForPosOrHigh) {
    for (const std::string value : {"POS", "HIGH"})
        EXPECT_TRUE(run("A P " + value, "GET TTLPOL", [](auto& e) { return e.getTTLPolarity(); })) << value;
    for (const std::string value : {"NEG", "LOW", "pos", "1"})
        EXPECT_FALSE(run("A P " + value, "GET TTLPOL", [](auto& e) { return e.getTTLPolarity(); })) << value;
}

TEST_F(CommandSet, SettingsWriteDecimalFlagsAndPolarityWords) {
    const auto ack = [this](const std::string& command, const std::function<void(ScriptedEngine&)>& call) {
        run("A OK", command, [&](auto& e) { call(e); return 0; });
    };
    ack("SET CH 3 1", [](auto& e) { e.setChannel(3, true); });
    ack("SET CH 3 0", [](auto& e) { e.setChannel(3, false); });
    ack("SET CHINT -1 5", [](auto& e) { e.setIntensity(-1, 5); });
    ack("SET CHINT 0 500", [](auto& e) { e.setIntensity(0, 500); });
    ack("SET MULCH 1 0 1", [](auto& e) { e.setMultipleChannels({true, false, true}); });
    ack("SET MULCH", [](auto& e) { e.setMultipleChannels({}); });
    ack("SET MULCHINT 10 -20 0", [](auto& e) { e.setMultipleIntensities({10, -20, 0}); });
    ack("SET PWR 10 20", [](auto& e) { e.setPowerReference({10, 20}); });
    ack("SET PWR", [](auto& e) { e.setPowerReference({}); });
    ack("SET PWRLOCK 1", [](auto& e) { e.setPowerLock(true); });
    ack("SET TTLENABLE 0", [](auto& e) { e.setTTLEnable(false); });
    ack("SET TTLPOL POS", [](auto& e) { e.setTTLPolarity(true); });
    ack("SET TTLPOL NEG", [](auto& e) { e.setTTLPolarity(false); });
    ack("WAKEUP", [](auto& e) { e.wakeUp(); });
    ack("SET IP 192.168.1.7 junk", [](auto& e) { e.setIP("192.168.1.7 junk"); });
}

TEST_F(CommandSet, ListsTakeEveryTokenFromTheThird) {
    EXPECT_EQ(run("A M 1 0 x 1", "GET MULCH", [](auto& e) { return e.getMultipleChannels(); }),
              (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(run("A M 5 -3 q", "GET MULCHINT", [](auto& e) { return e.getMultipleIntensities(); }),
              (std::vector<int>{5, -3, 0}));
    EXPECT_EQ(run("A P 100 200", "GET PWR", [](auto& e) { return e.getPowerReference(); }),
              (std::vector<int>{100, 200}));
    EXPECT_TRUE(run("A P", "GET PWR", [](auto& e) { return e.getPowerReference(); }).empty());
}

TEST_F(CommandSet, ModelJoinsItsWordsWithSingleSpaces) {
    EXPECT_EQ(run("A MODEL Lumen   Bench\t8\r\n", "GET MODEL", [](auto& e) { return e.getModel(); }), "Lumen Bench 8");
    EXPECT_EQ(run("A MODEL", "GET MODEL", [](auto& e) { return e.getModel(); }), "");
    expectFailure(failure("E MODEL 53", [](auto& e) { e.getModel(); }), -1, "GET MODEL failed : E MODEL 53");
    expectFailure(failure("", [](auto& e) { e.getModel(); }), -1, "GET MODEL failed : ");
    expectFailure(failure("A\r\n", [](auto& e) { e.getModel(); }), -1, "Invalid response : A\r\n");
}

TEST_F(CommandSet, ChannelMapLooksUpNamesAndIndices) {
    const std::string map = "A CHMAP VIOLET CYAN RED";
    EXPECT_EQ(run(map, "GET CHMAP", [](auto& e) { return e.getChannelName(2); }), "RED");
    EXPECT_EQ(run(map, "GET CHMAP", [](auto& e) { return e.getChannelIndex("CYAN"); }), 1);
    expectFailure(failure(map, [](auto& e) { e.getChannelName(3); }), -1, "Invalid channel index 3");
    expectFailure(failure(map, [](auto& e) { e.getChannelName(-1); }), -1, "Invalid channel index -1");
    expectFailure(failure(map, [](auto& e) { e.getChannelIndex("cyan"); }), -1, "Invalid channel name cyan");
    expectFailure(failure("A CHMAP", [](auto& e) { e.getChannelName(0); }), -1, "Invalid channel index 0");
    expectFailure(failure("A CHMAP", [](auto& e) { e.getChannelIndex("RED"); }), -1, "Invalid channel name RED");
    expectFailure(failure("E CHMAP 56", [](auto& e) { e.getChannelName(0); }), 56, "Hardware configuration error");
}

TEST_F(CommandSet, QueryFailuresPassTheParsersVerdictThrough) {
    const auto get = [](ScriptedEngine& e) { e.getIntensity(0); };
    expectFailure(failure("E CHINT 51", get), 51, "Invalid channel index");
    expectFailure(failure("E CHINT 99", get), 99, "Error: 99");
    expectFailure(failure("X CHINT 51", get), -1, "Error: -1");
    expectFailure(failure("", get), -1, "No tokens to parse");
    expectFailure(failure("A", get), -1, "Invalid number of tokens: A");
    expectFailure(failure("A CHINT", get), -1, "Invalid response : A CHINT");
}

TEST_F(CommandSet, SettingAndListFailuresPrefixTheTableMessage) {
    const std::vector<std::function<void(ScriptedEngine&)>> rejected = {
        [](auto& e) { e.setMultipleChannels({true, true}); },
        [](auto& e) { e.wakeUp(); },
        [](auto& e) { e.getMultipleIntensities(); },
        [](auto& e) { e.getPowerReference(); },
    };
    for (const auto& call : rejected) {
        expectFailure(failure("E X 63", call), 63, "Error : Command is ignored because it would overload the power supply");
        expectFailure(failure("E X 53", call), 53, "Error : Unknown command");
        expectFailure(failure("", call), -2, "Error : Error: -2");
        expectFailure(failure("E X", call), -1, "Error : Error: -1");
        expectFailure(failure("OK X 0", call), -1, "Error : Error: -1");
        // An error reply whose code reads as 0 must not report "OK".
        expectFailure(failure("E X 0", call), -1, "Error : Error: -1");
        expectFailure(failure("E X abc", call), -1, "Error : Error: -1");
    }
}

TEST_F(CommandSet, SetIpQuotesTheWholeReply) {
    expectFailure(failure("E IP 55\r\n", [](auto& e) { e.setIP("1.2.3"); }), -1, "Error : E IP 55\r\n");
    EXPECT_EQ(engine.commands.back(), "SET IP 1.2.3");
}
