#include "session_log.h"

#include "hex_text.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>

namespace qm5083::reports {

QJsonObject operationLine(const RecordedOperation &operation)
{
    QJsonArray texts;
    for (const auto &[box, text] : operation.textsRead)
        texts.append(QJsonObject {{QStringLiteral("box"), QString::fromStdString(box)},
                                  {QStringLiteral("text"), QString::fromStdString(text)}});
    QJsonArray accesses;
    for (const hardware::RecordedAccess &access : operation.accesses)
        accesses.append(QJsonObject {
            {QStringLiteral("access"),
             access.kind == hardware::RecordedAccess::Kind::Out ? QStringLiteral("out")
                                                                : QStringLiteral("in")},
            {QStringLiteral("port"), QString::fromStdString(convert::hex4(access.port))},
            {QStringLiteral("byte"), QString::fromStdString(convert::hex2(access.byte()))}});
    QJsonObject line {
        {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {QStringLiteral("operation"), operation.operation},
        {QStringLiteral("texts"), texts},
        {QStringLiteral("accesses"), accesses},
        {QStringLiteral("result"),
         operation.failure ? QStringLiteral("failed") : QStringLiteral("done")},
    };
    if (operation.failure)
        line[QStringLiteral("report")] = operation.reported
            ? QJsonObject {{QStringLiteral("headline"), operation.failure->headline},
                           {QStringLiteral("detail"), operation.failure->detail}}
            : QJsonObject {
                {QStringLiteral("notShown"), QStringLiteral("the same cause was just reported")}};
    return line;
}

std::unique_ptr<SessionLog> SessionLog::open(const QString &path, QString &error)
{
    std::FILE *file = std::fopen(path.toLocal8Bit().constData(), "a");
    if (!file) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<SessionLog>(new SessionLog(file));
}

SessionLog::~SessionLog()
{
    std::fclose(file_);
}

void SessionLog::append(const QJsonObject &line)
{
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), file_);
    std::fflush(file_);
}

} // namespace qm5083::reports
