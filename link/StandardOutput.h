#pragma once
// The library's few prints (a failed TCP connect, failures of scripts run without a handle).
#include <string>

namespace orvapi {

// Writes the line and a line end to standard output and flushes. A failed print is ignored: a
// closed output (a host whose output pipe was closed) neither ends the process by SIGPIPE nor
// leaves the stream failed for the host's own later output.
void printLine(const std::string& line) noexcept;

}  // namespace orvapi
