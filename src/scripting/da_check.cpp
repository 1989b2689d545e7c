#include "da_check.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qm5083::scripting {

namespace {

constexpr double kFullScale = 4095; // FFF

double readingAt(const std::vector<DaReading> &readings, std::uint16_t code)
{
    const auto found
        = std::find_if(readings.begin(), readings.end(),
                       [code](const DaReading &reading) { return reading.code == code; });
    if (found == readings.end())
        throw std::invalid_argument("no reading at code " + std::to_string(code));
    return found->volts;
}

} // namespace

std::uint16_t fullScaleShare(double share)
{
    return static_cast<std::uint16_t>(std::lround(share * kFullScale));
}

std::vector<std::uint16_t> daCheckCodes(int points)
{
    std::vector<std::uint16_t> codes {fullScaleShare(0.1), fullScaleShare(0.9)};
    for (int i = 0; i < points; ++i)
        codes.push_back(fullScaleShare(static_cast<double>(i) / (points - 1)));
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

double idealVolts(std::uint16_t code, double low, double high)
{
    return low + code * (high - low) / kFullScale;
}

DaCheckFigures daCheckFigures(const std::vector<DaReading> &readings, double low, double high)
{
    DaCheckFigures figures {};
    figures.lsbVolts = (high - low) / kFullScale;
    const double atZero = readingAt(readings, 0);
    const double atFull = readingAt(readings, 0xFFF);
    figures.offsetVolts = atZero - low;
    figures.offsetLsb = figures.offsetVolts / figures.lsbVolts;

    const std::uint16_t lowCode = fullScaleShare(0.1);
    const std::uint16_t highCode = fullScaleShare(0.9);
    const double slope
        = (readingAt(readings, highCode) - readingAt(readings, lowCode)) / (highCode - lowCode);
    figures.gainVolts = (slope - figures.lsbVolts) * kFullScale;
    figures.gainLsb = figures.gainVolts / figures.lsbVolts;
    figures.gainPercent = (slope / figures.lsbVolts - 1) * 100;

    for (const DaReading &reading : readings) {
        const double onLine = atZero + (atFull - atZero) * reading.code / kFullScale;
        const double distance = reading.volts - onLine;
        // Closer than a nanovolt is on the line: arithmetic, not the channel.
        if (std::fabs(distance) > std::fabs(figures.inlVolts) + 1e-9 || reading.code == 0) {
            figures.inlVolts = distance;
            figures.inlCode = reading.code;
        }
    }
    figures.inlLsb = figures.inlVolts / figures.lsbVolts;

    const double direction = high > low ? 1 : -1;
    figures.monotonic = true;
    for (std::size_t i = 1; i < readings.size(); ++i)
        if ((readings[i].volts - readings[i - 1].volts) * direction <= 0)
            figures.monotonic = false;
    return figures;
}

std::vector<std::string> figuresBeyond(const DaCheckFigures &figures, double limitLsb)
{
    // Written as "not within", so that a figure that is no number (readings so large that the
    // arithmetic overflowed) is never within a limit.
    const auto within = [limitLsb](double figure) {
        return std::fabs(figure) <= limitLsb;
    };
    std::vector<std::string> beyond;
    if (!within(figures.offsetLsb))
        beyond.emplace_back("offset");
    if (!within(figures.gainLsb))
        beyond.emplace_back("gain");
    if (!within(figures.inlLsb))
        beyond.emplace_back("inl");
    if (!figures.monotonic)
        beyond.emplace_back("monotonicity");
    return beyond;
}

} // namespace qm5083::scripting
