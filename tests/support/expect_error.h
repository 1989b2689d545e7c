#pragma once

#include "runtime_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qm5083::testing {

// Runs call and tells whether it failed with the run-time error `expected`, and, when given,
// with that source (text box name or "IOBase + n").
template<class F>
::testing::AssertionResult failsWith(convert::ErrorNumber expected, F &&call,
                                     std::optional<std::string> source = std::nullopt)
{
    try {
        call();
    } catch (const convert::RuntimeError &e) {
        if (e.number() != expected)
            return ::testing::AssertionFailure() << "failed with " << e.what();
        if (source && e.source() != *source)
            return ::testing::AssertionFailure()
                << "failed in " << e.source() << ", not " << *source;
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "did not fail";
}

} // namespace qm5083::testing
