#include "link/LeException.h"

#include <sstream>
#include <utility>

namespace orvapi {

LeException::LeException(std::string description_, std::string callStack_, std::string parameters_)
    : description(std::move(description_)),
      callStack(std::move(callStack_)),
      parameters(std::move(parameters_)),
      code(-1) {}

LeException::LeException(std::string description_, int code_)
    : description(std::move(description_)), code(code_) {}

LeException::~LeException() = default;

std::string LeException::toString() const {
    std::ostringstream report;
    report << "Description: " << description << "\r\n"
           << "\r\n"
           << "CALL STACK" << "\r\n"
           << callStack << "\r\n"
           << "\r\n"
           << "PARAMETERS" << "\r\n"
           << parameters;
    return report.str();
}

}  // namespace orvapi
