// The panel operations on whatever an operator can type, run through the window's own dispatch
// (the test kit's panels without a window) against the simulated card, its clock frozen, behind
// a port that records every access.
//
// Input: the box texts one per line, in the order of kBoxes; a missing line keeps the box's
// starting text from the panels' tables. The line after them is a script of operations, one letter
// each: L locate, O digital output, T monitor tick, C clock output, D DA output (default "LOTCD").
//
// Each operation is also computed here, independently of the panels' code, from the box texts
// and the stored base: the port accesses it makes, the failure that stops it (error number and
// what failed), the base it stores and the texts it shows. Properties, per operation:
// - its accesses are exactly that sequence, cut where the failure stops it: a prefix of the
//   whole sequence, with nothing after the failure;
// - every port lies at ToInt16(IOBase + offset) for one of the operation's own offsets
//   (digital output 0..3 written, monitor 0..3 read, clock 5..19 and DA 8..10 written);
// - a failure is a run-time error 6 or 13 naming the box, or the stored base and offset,
//   that failed, or a port the simulated card refuses because it is none of its registers,
//   which is refused before the operation's first access;
// - IOBase holds what the operation stores: a 16-bit integer after a locate (0 when no card
//   was found, after which the monitor holds), the number read
//   from the base box after a digital or DA output, even when a later step fails.

#include "fuzz_check.h"

#include "panel_harness.h"
#include "parse_number.h"
#include "port_refused.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "value.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace qm5083;
using convert::ErrorNumber;
using convert::ErrorSource;

using testing::Access;

// ---- the boxes, in the order the input gives their texts ----

enum Box : std::size_t {
    CardNo,
    IOBaseBox,
    Output0,
    Da0 = Output0 + 4,
    ClkBase = Da0 + 4,
    ClkOutput,
    BoxCount
};

constexpr std::array<std::string_view, BoxCount> kBoxes {
    panels::kCardNumberBox,  panels::kBaseAddressBox, panels::kOutputBoxes[0],
    panels::kOutputBoxes[1], panels::kOutputBoxes[2], panels::kOutputBoxes[3],
    panels::kDaBoxes[0],     panels::kDaBoxes[1],     panels::kDaBoxes[2],
    panels::kDaBoxes[3],     panels::kBaseDividerBox, panels::kOutputDividerBox,
};

panels::Operation operationOf(char letter)
{
    switch (letter) {
    case 'L':
        return panels::Operation::LocateCard;
    case 'O':
        return panels::Operation::WriteDigitalOutputs;
    case 'T':
        return panels::Operation::ReadDigitalInputs;
    case 'C':
        return panels::Operation::StartClockOutputs;
    case 'D':
        return panels::Operation::WriteDaCodes;
    default:
        return panels::Operation::None;
    }
}

constexpr std::size_t kMaxOperations = 32;

// ---- the independent computation ----

// A run-time error (number, what failed), or a port the simulated card refused.
struct Failure
{
    ErrorNumber number;
    ErrorSource kind;
    std::string source;
    std::optional<std::uint16_t> refusedPort = std::nullopt;
    bool operator==(const Failure &) const = default;
};

// Thrown inside the model to stop an operation, as the panels' run-time errors do.
struct Stop
{
    Failure failure;
};

[[noreturn]] void overflowIn(ErrorSource kind, std::string source)
{
    throw Stop {{ErrorNumber::Overflow, kind, std::move(source)}};
}

[[noreturn]] void refused(std::uint16_t port)
{
    throw Stop {{ErrorNumber::Overflow, ErrorSource::Unknown, {}, port}};
}

// The simulated PC holds only the card: its 20 registers from its base.
bool onTheCard(std::uint16_t port)
{
    return static_cast<std::uint16_t>(port - hardware::kSimulatedCardBase) < 20;
}

// A read of the texts through the conversions under their own test (fuzz_fields); a failure
// names the box.
template<class F>
double readBox(std::string_view box, F &&read)
{
    try {
        return read();
    } catch (const convert::RuntimeError &e) {
        throw Stop {{e.number(), ErrorSource::TextBox, std::string(box)}};
    }
}

// Rounding rule: round to nearest, ties to even, the floating-point unit's default mode.
std::optional<std::int64_t> roundedWithin(double x, double lo, double hi)
{
    const double r = std::nearbyint(x);
    if (!(r >= lo && r <= hi))
        return std::nullopt;
    return static_cast<std::int64_t>(r);
}

