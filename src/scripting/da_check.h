#pragma once

// The DA check's arithmetic: which codes it steps through, and what the readings say of a 12-bit
// channel, by the definitions DAC data sheets use (IEEE Std 1658-2011, the standard for DAC
// terms and test methods): one reference line (through the end points, or fitted by least
// squares) for the offset and gain errors, the INL and the DNL, all in LSB.
//
// Errors are measured along the range's direction, so a channel wired from 10 V down to 0 V has
// the same signs as its twin from 0 V up to 10 V.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qm5083::scripting {

inline constexpr int kDaCodeCount = 4096;
inline constexpr std::uint16_t kTopCode = 0xFFF;

// The codes where the converter's bits carry (000/001, 3FF/400, 7FF/800, BFF/C00, FFE/FFF),
// where its worst steps are; 800 is midscale. Always visited.
inline constexpr std::array<std::uint16_t, 10> kMajorCarries {0x000, 0x001, 0x3FF, 0x400, 0x7FF,
                                                              0x800, 0xBFF, 0xC00, 0xFFE, 0xFFF};

// What one LSB is: FSR/4096, the full-scale range (LOW to HIGH, HIGH itself one LSB above code
// FFF) over 2^12 codes, as DAC data sheets give it; or (FS - ZS)/4095, the span from code 0's
// output (LOW) to code FFF's (HIGH) over 4095 steps.
enum class LsbConvention { FullScaleRange, FullScaleSpan };

// The reference line the figures are taken against: through the readings at codes 0 and FFF
// (terminal-based), or the least-squares line through every reading (best fit).
enum class ReferenceLine { EndPoint, BestFit };

struct DaRange
{
    double low = 0;  // volts at code 0
    double high = 0; // volts at FFF (FS - ZS convention), or the top of the full-scale range
    bool operator==(const DaRange &) const = default;
};

// The codes a check visits, in rising order, each once: points codes evenly from 0 to FFF (or
// the lab's own codes, or all 4096), with the major carries always among them.
std::vector<std::uint16_t> daCheckCodes(std::optional<int> points,
                                        const std::vector<std::uint16_t> &chosen = {},
                                        bool all = false);

// One LSB in volts, signed as the range runs (negative from 10 V down to 0 V).
double idealLsb(const DaRange &range, LsbConvention convention);
double idealVolts(std::uint16_t code, const DaRange &range, LsbConvention convention);

// Whether a reading is no reading of this range at all: further outside it than it is wide.
bool implausibleReading(double volts, const DaRange &range);

// A code's reading: the mean of the readings taken, and their spread (largest minus smallest).
struct DaPoint
{
    std::uint16_t code = 0;
    double volts = 0;
    double spread = 0;
    int readings = 1;
};

// An error in volts (along the range's direction) and in LSB.
struct DaError
{
    double volts = 0;
    double lsb = 0;
};

// DNL of one step between neighbouring codes (code and code + 1), in LSB of the reference line.
struct DaStep
{
    std::uint16_t code = 0; // the lower code
    double dnl = 0;
};

struct DaFigures
{
    LsbConvention lsbConvention = LsbConvention::FullScaleRange;
    ReferenceLine line = ReferenceLine::EndPoint;
    double lsbVolts = 0;   // the ideal LSB, signed as the range runs
    double lineLsb = 0;    // the reference line's volts per code
    double lineAtZero = 0; // the reference line at code 0
    DaError zeroCode;      // the reading at 0 against its ideal
    DaError fullScale;     // the reading at FFF against its ideal
    DaError offset;        // the reference line at code 0 against the ideal
    DaError gain;          // the line's span over 0..FFF against the ideal span
    double gainPercent = 0;
    std::vector<double> inl; // each point's distance from the line, in the line's LSB
    double worstInl = 0;     // the largest in size, with its sign
    std::uint16_t worstInlCode = 0;
    std::vector<DaStep> steps; // every visited pair of neighbouring codes
    std::optional<DaStep> worstDnl;
    // Non-decreasing as the standard defines it: no step's DNL below -1 LSB; judged on steps.
    bool monotonic = true;
};

// The figures of a check's points, which hold codes 0 and FFF.
DaFigures daFigures(const std::vector<DaPoint> &points, const DaRange &range,
                    LsbConvention convention, ReferenceLine reference);

// Limits in LSB per figure; none: not judged.
struct DaLimits
{
    std::optional<double> offset;
    std::optional<double> gain;
    std::optional<double> inl;
    std::optional<double> dnl;

    bool any() const { return offset || gain || inl || dnl; }
    bool operator==(const DaLimits &) const = default;
};

// One figure's verdict: the value judged (LSB, with its sign) against its limit (+-limit).
struct DaVerdict
{
    std::string_view figure; // "offset", "gain", "inl", "dnl", "monotonic"
    double value = 0;
    std::optional<double> limit;
    bool within = true;
};

// A verdict for every figure with a limit, and for monotonicity always: a channel that steps
// back fails with or without limits. A figure that is no number (readings so large the
// arithmetic overflowed) is never within its limit.
std::vector<DaVerdict> daVerdicts(const DaFigures &figures, const DaLimits &limits);

// The figures a check with these limits does not judge: "offset", "gain", "inl", "dnl".
std::vector<std::string_view> notJudged(const DaLimits &limits);

// Whether the readings follow the codes at all: from code 0 to FFF they move at least half the
// ideal span, in its direction. Readings that do not (a meter on another channel or on none, a
// meter that reads one value whatever the code) are a fault of the meter or its wiring, not a
// figure of the channel: none is judged. The points hold codes 0 and FFF.
bool readingsFollowTheCodes(const std::vector<DaPoint> &points, const DaRange &range,
                            LsbConvention convention);

// Whether every figure is a number: readings that follow the codes give finite figures.
bool finiteFigures(const DaFigures &figures);

} // namespace qm5083::scripting
