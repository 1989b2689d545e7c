#pragma once

#include <gtest/gtest.h>

#include <string>

namespace qm5083::testing {

// Gives every test a runtime folder of its own (XDG_RUNTIME_DIR, made fresh before the test and
// removed after it), so that the simulated cards' state one test leaves is never the next one's,
// whichever order or process the tests run in. Its data folder (XDG_DATA_HOME) is in it too, so
// that the results the tests' checks store go nowhere else.
class PrivateRuntimeDir : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo &test) override;
    void OnTestEnd(const ::testing::TestInfo &test) override;

    // Adds one to the listeners of the tests about to run.
    static void install();

private:
    std::string dir_;
};

} // namespace qm5083::testing
