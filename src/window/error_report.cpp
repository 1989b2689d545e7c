#include "error_report.h"

#include "port_refused.h"
#include "runtime_error.h"

#include <cstring>
#include <system_error>

namespace qm5083::window {

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

const QString kStopped = QStringLiteral(
    "The operation %1 stopped here: port writes already made stay made, and the program goes on.");

} // namespace

ErrorReport describeFailure(const std::exception_ptr &failure, const QString &operation)
{
    ErrorReport report;
    report.operation = operation;
    QString where;
    try {
        std::rethrow_exception(failure);
    } catch (const convert::RuntimeError &error) {
        report.number = error.code();
        report.headline = fromStd(error.what());
        switch (error.sourceKind()) {
        case convert::ErrorSource::TextBox:
            report.sourceBox = fromStd(error.source());
            where = QStringLiteral("In text box %1: \"%2\"")
                        .arg(report.sourceBox, fromStd(error.sourceText()));
            break;
        case convert::ErrorSource::StoredBase:
            where = QStringLiteral("In the port address %1, with IOBase = %2")
                        .arg(fromStd(error.source()), fromStd(error.sourceText()));
            break;
        case convert::ErrorSource::Unknown:
            break;
        }
    } catch (const hardware::PortRefused &error) {
        report.headline = QStringLiteral("Port access refused");
        where = fromStd(error.what());
    } catch (const std::system_error &error) {
        report.number = error.code().value();
        report.headline = QStringLiteral("Port access error %1: %2")
                              .arg(report.number)
                              .arg(fromStd(error.code().message()));
        where = fromStd(error.what());
    } catch (const std::exception &error) {
        report.headline = QStringLiteral("Error");
        where = fromStd(error.what());
    } catch (...) {
        report.headline = QStringLiteral("Unexpected error");
    }
    report.detail
        = where.isEmpty() ? kStopped.arg(operation) : where + "\n\n" + kStopped.arg(operation);
    return report;
}

} // namespace qm5083::window
