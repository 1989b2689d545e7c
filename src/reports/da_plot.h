#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace qm5083::reports {

// The DA check's picture, from its report: each visited code's INL in LSB of the reference line
// with the INL limit's band, and each step's DNL with the DNL limit's band, titled with the card,
// the channel, the serial and the time. SVG or PNG, as the file's name ends. Needs a
// QGuiApplication (fonts).
QByteArray daCheckPicture(const QJsonObject &report, const QString &fileName);

} // namespace qm5083::reports
