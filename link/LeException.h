#pragma once
// The library's own exception: a description the host can read plus a numeric code.
// It deliberately has no base class, so a handler for std::exception never swallows it.
#include <string>

namespace orvapi {

class LeException {
public:
    // A failure without a numeric code: code becomes -1.
    LeException(std::string description, std::string callStack, std::string parameters);
    // A failure with a known code (a device error, a failed string copy).
    LeException(std::string description, int code);
    LeException(const LeException&) = default;
    LeException& operator=(const LeException&) = default;
    virtual ~LeException();

    // "Description: ...\r\n\r\nCALL STACK\r\n...\r\n\r\nPARAMETERS\r\n..."
    virtual std::string toString() const;

    std::string description;
    std::string callStack;
    std::string parameters;
    int code;
};

// Shorthand for the common case: a described failure with code -1.
inline LeException leFailure(std::string description) {
    return LeException(std::move(description), std::string(), std::string());
}

}  // namespace orvapi
