#pragma once

// One result as the results database keeps it: the check's verdict on one card, with one row per
// check or figure, made from the report the check filed.

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace qm5083::results {

// The verdicts a result can have, as the reports and the record give them. Only "passed" is a
// pass; "could not run" and "stopped" say nothing about the card.
inline constexpr std::array<std::string_view, 6> kStatuses {
    "passed", "failed", "incomplete", "not judged", "could not run", "stopped"};

// The verdicts that are a verdict on the card, which yields count.
bool judgesTheCard(const QString &status);

// One check or figure of a result.
struct ResultItem
{
    QString name;   // "loopback group 2", "counters chip B counter 0", "inl"
    QString status; // "pass", "fail", "absent", "not judged", "not measured"...
    std::optional<double> value;
    QString unit; // "bits", "LSB", or empty
    std::optional<double> low;
    std::optional<double> high;
    QString
        problem; // a stable code for a failure ("loopback", "counter-status", "da-inl"), or empty

    bool operator==(const ResultItem &) const = default;
};

struct ResultRecord
{
    QString uuid;
    QString serial;
    QString cardKind; // "pci" or "simulated"
    QString cardIds;  // "1234:5678" for a PCI card
    QString cardAddress;
    int slot = 0; // the card's number in the PC
    QString station;
    QString operatorName;
    QString programVersion;
    QString check; // "self-test", "da-check DA1"
    QDateTime started;
    QDateTime ended;
    QString status; // one of kStatuses
    int exitStatus = 0;
    QString reason; // why it failed, was not judged or did not run; empty for a pass
    QJsonObject report;
    std::vector<ResultItem> items;

    qint64 durationMs() const { return started.msecsTo(ended); }
};

// When a check ran, which the report does not say whole.
struct RunTimes
{
    QDateTime started;
    QDateTime ended;
};

// The result a self-test's or a DA check's report stands for: its card, station, verdict and
// reason, each check or figure an item; a new UUID. A station left empty is the machine's name, so
// that a line's database can tell its stations apart.
ResultRecord recordFromReport(const QJsonObject &report, const RunTimes &times);

// The verdict's word for a report: its "verdict", or what its status means.
QString statusOfReport(const QJsonObject &report);

} // namespace qm5083::results
