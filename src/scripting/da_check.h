#pragma once

// The guided DA check's arithmetic: which codes it steps through, and what the readings say of
// the channel against the ideal line of its range.

#include <cstdint>
#include <string>
#include <vector>

namespace qm5083::scripting {

// The codes a check of the given number of points steps through, in rising order: 0, FFF and
// evenly between (rounded to the nearest code), always with the codes at 10 % and 90 % of full
// scale.
std::vector<std::uint16_t> daCheckCodes(int points);

// The code at a share of full scale, as the steps round it: 10 % is 19A, 90 % E66.
std::uint16_t fullScaleShare(double share);

// The volts the ideal line gives a code: low at 0, high at FFF.
double idealVolts(std::uint16_t code, double low, double high);

struct DaReading
{
    std::uint16_t code;
    double volts;
};

struct DaCheckFigures
{
    double lsbVolts;    // (high - low) / FFF
    double offsetVolts; // the reading at code 0 against low
    double offsetLsb;
    double gainVolts; // the slope through the 10 % and 90 % readings against the ideal slope,
    double gainLsb;   // over full scale
    double gainPercent;
    double inlVolts; // the largest distance of a reading from the line through the readings at
    double inlLsb;   // codes 0 and FFF
    std::uint16_t inlCode;
    bool monotonic; // every step moves the reading further the way the range runs
};

// The figures of a whole set of readings, one for each of daCheckCodes.
DaCheckFigures daCheckFigures(const std::vector<DaReading> &readings, double low, double high);

// The figures in LSB beyond +-limit, by name ("offset", "gain", "inl"), and
// "monotonicity" when the readings do not keep moving one way.
std::vector<std::string> figuresBeyond(const DaCheckFigures &figures, double limitLsb);

} // namespace qm5083::scripting
