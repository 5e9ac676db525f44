#pragma once
// Whatever was thrown, as the code and text a host reads. The exports' frame, the script host
// and the handle-less script path all turn failures into these through currentFailure.
#include <string>

namespace orvapi {

struct Failure {
    int code;
    std::string text;
};

// How a failure without a code of its own is worded.
struct FailureWording {
    const char* prefix;   // before the what() text of a standard exception
    const char* unknown;  // the whole text for anything else
};

inline constexpr FailureWording kPlainWording{"", "Unknown error occurred."};

// The exception being handled: an LeException gives its own code and description; a standard
// exception gives -1 and its what() text, anything else -1 and the unknown text. Call it only
// inside a catch handler. Never throws (without memory for the text, the text is empty).
Failure currentFailure(const FailureWording& wording = kPlainWording) noexcept;

}  // namespace orvapi
