#include "da_plot.h"

#include "translations.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <optional>

namespace qm5083::reports {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 640;
constexpr int kLeft = 70;
constexpr int kRight = 20;
constexpr double kTopCode = 4095;

struct Series
{
    std::vector<QPointF> values; // code, LSB
    std::optional<double> limit;
};

// The y range that holds every value and the band, with a little room; even about zero, so that
// zero is the middle tick and an error's sign reads at a glance.
std::pair<double, double> span(const Series &series)
{
    double extent = series.limit ? *series.limit : 0;
    for (const QPointF &value : series.values)
        if (std::isfinite(value.y()))
            extent = std::max(extent, std::fabs(value.y()));
    const double room = std::max(0.5, extent * 0.2);
    return {-extent - room, extent + room};
}

// One panel: its frame, ticks, the limit's band, zero, and the values, as dots on a line
// (INL) or bars (DNL).
void drawPanel(QPainter &painter, const QRectF &area, const Series &series, const QString &title,
               bool bars)
{
    // Named apart, not bound: the lambdas below capture them.
    const std::pair<double, double> range = span(series);
    const double low = range.first;
    const double high = range.second;
    const auto x = [&](double code) {
        return area.left() + area.width() * code / kTopCode;
    };
    const auto y = [&](double lsb) {
        return area.bottom() - area.height() * (lsb - low) / (high - low);
    };
    painter.setPen(QPen(Qt::black, 1));
    painter.drawText(QRectF(area.left(), area.top() - 22, area.width(), 20), Qt::AlignLeft, title);
    if (series.limit)
        painter.fillRect(QRectF(QPointF(area.left(), y(*series.limit)),
                                QPointF(area.right(), y(-*series.limit))),
                         QColor(120, 200, 120, 70));
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), y(0)), QPointF(area.right(), y(0)));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(area);
    for (int tick = 0; tick <= 4; ++tick) {
        const double lsb = low + (high - low) * tick / 4;
        painter.drawText(QRectF(0, y(lsb) - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(lsb, 'f', 2));
    }
    for (const int code : {0, 0x400, 0x800, 0xC00, 0xFFF})
        painter.drawText(QRectF(x(code) - 30, area.bottom() + 2, 60, 16), Qt::AlignHCenter,
                         QString::number(code, 16).toUpper());
    QPainterPath line;
    painter.setPen(QPen(QColor(30, 80, 200), 1.5));
    for (const QPointF &value : series.values) {
        if (!std::isfinite(value.y()))
            continue;
        const QPointF at(x(value.x()), y(value.y()));
        if (bars) {
            painter.drawLine(QPointF(at.x(), y(0)), at);
        } else {
            line.isEmpty() ? line.moveTo(at) : line.lineTo(at);
            painter.drawEllipse(at, 2, 2);
        }
    }
    painter.drawPath(line);
}

void draw(QPainter &painter, const QJsonObject &report)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    const QJsonObject card = report[QStringLiteral("card")].toObject();
    const QString which = card[QStringLiteral("kind")] == QStringLiteral("simulated")
        ? tr("simulated card %1").arg(card[QStringLiteral("number")].toInt())
        : QStringLiteral("%1 %2").arg(card[QStringLiteral("address")].toString(),
                                      card[QStringLiteral("ids")].toString());
    QFont title = painter.font();
    title.setPointSize(12);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(kLeft, 8, kWidth - kLeft - kRight, 24), Qt::AlignLeft,
                     tr("DA%1 of %2, serial %3, %4")
                         .arg(report[QStringLiteral("channel")].toInt())
                         .arg(which, report[QStringLiteral("serial")].toString(),
                              report[QStringLiteral("time")].toString()));
    QFont text = painter.font();
    text.setPointSize(9);
    text.setBold(false);
    painter.setFont(text);

    const QJsonObject limits = report[QStringLiteral("limits")].toObject();
    const auto limit = [&](const char *name) -> std::optional<double> {
        const QJsonValue value = limits[QString::fromLatin1(name)];
        return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
    };
    Series inl {{}, limit("inl")};
    for (const QJsonValue point : report[QStringLiteral("points")].toArray())
        inl.values.push_back(
            {static_cast<double>(point[QStringLiteral("code")].toString().toInt(nullptr, 16)),
             point[QStringLiteral("inlLsb")].isDouble() ? point[QStringLiteral("inlLsb")].toDouble()
                                                        : std::nan("")});
    Series dnl {{}, limit("dnl")};
    for (const QJsonValue step : report[QStringLiteral("steps")].toArray())
        dnl.values.push_back({static_cast<double>(step[QStringLiteral("codes")]
                                                      .toString()
                                                      .section(QLatin1Char('/'), 0, 0)
                                                      .toInt(nullptr, 16)),
                              step[QStringLiteral("dnl")].isDouble()
                                  ? step[QStringLiteral("dnl")].toDouble()
                                  : std::nan("")});
    const double panelHeight = (kHeight - 140) / 2.0;
    drawPanel(painter, QRectF(kLeft, 70, kWidth - kLeft - kRight, panelHeight), inl,
              tr("INL per code, LSB (band: the INL limit)"), false);
    drawPanel(painter, QRectF(kLeft, 70 + panelHeight + 50, kWidth - kLeft - kRight, panelHeight),
              dnl, tr("DNL per step between neighbouring codes, LSB (band: the DNL limit)"), true);
}

} // namespace

QByteArray daCheckPicture(const QJsonObject &report, const QString &fileName)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (fileName.endsWith(QStringLiteral(".svg"))) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(kWidth, kHeight));
        svg.setViewBox(QRect(0, 0, kWidth, kHeight));
        svg.setTitle(tr("DA check"));
        QPainter painter(&svg);
        draw(painter, report);
    } else {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            draw(painter, report);
        }
        image.save(&buffer, "PNG");
    }
    return bytes;
}

} // namespace qm5083::reports
