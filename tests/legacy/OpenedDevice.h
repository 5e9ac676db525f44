#pragma once
// Matches a recorded ovInit call with the given arguments that returned a non-zero handle.
#include <gmock/gmock.h>

#include <string>

inline auto OpenedDevice(const std::string& arguments) {
    return ::testing::AllOf(::testing::StartsWith("ovInit(" + arguments + ") = "),
                            ::testing::Not(::testing::EndsWith(" = 0")));
}
