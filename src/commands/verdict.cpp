#include "verdict.h"

#include "command_line.h"
#include "exit_status.h"

namespace qm5083::commands {

QString verdictKey(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Passed:
        return QStringLiteral("passed");
    case Verdict::Failed:
        return QStringLiteral("failed");
    case Verdict::Incomplete:
        return QStringLiteral("incomplete");
    case Verdict::NotJudged:
        return QStringLiteral("not judged");
    case Verdict::CouldNotRun:
        return QStringLiteral("could not run");
    case Verdict::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QString verdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Passed:
        return tr("Passed");
    case Verdict::Failed:
        return tr("Failed");
    case Verdict::Incomplete:
        return tr("Incomplete");
    case Verdict::NotJudged:
        return tr("Not judged");
    case Verdict::CouldNotRun:
        return tr("Could not run");
    case Verdict::Stopped:
        return tr("Stopped");
    }
    return {};
}

int verdictStatus(Verdict verdict, int signal)
{
    switch (verdict) {
    case Verdict::Passed:
        return kDone;
    case Verdict::Failed:
        return kCheckFailed;
    case Verdict::Incomplete:
    case Verdict::NotJudged:
        return kIncomplete;
    case Verdict::CouldNotRun:
        return kCannotRun;
    case Verdict::Stopped:
        return signal ? signalStatus(signal) : int {kCannotRun};
    }
    return kCannotRun;
}

} // namespace qm5083::commands