std::string hexText(std::uint16_t pattern)
{
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(pattern));
    return text;
}

struct ModelBase
{
    enum class Kind { Empty, Int16, Double } kind = Kind::Empty;
    double value = 0; // integral in every case that arises
};

class Model
{
public:
    std::array<std::string, BoxCount> boxes;
    ModelBase base;
    std::vector<Access> accesses;
    // Reads whose byte the model cannot tell (the counters' registers): any byte is taken.
    std::vector<bool> byteUnknown;

    void run(char operation)
    {
        accesses.clear();
        byteUnknown.clear();
        switch (operation) {
        case 'L':
            locate();
            break;
        case 'O':
            digitalOutput();
            break;
        case 'T':
            tick();
            break;
        case 'C':
            clockOutput();
            break;
        case 'D':
            daOutput();
            break;
        }
    }

    std::optional<std::uint16_t> portOf(int offset) const
    {
        const auto port = roundedWithin(base.value + offset, -32768, 32767);
        if (!port)
            return std::nullopt;
        return static_cast<std::uint16_t>(static_cast<std::int16_t>(*port));
    }

private:
    std::uint16_t port(int offset) const
    {
        const auto p = portOf(offset);
        if (!p)
            overflowIn(ErrorSource::StoredBase, "IOBase + " + std::to_string(offset));
        return *p;
    }

    void store(ModelBase::Kind kind, double value)
    {
        base = {kind, value};
        monitorHeld_ = false;
    }

    void write(int offset, std::int64_t value)
    {
        const std::uint16_t p = port(offset);
        if (!onTheCard(p))
            refused(p);
        const auto v = static_cast<std::int16_t>(value);
        accesses.push_back({Access::Kind::Out, p, v});
        byteUnknown.push_back(false);
        const auto cardOffset = static_cast<std::uint16_t>(p - hardware::kSimulatedCardBase);
        if (cardOffset < latches_.size())
            latches_[cardOffset] = static_cast<std::uint8_t>(v & 0xFF);
    }

    // What the simulated card answers: the loopback of the output latches, nothing on the
    // control registers; the counters are not modelled.
    std::optional<std::uint8_t> cardByte(std::uint16_t p) const
    {
        const auto cardOffset = static_cast<std::uint16_t>(p - hardware::kSimulatedCardBase);
        if (cardOffset < latches_.size())
            return latches_[cardOffset];
        if (cardOffset % 4 == 3)
            return hardware::kEmptyBusByte;
        return std::nullopt;
    }

    void locate()
    {
        const double card
            = readBox(kBoxes[CardNo], [&] { return convert::TextToInt16(boxes[CardNo]); });
        std::int64_t io = 0;
        if (base.kind != ModelBase::Kind::Empty) {
            const auto inRange = roundedWithin(base.value, -32768, 32767);
            if (!inRange)
                overflowIn(ErrorSource::StoredBase, "IOBase");
            io = *inRange;
        }
        (void)io; // converted only to fail as the panel does; a card not found leaves 0
        const bool found = card == hardware::kSimulatedCardNumber;
        const std::int64_t located
            = found ? static_cast<std::int16_t>(hardware::kSimulatedCardBase) : 0;
        store(ModelBase::Kind::Int16, static_cast<double>(located));
        boxes[IOBaseBox] = found ? hexText(static_cast<std::uint16_t>(located)) : "NO";
        monitorHeld_ = !found; // nothing to read without a card
    }

    // A port the card would refuse, among those of the offsets that can be formed, refuses the
    // operation before its first access.
    void refuseUnreachable(std::initializer_list<int> offsets, bool holdsMonitor = false) const
    {
        for (const int offset : offsets) {
            const auto p = portOf(offset);
            if (!p)
                return;
            if (!onTheCard(*p)) {
                if (holdsMonitor)
                    monitorHeld_ = true;
                refused(*p);
            }
        }
    }

    double hexBox(Box box) const
    {
        return readBox(kBoxes[box], [&] { return convert::ParseHexField(boxes[box]); });
    }

