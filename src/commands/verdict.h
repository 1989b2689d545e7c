#pragma once

#include <QString>

namespace qm5083::commands {

// What a check says of the card: the one word the window shows large, the text and the report
// give, and the session record keeps. Only Passed is a pass.
enum class Verdict {
    Passed,      // every check named was made, and each passed (status 0)
    Failed,      // a check made failed (status 1), whatever else was or was not made
    Incomplete,  // the self-test: every check made passed, but parts were not tested (status 3)
    NotJudged,   // the DA check: no figure beyond a limit, but a figure has none (status 3)
    CouldNotRun, // no verdict: the test could not begin, or the card, meter or wiring failed (2)
    Stopped,     // ended before its verdict by the operator (2) or a signal (128 + N)
};

// The verdict's word in a report and the record, the same in every locale: "passed", "failed",
// "incomplete", "not judged", "could not run", "stopped".
QString verdictKey(Verdict verdict);

// The verdict's word for the operator, in the operator's language: "Passed" (合格), ...
QString verdictWord(Verdict verdict);

// The exit status a verdict ends with; signal is the signal that stopped it, if one did.
int verdictStatus(Verdict verdict, int signal = 0);

} // namespace qm5083::commands
