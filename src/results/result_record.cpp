#include "result_record.h"

#include "database.h"

#include <QJsonArray>
#include <QStringList>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

namespace qm5083::results {

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

std::optional<double> numberIn(const QJsonValue &value)
{
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

// A self-test's check: one item, or one per problem when it names several.
void addSelfTestCheck(const QJsonObject &check, std::vector<ResultItem> &items)
{
    const QString kind = check[key("check")].toString();
    const QString result = check[key("result")].toString();
    if (kind == QStringLiteral("loopback")) {
        const auto bits = check[key("failingBits")].toArray();
        items.push_back(
            {QStringLiteral("loopback group %1").arg(check[key("group")].toInt()), result,
             static_cast<double>(bits.size()), QStringLiteral("bits"), std::nullopt, std::nullopt,
             result == QStringLiteral("pass") ? QString() : QStringLiteral("loopback")});
        return;
    }
    if (kind == QStringLiteral("counters")) {
        const QString chip = check[key("chip")].toString();
        const QJsonArray problems = check[key("problems")].toArray();
        if (problems.isEmpty() || result == QStringLiteral("absent")) {
            items.push_back({QStringLiteral("counters chip %1").arg(chip),
                             result,
                             std::nullopt,
                             {},
                             std::nullopt,
                             std::nullopt,
                             result == QStringLiteral("absent")     ? QStringLiteral("chip-absent")
                                 : result == QStringLiteral("pass") ? QString()
                                                                    : QStringLiteral("counters")});
            return;
        }
        for (const QJsonValue problem : problems)
            items.push_back({QStringLiteral("counters chip %1 counter %2")
                                 .arg(chip)
                                 .arg(problem[key("counter")].toInt()),
                             QStringLiteral("fail"),
                             std::nullopt,
                             {},
                             std::nullopt,
                             std::nullopt,
                             QStringLiteral("counter-") + problem[key("code")].toString()});
        return;
    }
    if (kind == QStringLiteral("da")) {
        const QString channel = QStringLiteral("DA%1").arg(check[key("channel")].toInt());
        const QJsonObject figures = check[key("figures")].toObject();
        const QJsonArray beyond = check[key("beyond")].toArray();
        if (figures.isEmpty()) {
            items.push_back({channel,
                             result,
                             std::nullopt,
                             {},
                             std::nullopt,
                             std::nullopt,
                             result == QStringLiteral("fail") ? QStringLiteral("da") : QString()});
            return;
        }
        for (const auto &[figure, name] :
             {std::pair {"offset", "offsetLsb"}, std::pair {"gain", "gainLsb"},
              std::pair {"inl", "inlLsb"}, std::pair {"dnl", "dnlLsb"}}) {
            const bool out = beyond.contains(QJsonValue(key(figure)));
            items.push_back({channel + QLatin1Char(' ') + key(figure),
                             out ? QStringLiteral("fail") : QStringLiteral("pass"),
                             numberIn(figures[key(name)]), QStringLiteral("LSB"), std::nullopt,
                             std::nullopt, out ? QStringLiteral("da-") + key(figure) : QString()});
        }
        if (beyond.contains(QJsonValue(QStringLiteral("monotonic"))))
            items.push_back({channel + QStringLiteral(" monotonic"),
                             QStringLiteral("fail"),
                             std::nullopt,
                             {},
                             std::nullopt,
                             std::nullopt,
                             QStringLiteral("da-monotonic")});
        return;
    }
    items.push_back({kind,
                     result,
                     std::nullopt,
                     {},
                     std::nullopt,
                     std::nullopt,
                     result == QStringLiteral("fail") ? kind : QString()});
}

// A DA check's figures: each with its limit's verdict, or not judged without one.
void addDaCheckFigures(const QJsonObject &report, std::vector<ResultItem> &items)
{
    const QJsonArray verdicts = report[key("verdicts")].toArray();
    QStringList judged;
    for (const QJsonValue verdict : verdicts) {
        const QString figure = verdict[key("figure")].toString();
        const bool within = verdict[key("within")].toBool();
        const auto limit = numberIn(verdict[key("limit")]);
        judged << figure;
        items.push_back({figure,
                         !limit       ? QStringLiteral("not judged")
                             : within ? QStringLiteral("pass")
                                      : QStringLiteral("fail"),
                         numberIn(verdict[key("value")]),
                         figure == QStringLiteral("monotonic") ? QString() : QStringLiteral("LSB"),
                         limit ? std::optional(-*limit) : std::nullopt, limit,
                         limit && !within ? QStringLiteral("da-") + figure : QString()});
    }
    // Figures without a limit are kept too, not judged.
    const QJsonObject figures = report[key("figures")].toObject();
    for (const auto &[figure, value] : {std::pair {"offset", figures[key("offset")][key("lsb")]},
                                        std::pair {"gain", figures[key("gain")][key("lsb")]},
                                        std::pair {"inl", figures[key("inl")][key("lsb")]},
                                        std::pair {"dnl", figures[key("dnl")][key("lsb")]}}) {
        if (figures.isEmpty() || judged.contains(key(figure)))
            continue;
        items.push_back({key(figure),
                         QStringLiteral("not judged"),
                         numberIn(value),
                         QStringLiteral("LSB"),
                         std::nullopt,
                         std::nullopt,
                         {}});
    }
}

// Why the result is not a pass, in a line: its error, its failures, or what was not tested or
// judged.
QString reasonOf(const QJsonObject &report, const QString &status,
                 const std::vector<ResultItem> &items)
{
    if (report.contains(key("error")))
        return report[key("error")].toString();
    if (status == QStringLiteral("passed"))
        return {};
    QStringList parts;
    for (const ResultItem &item : items)
        if (!item.problem.isEmpty())
            parts << QStringLiteral("%1: %2").arg(item.name, item.problem);
    for (const QJsonValue part : report[key("notTested")].toArray())
        parts << QStringLiteral("%1 not tested: %2")
                     .arg(part[key("part")].toString(), part[key("why")].toString());
    for (const QJsonValue figure : report[key("notJudged")].toArray())
        parts << QStringLiteral("%1 not judged")
                     .arg(figure.isString() ? figure.toString() : figure[key("figure")].toString());
    return parts.join(QStringLiteral("; "));
}

} // namespace

bool judgesTheCard(const QString &status)
{
    return status == QStringLiteral("passed") || status == QStringLiteral("failed")
        || status == QStringLiteral("incomplete") || status == QStringLiteral("not judged");
}

QString statusOfReport(const QJsonObject &report)
{
    QString verdict = report[key("verdict")].toString();
    if (std::find(kStatuses.begin(), kStatuses.end(), verdict.toStdString()) != kStatuses.end())
        return verdict;
    const int status = report[key("status")].toInt(2);
    const bool daCheck = report[key("command")].toString() == QStringLiteral("da-check");
    switch (status) {
    case 0:
        return QStringLiteral("passed");
    case 1:
        return QStringLiteral("failed");
    case 3:
        return daCheck ? QStringLiteral("not judged") : QStringLiteral("incomplete");
    default:
        return status > 128 ? QStringLiteral("stopped") : QStringLiteral("could not run");
    }
}

ResultRecord recordFromReport(const QJsonObject &report, const RunTimes &times)
{
    ResultRecord record;
    record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.serial = report[key("serial")].toString();
    const QJsonObject card = report[key("card")].toObject();
    record.cardKind = card[key("kind")].toString();
    record.cardIds = card[key("ids")].toString();
    record.cardAddress = card[key("address")].toString();
    record.slot = card[key("number")].toInt();
    record.station = report[key("station")].toString();
    if (record.station.isEmpty())
        record.station = QSysInfo::machineHostName();
    record.operatorName = report[key("operator")].toString();
    record.programVersion = report[key("version")].toString();
    const bool daCheck = report[key("command")].toString() == QStringLiteral("da-check");
    record.check = daCheck ? QStringLiteral("da-check DA%1").arg(report[key("channel")].toInt())
                           : QStringLiteral("self-test");
    record.started = times.started;
    record.ended = times.ended;
    record.status = statusOfReport(report);
    record.exitStatus = report[key("status")].toInt(2);
    record.report = report;
    if (daCheck) {
        addDaCheckFigures(report, record.items);
    } else {
        for (const QJsonValue check : report[key("checks")].toArray())
            addSelfTestCheck(check.toObject(), record.items);
    }
    record.reason = reasonOf(report, record.status, record.items);
    return record;
}

} // namespace qm5083::results
