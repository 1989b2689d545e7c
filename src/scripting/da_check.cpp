#include "da_check.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qm5083::scripting {

namespace {

// The steps from code 0 to FFF: what a full-scale span is made of.
constexpr double kSteps = kTopCode;

const DaPoint &pointAt(const std::vector<DaPoint> &points, std::uint16_t code)
{
    const auto found = std::find_if(points.begin(), points.end(),
                                    [code](const DaPoint &point) { return point.code == code; });
    if (found == points.end())
        throw std::invalid_argument("the DA check has no reading at code " + std::to_string(code));
    return *found;
}

// The reference line: volts at code 0, and volts per code.
struct Line
{
    double atZero;
    double perCode;
};

Line endPointLine(const std::vector<DaPoint> &points)
{
    const double atZero = pointAt(points, 0).volts;
    return {atZero, (pointAt(points, kTopCode).volts - atZero) / kSteps};
}

Line bestFitLine(const std::vector<DaPoint> &points)
{
    double meanCode = 0;
    double meanVolts = 0;
    for (const DaPoint &point : points) {
        meanCode += point.code;
        meanVolts += point.volts;
    }
    meanCode /= static_cast<double>(points.size());
    meanVolts /= static_cast<double>(points.size());
    double products = 0;
    double squares = 0;
    for (const DaPoint &point : points) {
        products += (point.code - meanCode) * (point.volts - meanVolts);
        squares += (point.code - meanCode) * (point.code - meanCode);
    }
    const double perCode = products / squares;
    return {meanVolts - perCode * meanCode, perCode};
}

} // namespace

std::vector<std::uint16_t> daCheckCodes(std::optional<int> points,
                                        const std::vector<std::uint16_t> &chosen, bool all)
{
    std::vector<std::uint16_t> codes(kMajorCarries.begin(), kMajorCarries.end());
    if (all) {
        codes.resize(kDaCodeCount);
        for (int code = 0; code < kDaCodeCount; ++code)
            codes[static_cast<std::size_t>(code)] = static_cast<std::uint16_t>(code);
    }
    codes.insert(codes.end(), chosen.begin(), chosen.end());
    if (points)
        for (int i = 0; i < *points; ++i)
            codes.push_back(
                static_cast<std::uint16_t>(std::lround(kSteps * i / std::max(1, *points - 1))));
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

double idealLsb(const DaRange &range, LsbConvention convention)
{
    const double span = range.high - range.low;
    return convention == LsbConvention::FullScaleRange ? span / kDaCodeCount : span / kSteps;
}

double idealVolts(std::uint16_t code, const DaRange &range, LsbConvention convention)
{
    return range.low + code * idealLsb(range, convention);
}

bool implausibleReading(double volts, const DaRange &range)
{
    const double width = std::fabs(range.high - range.low);
    const double lowest = std::min(range.low, range.high) - width;
    const double highest = std::max(range.low, range.high) + width;
    return !(volts >= lowest && volts <= highest);
}

DaFigures daFigures(const std::vector<DaPoint> &points, const DaRange &range,
                    LsbConvention convention, ReferenceLine reference)
{
    DaFigures figures;
    figures.lsbConvention = convention;
    figures.line = reference;
    figures.lsbVolts = idealLsb(range, convention);
    const double direction = range.high > range.low ? 1 : -1;
    const double lsb = std::fabs(figures.lsbVolts);
    const auto error = [&](double volts) {
        return DaError {volts * direction, volts * direction / lsb};
    };
    const Line line
        = reference == ReferenceLine::EndPoint ? endPointLine(points) : bestFitLine(points);
    figures.lineLsb = line.perCode;
    figures.lineAtZero = line.atZero;

    figures.zeroCode = error(pointAt(points, 0).volts - idealVolts(0, range, convention));
    figures.fullScale
        = error(pointAt(points, kTopCode).volts - idealVolts(kTopCode, range, convention));
    figures.offset = error(line.atZero - range.low);
    figures.gain = error((line.perCode - figures.lsbVolts) * kSteps);
    figures.gainPercent = (line.perCode / figures.lsbVolts - 1) * 100;

    // In LSB of the reference line, along the range's direction.
    const double lineLsb = std::fabs(line.perCode);
    for (const DaPoint &point : points) {
        const double inl
            = (point.volts - (line.atZero + line.perCode * point.code)) * direction / lineLsb;
        figures.inl.push_back(inl);
        // A nanovolt's worth of LSB is arithmetic, not the channel: the first code keeps it.
        if (figures.inl.size() == 1 || !(std::fabs(inl) <= std::fabs(figures.worstInl) + 1e-9)) {
            figures.worstInl = inl;
            figures.worstInlCode = point.code;
        }
    }
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].code != points[i - 1].code + 1)
            continue;
        const DaStep step {points[i - 1].code,
                           (points[i].volts - points[i - 1].volts) * direction / lineLsb - 1};
        figures.steps.push_back(step);
        if (!figures.worstDnl || !(std::fabs(step.dnl) <= std::fabs(figures.worstDnl->dnl) + 1e-9))
            figures.worstDnl = step;
        // Written so that a step that is no number is no proof of monotonicity.
        if (!(step.dnl >= -1))
            figures.monotonic = false;
    }
    return figures;
}

std::vector<DaVerdict> daVerdicts(const DaFigures &figures, const DaLimits &limits)
{
    std::vector<DaVerdict> verdicts;
    const auto judge = [&](std::string_view figure, double value, std::optional<double> limit) {
        if (limit)
            verdicts.push_back({figure, value, limit, std::fabs(value) <= *limit});
    };
    judge("offset", figures.offset.lsb, limits.offset);
    judge("gain", figures.gain.lsb, limits.gain);
    judge("inl", figures.worstInl, limits.inl);
    judge("dnl", figures.worstDnl ? figures.worstDnl->dnl : std::nan(""), limits.dnl);
    verdicts.push_back({"monotonic", figures.worstDnl ? figures.worstDnl->dnl : 0, std::nullopt,
                        figures.monotonic});
    return verdicts;
}

std::vector<std::string_view> notJudged(const DaLimits &limits)
{
    using Limit = std::pair<std::string_view, std::optional<double>>;
    std::vector<std::string_view> figures;
    for (const auto &[figure, limit] :
         {Limit {"offset", limits.offset}, Limit {"gain", limits.gain}, Limit {"inl", limits.inl},
          Limit {"dnl", limits.dnl}})
        if (!limit)
            figures.push_back(figure);
    return figures;
}

bool readingsFollowTheCodes(const std::vector<DaPoint> &points, const DaRange &range,
                            LsbConvention convention)
{
    const double span = pointAt(points, kTopCode).volts - pointAt(points, 0).volts;
    const double ideal = idealVolts(kTopCode, range, convention) - range.low;
    // Written so that a span that is no number follows nothing.
    return span / ideal >= 0.5;
}

bool finiteFigures(const DaFigures &figures)
{
    const auto finite = [](double value) {
        return std::isfinite(value);
    };
    return finite(figures.lineLsb) && finite(figures.offset.lsb) && finite(figures.gain.lsb)
        && finite(figures.worstInl) && std::all_of(figures.inl.begin(), figures.inl.end(), finite)
        && std::all_of(figures.steps.begin(), figures.steps.end(),
                       [&](const DaStep &step) { return finite(step.dnl); });
}

} // namespace qm5083::scripting
