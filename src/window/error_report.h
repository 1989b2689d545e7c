#pragma once

#include <QString>
#include <exception>

namespace qm5083::window {

// What the operator is told when an operation fails.
struct ErrorReport
{
    int number = 0;    // the run-time error number, or the system error code
    QString headline;  // "Run-time error 6: Overflow"
    QString detail;    // where it happened and what to do
    QString sourceBox; // the text box whose text failed, when known
    QString operation; // the operation that stopped
};

// Describes the exception an operation threw.
ErrorReport describeFailure(const std::exception_ptr &failure, const QString &operation);

} // namespace qm5083::window
