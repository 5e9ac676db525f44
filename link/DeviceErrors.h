#pragma once
// The error codes a light engine reports in an "E" reply, with their messages.
#include <map>
#include <string>

namespace orvapi {

// Built once at load time, read-only afterwards (no lock needed).
extern const std::map<int, std::string> deviceErrorMessages;

// The table's message for a code, or "Error: <code>" when the table has none.
std::string getErrorMessage(int code);

}  // namespace orvapi
