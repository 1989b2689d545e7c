// The DA check's picture, drawn from a report as the command files it: the format its file's name
// asks for, the title a lab files it by, and a figure beyond its limit drawn outside the band,
// on the side its sign says.

#include "da_plot.h"
#include "support/row_name.h"

#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

using qm5083::reports::daCheckPicture;

// A report of three codes whose INL at 800 is inlAt800; INL limit 1 LSB.
QJsonObject report(double inlAt800)
{
    const auto point = [](const char *code, double inl) {
        return QJsonObject {{"code", code}, {"inlLsb", inl}};
    };
    return {{"card", QJsonObject {{"kind", "simulated"}, {"number", 2}}},
            {"channel", 3},
            {"serial", "SN<42>&"},
            {"time", "2026-12-07T10:00:00.000+01:00"},
            {"limits", QJsonObject {{"inl", 1.0}, {"dnl", 0.5}}},
            {"points", QJsonArray {point("0", 0), point("800", inlAt800), point("FFF", 0)}},
            {"steps", QJsonArray {}}};
}

// The topmost row of the upper (INL) panel's pixels that pass `is`, or -1.
int topmost(const QImage &image, bool (*is)(QRgb))
{
    for (int y = 0; y < image.height() / 2; ++y)
        for (int x = 80; x < image.width() - 30; ++x)
            if (is(image.pixel(x, y)))
                return y;
    return -1;
}
int bottommost(const QImage &image, bool (*is)(QRgb))
{
    for (int y = image.height() / 2; y-- > 0;)
        for (int x = 80; x < image.width() - 30; ++x)
            if (is(image.pixel(x, y)))
                return y;
    return -1;
}
bool isBand(QRgb c)
{
    return qGreen(c) > qRed(c) + 15 && qGreen(c) > qBlue(c) + 15;
}
bool isValue(QRgb c)
{
    return qBlue(c) > 150 && qRed(c) < 120 && qBlue(c) > qGreen(c) + 40;
}

struct InlRow
{
    const char *name;
    double inl;
    bool aboveBand, belowBand;
};

class DaPlotInl : public ::testing::TestWithParam<InlRow>
{ };

TEST_P(DaPlotInl, IsDrawnOnItsSideOfTheBand)
{
    const InlRow &row = GetParam();
    const QImage image = QImage::fromData(daCheckPicture(report(row.inl), "check.png"), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(960, 640));
    const int bandTop = topmost(image, isBand), bandBottom = bottommost(image, isBand);
    const int valueTop = topmost(image, isValue), valueBottom = bottommost(image, isValue);
    ASSERT_GE(bandTop, 0);
    ASSERT_GE(valueTop, 0);
    EXPECT_EQ(valueTop < bandTop, row.aboveBand) << valueTop << " " << bandTop;
    EXPECT_EQ(valueBottom > bandBottom, row.belowBand) << valueBottom << " " << bandBottom;
}

INSTANTIATE_TEST_SUITE_P(Rows, DaPlotInl,
                         ::testing::Values(InlRow {"JustWithin", 0.7, false, false},
                                           InlRow {"JustBeyondAbove", 1.3, true, false},
                                           InlRow {"JustBeyondBelow", -1.3, false, true}),
                         qm5083::testing::RowName {});

// SVG by its name, PNG otherwise; the title names the card, channel, serial and time, the
// serial as text, never markup.
TEST(DaPlot, FormatByNameAndTitle)
{
    const QByteArray svg = daCheckPicture(report(0), "check.svg");
    EXPECT_TRUE(svg.startsWith("<?xml")) << svg.left(40).constData();
    EXPECT_TRUE(svg.contains("DA3 of simulated card 2, serial SN&lt;42&gt;&amp;, "
                             "2026-12-07T10:00:00.000+01:00"));
    EXPECT_TRUE(daCheckPicture(report(0), "check.png").startsWith("\x89PNG"));
}

} // namespace