    void digitalOutput()
    {
        store(ModelBase::Kind::Double, hexBox(IOBaseBox));
        refuseUnreachable({0, 1, 2, 3});
        for (int g = 0; g < 4; ++g) {
            const Box box = static_cast<Box>(Output0 + g);
            const auto value = roundedWithin(hexBox(box), -32768, 32767);
            if (!value)
                overflowIn(ErrorSource::TextBox, std::string(kBoxes[box]));
            write(g, *value);
        }
    }

    void tick()
    {
        if (monitorHeld_)
            return;
        refuseUnreachable({0, 1, 2, 3}, true);
        for (int g = 0; g < 4; ++g) {
            const auto p = portOf(g);
            if (!p) {
                monitorHeld_ = true;
                overflowIn(ErrorSource::StoredBase, "IOBase + " + std::to_string(g));
            }
            if (!onTheCard(*p)) {
                monitorHeld_ = true;
                refused(*p);
            }
            const auto byte = cardByte(*p);
            accesses.push_back({Access::Kind::In, *p, byte.value_or(0)});
            byteUnknown.push_back(!byte);
        }
    }

    struct Divider
    {
        std::int64_t low;
        std::int64_t high;
    };

    Divider divider(Box box) const
    {
        const double n = readBox(kBoxes[box], [&] { return convert::ParseNumber(boxes[box]); });
        const auto asLong = roundedWithin(n, -2147483648.0, 2147483647.0);
        const double high = std::floor(n / 256);
        if (!asLong || !(high >= 0 && high <= 255))
            overflowIn(ErrorSource::TextBox, std::string(kBoxes[box]));
        return {*asLong & 255, static_cast<std::int64_t>(high)};
    }

    void clockOutput()
    {
        const Divider n = divider(ClkOutput);
        const Divider k = divider(ClkBase);
        // Chip A counter 1 takes k; chip A counter 2 and chips B to D counters 0 to 2 take n,
        // every count after its control word.
        struct Load
        {
            int control;
            int data;
            std::int64_t word;
            Divider count;
        };
        const Load loads[] = {
            {7, 5, 0x76, k},   {7, 6, 0xB6, n},   {11, 8, 0x36, n},  {11, 9, 0x76, n},
            {11, 10, 0xB6, n}, {15, 12, 0x36, n}, {15, 13, 0x76, n}, {15, 14, 0xB6, n},
            {19, 16, 0x36, n}, {19, 17, 0x76, n}, {19, 18, 0xB6, n},
        };
        refuseUnreachable({7,  5,  5,  7,  6,  6,  11, 8,  8,  11, 9,  9,  11, 10, 10, 15, 12,
                           12, 15, 13, 13, 15, 14, 14, 19, 16, 16, 19, 17, 17, 19, 18, 18});
        for (const Load &load : loads) {
            write(load.control, load.word);
            write(load.data, load.count.low);
            write(load.data, load.count.high);
        }
    }

    void daOutput()
    {
        store(ModelBase::Kind::Double, hexBox(IOBaseBox));
        refuseUnreachable({8, 9, 10});
        for (int c = 0; c < 4; ++c) {
            const Box box = static_cast<Box>(Da0 + c);
            const auto code = static_cast<std::int64_t>(hexBox(box));
            if (code < 0 || code > 0xFFF) // 12 bits, or it would select another channel
                overflowIn(ErrorSource::TextBox, std::string(kBoxes[box]));
            write(8, code & 255);
            write(9, static_cast<std::int16_t>((code >> 8) | (c << 4)));
            write(10, 0);
        }
    }

    std::array<std::uint8_t, 4> latches_ {};
    mutable bool monitorHeld_ = false;
};

// ---- the properties ----

struct Check
{
    std::string_view input;
    void operator()(bool condition, const char *property) const
    {
        if (!condition)
            fuzz::fail(property, input);
    }
};

void checkBase(const Check &check, const panels::StoredBase &actual, const ModelBase &expected)
{
    const convert::Value &value = actual.value();
    switch (expected.kind) {
    case ModelBase::Kind::Empty:
        check(std::holds_alternative<convert::Empty>(value), "IOBase stays empty");
        break;
    case ModelBase::Kind::Int16:
        check(std::holds_alternative<std::int16_t>(value), "a locate stores a 16-bit integer");
        break;
    case ModelBase::Kind::Double:
        check(std::holds_alternative<double>(value), "an output stores the number read");
        break;
    }
    check(convert::ToDouble(value) == expected.value, "IOBase holds the value stored");
}

