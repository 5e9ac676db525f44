#include "link/Failure.h"

#include <exception>

#include "link/LeException.h"

namespace orvapi {

Failure currentFailure(const FailureWording& wording) noexcept {
    try {
        try {
            throw;
        } catch (const LeException& failure) {
            return {failure.code, failure.description};
        } catch (const std::exception& failure) {
            return {-1, wording.prefix + std::string(failure.what())};
        } catch (...) {
            return {-1, wording.unknown};
        }
    } catch (...) {
        return {-1, std::string()};
    }
}

}  // namespace orvapi
