#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "api/photarc.h"
#include "sim/orvanta/OrvantaTestHooks.h"
#include "tests/legacy/OpenedDevice.h"

using ::testing::ElementsAre;

namespace {

// A handle that deletes itself, so a failing check leaks nothing.
struct Handle {
    OrvHandle value = nullptr;
    ~Handle() { orv_deleteLightEngine(value); }
};

OrvHandle* const kNoOutPointer = nullptr;
OrvHandle sentinel() { return reinterpret_cast<OrvHandle>(static_cast<uintptr_t>(0x5EED)); }

// 1 or 0 as stored by orv_getLegacy, or the failing result as a negative number.
int32_t legacyOf(OrvHandle handle) {
    int32_t legacy = 7;
    const int32_t result = orv_getLegacy(handle, &legacy);
    if (result != PHOTARC_OK) return -result;
    return legacy;
}

std::string modelOf(OrvHandle handle) {
    char model[32] = "";
    return orv_getModel(handle, model, sizeof model) == PHOTARC_OK ? model : "(failed)";
}

std::string lastErrorOf(OrvHandle handle) {
    int32_t code = 0;
    char text[128] = "";
    orv_getLastErrorCode(handle, &code);
    orv_getLastErrorText(handle, text, sizeof text);
    return std::to_string(code) + " " + text;
}

class LegacyExportsTest : public ::testing::Test {
protected:
    void SetUp() override { ovsimReset(); }
    void TearDown() override { ovsimReset(); }
};

}  // namespace

TEST_F(LegacyExportsTest, CreateByNumberRefusesNumbersOutsideTheTable) {
    for (int32_t number : {0, 11, -1}) {
        OrvHandle handle = sentinel();
        EXPECT_EQ(orv_createLegacyLightEngine(&handle, number), PHOTARC_UNKNOWN_MODEL) << number;
        EXPECT_EQ(handle, sentinel()) << number;
    }
    EXPECT_EQ(orv_createLegacyLightEngine(kNoOutPointer, 8), PHOTARC_DEVICE_FAILURE);
}

TEST_F(LegacyExportsTest, CreateByNumberPicksTheDriver) {
    Handle vexorX, tovra3;
    ASSERT_EQ(orv_createLegacyLightEngine(&vexorX.value, 8), PHOTARC_OK);
    ASSERT_EQ(orv_createLegacyLightEngine(&tovra3.value, 10), PHOTARC_OK);
    EXPECT_EQ(legacyOf(vexorX.value), 1);
    EXPECT_EQ(modelOf(vexorX.value), "VEXORX");
    EXPECT_EQ(legacyOf(tovra3.value), -PHOTARC_UNKNOWN_DRIVER);
    EXPECT_EQ(modelOf(tovra3.value), "TOVRA3");
    EXPECT_EQ(lastErrorOf(vexorX.value), "0 ");
}

TEST_F(LegacyExportsTest, CreateByNameMatchesTheSingleChannelModelExactly) {
    Handle exact, lower;
    ASSERT_EQ(orv_createLegacyLightEngineByName(&exact.value, "TOVRA3"), PHOTARC_OK);
    ASSERT_EQ(orv_createLegacyLightEngineByName(&lower.value, "tovra3"), PHOTARC_OK);
    EXPECT_EQ(legacyOf(exact.value), -PHOTARC_UNKNOWN_DRIVER);
    EXPECT_EQ(legacyOf(lower.value), 1);
    EXPECT_EQ(modelOf(lower.value), "tovra3");

    OrvHandle untouched = sentinel();
    EXPECT_EQ(orv_createLegacyLightEngineByName(&untouched, nullptr), PHOTARC_DEVICE_FAILURE);
    EXPECT_EQ(untouched, sentinel());
    EXPECT_EQ(orv_createLegacyLightEngineByName(kNoOutPointer, "KORV"), PHOTARC_DEVICE_FAILURE);
}

TEST_F(LegacyExportsTest, UnknownNameFailsOnlyAtConnect) {
    Handle handle;
    ASSERT_EQ(orv_createLegacyLightEngineByName(&handle.value, "NOVA9"), PHOTARC_OK);
    EXPECT_EQ(orv_connectCOM(handle.value, "COM1", 9600), PHOTARC_CONNECTION_FAILURE);
    EXPECT_EQ(lastErrorOf(handle.value), "11004 Unrecognized model NOVA9");
    EXPECT_TRUE(ovsim::calls().empty());
}

TEST_F(LegacyExportsTest, GetLegacyTellsTheCurrentDriverApart) {
    Handle current;
    ASSERT_EQ(orv_createLightEngine(&current.value), PHOTARC_OK);
    EXPECT_EQ(legacyOf(current.value), 0);
    EXPECT_EQ(orv_getLegacy(current.value, nullptr), PHOTARC_DEVICE_FAILURE);
    EXPECT_EQ(legacyOf(nullptr), -PHOTARC_DEVICE_FAILURE);
}

TEST_F(LegacyExportsTest, ConnectedLegacyEngineRefusesShutDownAndClosesOnDelete) {
    Handle handle;
    ASSERT_EQ(orv_createLegacyLightEngine(&handle.value, 1), PHOTARC_OK);
    ASSERT_EQ(orv_connectCOM(handle.value, "COM5", 115200), PHOTARC_OK);
    EXPECT_EQ(orv_shutDown(handle.value), PHOTARC_DEVICE_FAILURE);
    EXPECT_EQ(lastErrorOf(handle.value), "-1 Function not supported by Legacy protocol.");

    orv_deleteLightEngine(handle.value);
    handle.value = nullptr;
    const auto calls = ovsim::calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_THAT(calls[0], OpenedDevice(R"(4, "ZEFA2")"));
    EXPECT_EQ(calls[1], "ovShutDown(" + calls[0].substr(calls[0].rfind(' ') + 1) + ")");
}
