#include "results_plot.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <functional>

namespace qm5083::results {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 540;
constexpr QRectF kArea(80, 60, kWidth - 160, kHeight - 160);

const QColor kFirstPass(30, 80, 200);
const QColor kFinal(90, 170, 90);
const QColor kCumulative(200, 60, 40);

QByteArray picture(const QString &fileName, const QString &title,
                   const std::function<void(QPainter &)> &draw)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto paint = [&](QPainter &painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
        QFont font = painter.font();
        font.setPointSize(12);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(kArea.left(), 12, kArea.width(), 28), Qt::AlignLeft, title);
        font.setPointSize(9);
        font.setBold(false);
        painter.setFont(font);
        draw(painter);
    };
    if (fileName.endsWith(QStringLiteral(".svg"))) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(kWidth, kHeight));
        svg.setViewBox(QRect(0, 0, kWidth, kHeight));
        svg.setTitle(title);
        QPainter painter(&svg);
        paint(painter);
    } else {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            paint(painter);
        }
        image.save(&buffer, "PNG");
    }
    return bytes;
}

// The frame and a scale from 0 to top on the left (or right), in four steps.
void drawScale(QPainter &painter, double top, const QString &unit, bool right)
{
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(kArea);
    for (int tick = 0; tick <= 4; ++tick) {
        const double value = top * tick / 4;
        const double y = kArea.bottom() - kArea.height() * tick / 4;
        const QRectF label = right ? QRectF(kArea.right() + 6, y - 8, 70, 16)
                                   : QRectF(0, y - 8, kArea.left() - 6, 16);
        const Qt::Alignment align = (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
        painter.drawText(label, static_cast<int>(align.toInt()),
                         QString::number(value, 'g', 4) + unit);
        if (!right && tick > 0 && tick < 4) {
            painter.setPen(QPen(Qt::lightGray, 1, Qt::DotLine));
            painter.drawLine(QPointF(kArea.left(), y), QPointF(kArea.right(), y));
            painter.setPen(QPen(Qt::black, 1));
        }
    }
}

void drawLegend(QPainter &painter, const std::vector<std::pair<QColor, QString>> &entries)
{
    double x = kArea.left();
    const double y = kHeight - 28;
    for (const auto &[color, text] : entries) {
        painter.fillRect(QRectF(x, y, 12, 12), color);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + 16, y - 2, 260, 16), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += 280;
    }
}

// A label under a bar, cut to the bar's room.
void drawLabel(QPainter &painter, double x, double width, const QString &text)
{
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight,
                                                           static_cast<int>(std::max(width, 30.0)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(x - 20, kArea.bottom() + 4, width + 40, 16), Qt::AlignHCenter, shown);
}

} // namespace

QByteArray yieldPicture(const YieldAnswer &answer, const QString &title, const QString &fileName)
{
    std::vector<YieldGroup> groups = answer.groups;
    if (groups.empty())
        groups.push_back(answer.total);
    return picture(fileName, title, [&](QPainter &painter) {
        drawScale(painter, 100, QStringLiteral(" %"), false);
        const double slot = kArea.width() / static_cast<double>(groups.size());
        const double bar = std::min(40.0, slot * 0.4);
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const YieldGroup &group = groups[i];
            const double x = kArea.left() + slot * static_cast<double>(i) + slot / 2;
            const auto drawBar = [&](double left, double share, const QColor &color) {
                const double height = kArea.height() * share;
                painter.fillRect(QRectF(left, kArea.bottom() - height, bar, height), color);
            };
            drawBar(x - bar, group.firstPassYield(), kFirstPass);
            drawBar(x, group.finalYield(), kFinal);
            drawLabel(painter, x - slot / 2, slot, group.group.isEmpty() ? tr("all") : group.group);
            painter.drawText(QRectF(x - slot / 2, kArea.bottom() + 20, slot, 16), Qt::AlignHCenter,
                             tr("cards: %1").arg(group.cards));
        }
        drawLegend(painter, {{kFirstPass, tr("first-pass yield")}, {kFinal, tr("final yield")}});
    });
}

QByteArray paretoPicture(const std::vector<ParetoEntry> &entries, const QString &title,
                         const QString &fileName)
{
    return picture(fileName, title, [&](QPainter &painter) {
        std::int64_t total = 0;
        std::int64_t most = 1;
        for (const ParetoEntry &entry : entries) {
            total += entry.results;
            most = std::max(most, entry.results);
        }
        drawScale(painter, static_cast<double>(most), QString(), false);
        drawScale(painter, 100, QStringLiteral(" %"), true);
        if (entries.empty()) {
            painter.drawText(kArea, Qt::AlignCenter, tr("no problems in this period"));
            return;
        }
        const double slot = kArea.width() / static_cast<double>(entries.size());
        const double bar = slot * 0.7;
        QPainterPath cumulative;
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const double left = kArea.left() + slot * static_cast<double>(i);
            const double height = kArea.height() * static_cast<double>(entries[i].results)
                / static_cast<double>(most);
            painter.fillRect(QRectF(left + (slot - bar) / 2, kArea.bottom() - height, bar, height),
                             kFirstPass);
            drawLabel(painter, left, slot, entries[i].problem);
            sum += entries[i].results;
            const QPointF at(left + slot / 2,
                             kArea.bottom()
                                 - kArea.height() * static_cast<double>(sum)
                                     / static_cast<double>(total));
            i == 0 ? cumulative.moveTo(at) : cumulative.lineTo(at);
        }
        painter.setPen(QPen(kCumulative, 2));
        painter.drawPath(cumulative);
        drawLegend(
            painter,
            {{kFirstPass, tr("results with the problem")}, {kCumulative, tr("cumulative share")}});
    });
}

} // namespace qm5083::results
