#pragma once
// The description of the LeException an operation throws, or a marker when it throws none.
#include <string>

#include "link/LeException.h"

template <class Operation>
std::string failureOf(Operation&& operation) {
    try {
        operation();
    } catch (const orvapi::LeException& failure) {
        return failure.code == -1 ? failure.description : "code " + std::to_string(failure.code);
    }
    return "(no failure)";
}
