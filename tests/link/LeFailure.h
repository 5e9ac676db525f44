#pragma once
// The LeException that a call throws; the test fails when it throws none.
#include <gtest/gtest.h>

#include "link/LeException.h"

namespace photarc::testing {

template <class Call>
orvapi::LeException leFailureOf(Call call) {
    try {
        call();
    } catch (const orvapi::LeException& failure) {
        return failure;
    }
    ADD_FAILURE() << "no LeException thrown";
    return orvapi::LeException("none", 0);
}

}  // namespace photarc::testing
