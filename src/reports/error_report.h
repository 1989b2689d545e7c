#pragma once

#include "access_recorder.h"
#include "message.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace qm5083::reports {

// What the operator is told when something fails.
struct ErrorReport
{
    QString headline;  // "Run-time error 6: Overflow", with the error's number
    QString detail;    // what failed, what was written, what to do
    QString sourceBox; // the object name of the text box whose text failed, when known
    QString cause;     // the same for two failures with one cause
};

// A text box as the operator knows it: what the window shows for it and the values it takes.
struct BoxDescription
{
    QString shownAs;
    QString lowest;
    QString highest;
    QString rangeNote; // what the box does with a value beyond the range, if it takes one
};

// A typed text as a report quotes it: its first 40 characters, then "…".
QString quotedText(const QString &text);

// What the report needs to know besides the failure.
struct FailureContext
{
    QString operation;                                    // "开关量输出 输出"
    std::vector<hardware::RecordedAccess> accessesBefore; // those made before it stopped
    std::function<std::optional<BoxDescription>(const QString &objectName)> describeBox;
    // A failing tick of the input monitor: an operation that reads, after which the inputs are
    // no longer read.
    bool stopsInputs = false;
};

ErrorReport describeFailure(const std::exception_ptr &failure, const FailureContext &context);

// A failure in one line, for a command's standard error: the headline and what failed.
QString failureSentence(const std::exception_ptr &failure);

// A report that is no operation's failure, such as the program reaching no card.
ErrorReport noticeReport(const QString &headline, const hardware::Message &message);

// The report as one line for standard error: time, headline and detail.
QString reportLine(const ErrorReport &report, const QDateTime &when);

// A hardware message in the user's language.
QString translated(const hardware::Message &message);

} // namespace qm5083::reports
