#pragma once

#include "panel_harness.h"
#include "support/expect_error.h"
#include "support/row_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qm5083::testing {

struct Typed
{
    const char *box;
    const char *text;
};

// One run of a panel operation: the texts typed before it, and what it must do.
struct OperationRow
{
    const char *name;
    std::vector<Typed> typed;
    std::vector<Access> accesses; // exactly these, in order
    std::optional<convert::ErrorNumber> error = std::nullopt;
    const char *failingSource = "";                      // the box, or "IOBase + n", that failed
    std::optional<convert::Value> ioBase = std::nullopt; // IOBase afterwards
    std::optional<convert::Value> storedBefore = std::nullopt; // IOBase before it
    std::vector<Typed> shown = {};                             // box texts afterwards
};

inline void PrintTo(const OperationRow &row, std::ostream *os)
{
    *os << row.name;
}

// Runs the row's operation on a fresh harness and checks everything the row states.
inline void expectOperation(panels::Operation operation, const OperationRow &row)
{
    PanelHarness panels;
    if (row.storedBefore)
        panels.IOBase.store(*row.storedBefore);
    for (const Typed &typed : row.typed)
        panels.type(typed.box, typed.text);
    const auto run = [&] {
        panels.run(operation);
    };
    if (row.error)
        EXPECT_TRUE(failsWith(*row.error, run, std::string(row.failingSource)));
    else
        EXPECT_NO_THROW(run());
    EXPECT_EQ(panels.port.accesses(), row.accesses);
    if (row.ioBase) {
        EXPECT_EQ(panels.IOBase.value(), *row.ioBase);
    }
    for (const Typed &shown : row.shown)
        EXPECT_EQ(panels.text(shown.box), shown.text) << shown.box;
}

} // namespace qm5083::testing
