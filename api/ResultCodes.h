#pragma once
#include <cstdint>

namespace orvapi::api {

constexpr int32_t kSuccess = 0;
constexpr int32_t kDeviceFailure = 11001;
constexpr int32_t kConnectionFailure = 11004;
constexpr int32_t kTextDoesNotFit = 11005;
constexpr int32_t kUnknownModel = 11007;
constexpr int32_t kUnknownDriver = 11008;

// Standard error numbers carried by a failed copy into a caller's buffer.
constexpr int kErrorRange = 34;    // ERANGE: buffer too small
constexpr int kErrorInvalid = 22;  // EINVAL: no buffer, or no room at all

}  // namespace orvapi::api
