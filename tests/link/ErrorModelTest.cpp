// The error model every layer uses: the device error table, LeException, and the translation
// of whatever was thrown into a code and a text.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "link/DeviceErrors.h"
#include "link/Failure.h"
#include "link/LeException.h"

using namespace orvapi;

TEST(DeviceErrors, KnownCodesGiveTheirMessages) {
    EXPECT_EQ(getErrorMessage(0), "OK");
    EXPECT_EQ(getErrorMessage(63), "Command is ignored because it would overload the power supply");
    EXPECT_EQ(getErrorMessage(64), "TEC is not locked, channel(s) are disabled");
    EXPECT_EQ(getErrorMessage(65), "TEC temperature is out of range");
    EXPECT_EQ(getErrorMessage(74), "Lasers warming up");
}

TEST(DeviceErrors, UnknownCodesAreSpelledOut) {
    EXPECT_EQ(getErrorMessage(54), "Error: 54");
    EXPECT_EQ(getErrorMessage(-1), "Error: -1");
    EXPECT_EQ(getErrorMessage(73), "Error: 73");
    EXPECT_EQ(getErrorMessage(INT_MIN), "Error: -2147483648");
    EXPECT_EQ(getErrorMessage(1000), "Error: 1000");
}

TEST(DeviceErrors, TableHasNoCodeTwice) {
    // Each message belongs to one code: the open entry must not shadow a listed one.
    std::map<std::string, int> seen;
    for (const auto& [code, message] : deviceErrorMessages) EXPECT_TRUE(seen.emplace(message, code).second) << code;
    EXPECT_EQ(deviceErrorMessages.size(), 18u);
}

TEST(LeException, ConstructorsSetCode) {
    const LeException plain("X", "", "");
    EXPECT_EQ(plain.code, -1);
    EXPECT_EQ(plain.callStack, "");
    EXPECT_EQ(plain.parameters, "");
    const LeException coded("Y", 63);
    EXPECT_EQ(coded.code, 63);
    EXPECT_EQ(coded.description, "Y");
    const LeException copy(coded);
    EXPECT_EQ(copy.code, 63);
    EXPECT_EQ(copy.description, "Y");
    EXPECT_EQ(leFailure("Z").code, -1);
}

TEST(LeException, ReportLayout) {
    EXPECT_EQ(LeException("X", "", "").toString(), "Description: X\r\n\r\nCALL STACK\r\n\r\n\r\nPARAMETERS\r\n");
    EXPECT_EQ(LeException("D", "S", "P").toString(), "Description: D\r\n\r\nCALL STACK\r\nS\r\n\r\nPARAMETERS\r\nP");
}

TEST(LeException, IsNotAStandardException) {
    bool caughtAsStd = false;
    bool caughtAsOwn = false;
    try {
        try {
            throw LeException("boom", 5);
        } catch (const std::exception&) {
            caughtAsStd = true;
        }
    } catch (const LeException& e) {
        caughtAsOwn = e.code == 5;
    }
    EXPECT_FALSE(caughtAsStd);
    EXPECT_TRUE(caughtAsOwn);
}

TEST(Failure, WhateverWasThrownBecomesACodeAndAText) {
    const auto translated = [](const std::function<void()>& thrower, const FailureWording& wording) {
        try {
            thrower();
        } catch (...) {
            return currentFailure(wording);
        }
        return Failure{0, "nothing thrown"};
    };
    const FailureWording script{"Script exception: ", "Script exception: unknown exception"};
    for (const FailureWording& wording : {kPlainWording, script}) {
        const Failure device = translated([] { throw LeException("Light engine is busy", 58); }, wording);
        EXPECT_EQ(device.code, 58);
        EXPECT_EQ(device.text, "Light engine is busy");
        const Failure standard = translated([] { throw std::runtime_error("port gone"); }, wording);
        EXPECT_EQ(standard.code, -1);
        EXPECT_EQ(standard.text, std::string(wording.prefix) + "port gone");
        const Failure other = translated([] { throw 7; }, wording);
        EXPECT_EQ(other.code, -1);
        EXPECT_EQ(other.text, wording.unknown);
    }
}