// Every access lies at ToInt16(IOBase + offset) for one of the operation's offsets, in the
// operation's direction.
void checkPorts(const Check &check, char operation, const std::vector<Access> &accesses,
                const Model &model)
{
    std::vector<int> offsets;
    bool writes = true;
    switch (operation) {
    case 'O':
        offsets = {0, 1, 2, 3};
        break;
    case 'T':
        offsets = {0, 1, 2, 3};
        writes = false;
        break;
    case 'C':
        for (int offset = 5; offset <= 19; ++offset)
            offsets.push_back(offset);
        break;
    case 'D':
        offsets = {8, 9, 10};
        break;
    default:
        break; // a locate reaches no port
    }
    for (const Access &access : accesses) {
        check((access.kind == Access::Kind::Out) == writes, "the operation's own direction");
        check(std::any_of(offsets.begin(), offsets.end(),
                          [&](int offset) { return model.portOf(offset) == access.port; }),
              "only ports at IOBase + the operation's offsets");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input = fuzz::textOf(data, size);
    const Check check {input};

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        lines.push_back(input.substr(start, end - start));
        start = end + 1;
    }

    // The window's boxes, texts and state, through its own dispatch on the simulated card.
    testing::PanelHarness window;
    Model model;
    for (std::size_t i = 0; i < BoxCount; ++i) {
        if (i < lines.size())
            window.type(kBoxes[i], lines[i]);
        model.boxes[i] = window.text(kBoxes[i]);
    }
    hardware::SimulatedCard card {[] {
        return std::chrono::nanoseconds(0);
    }};
    testing::RecordingPort port(card);
    hardware::SimulatedLocator locator;

    const std::string_view script = lines.size() > BoxCount ? lines[BoxCount] : "LOTCD";
    std::size_t operations = 0;
    for (const char operation : script) {
        if (operationOf(operation) == panels::Operation::None)
            continue;
        if (++operations > kMaxOperations)
            break;

        port.clear();
        std::optional<Failure> failed;
        try {
            window.run(operationOf(operation), port, locator);
        } catch (const hardware::PortRefused &e) {
            failed = Failure {ErrorNumber::Overflow, ErrorSource::Unknown, {}, e.port()};
        } catch (const convert::RuntimeError &e) {
            // Any other exception is a fault: it escapes and libFuzzer reports it.
            failed = Failure {e.number(), e.sourceKind(), e.source()};
            if (e.sourceKind() == ErrorSource::TextBox) {
                const bool known
                    = std::find(kBoxes.begin(), kBoxes.end(), e.source()) != kBoxes.end();
                check(known && window.text(e.source()) == e.sourceText(),
                      "a failure quotes the failing box's text");
            }
        }

        std::optional<Failure> expectedFailure;
        try {
            model.run(operation);
        } catch (const Stop &stop) {
            expectedFailure = stop.failure;
        }

        check(failed == expectedFailure, "fails exactly where and how the model does");
        if (failed)
            check(failed->refusedPort || failed->number == ErrorNumber::Overflow
                      || failed->number == ErrorNumber::TypeMismatch,
                  "only errors 6 and 13, and refused ports");

        const std::vector<Access> &expected = model.accesses;
        check(port.accesses().size() == expected.size(), "as many accesses as the model makes");
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Access &actual = port.accesses()[i];
            check(actual.kind == expected[i].kind && actual.port == expected[i].port,
                  "each access at the model's port, in the model's order");
            check(model.byteUnknown[i] || actual.value == expected[i].value,
                  "each access with the model's value");
        }
        checkBase(check, window.IOBase, model.base);
        checkPorts(check, operation, port.accesses(), model);

        if (operation == 'L')
            check(window.text(kBoxes[IOBaseBox]) == model.boxes[IOBaseBox], "the base box shows");
        // The input boxes show what was actually read, in hexadecimal.
        if (operation == 'T')
            for (std::size_t g = 0; g < port.accesses().size(); ++g)
                check(window.text(panels::kInputBoxes[g])
                          == hexText(static_cast<std::uint16_t>(port.accesses()[g].value)),
                      "an input box shows its byte in hexadecimal");
    }
    return 0;
}
