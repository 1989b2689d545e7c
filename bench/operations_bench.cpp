// The cost of each panel operation beside the floor set by its port accesses.
//
// Every operation runs with the boxes as the window holds them after start-up (the starting
// texts, and the base box showing E000 after the load-time locate) through three ports, beside
// two floors that make the same accesses and nothing else:
//   counting  a port that only counts calls: the operation's own work;
//   simulated the simulated card;
//   pci_file  the real-card backend on an ordinary 32-byte file in place of the BAR's file;
//   bare_io   floor: one-byte pread/pwrite calls on that file, one per access;
//   stores    floor: plain stores to a volatile byte array, one per access.
// After the runs a summary sets each operation's own work against its bus time at 1 us per
// access, and the backend's cost per access against a bare pread or pwrite.

#include "panel_harness.h"
#include "panel_operations.h"
#include "parse_number.h"
#include "pci_bus.h"
#include "pci_locator.h"
#include "pci_port_access.h"
#include "port_access.h"
#include "self_test.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "sys_io.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

using namespace qm5083;
using testing::PanelHarness;

constexpr double kBusAccessNs = 1000.0;   // one port access on the PCI bus
constexpr double kOwnWorkShare = 0.05;    // an operation's own work may add this much
constexpr double kBackendPerAccess = 1.2; // backend access against a bare pread/pwrite
constexpr std::uint16_t kBase = hardware::kSimulatedCardBase;
constexpr std::uint32_t kBarSize = 0x20;

// A port that only counts: what remains is the operation's own work.
class CountingPort final : public hardware::PortAccess
{
public:
    std::uint8_t inportb(std::uint16_t /*port*/) override
    {
        ++calls_;
        return 0;
    }
    void outportb(std::uint16_t /*port*/, std::int16_t /*value*/) override { ++calls_; }
    std::uint64_t calls() const { return calls_; }

private:
    std::uint64_t calls_ = 0;
};

// One access as an operation made it, for replaying its count on the floors.
struct Access
{
    bool write;
    off_t offset;
    std::uint8_t byte;
};

// The window's boxes and IOBase as they stand right after start-up: the locate at start-up
// turns the starting "E00d" into the card's base.
std::unique_ptr<PanelHarness> afterStartUp()
{
    auto window = std::make_unique<PanelHarness>();
    window->locator.cards = {{hardware::kSimulatedCardNumber, kBase}};
    window->run(panels::Operation::LocateCard);
    if (window->text(panels::kBaseAddressBox) != "E000")
        throw std::logic_error("the start-up locate did not find the card at E000");
    return window;
}

struct Operation
{
    const char *name;
    const char *title;
    std::function<void(PanelHarness &, hardware::PortAccess &)> run;
};

// What the figures call each panel operation.
Operation measured(panels::Operation operation)
{
    const auto run = [operation](PanelHarness &window, hardware::PortAccess &port) {
        window.run(operation, port, window.locator);
    };
    switch (operation) {
    case panels::Operation::LocateCard:
        return {"locate", "locate", run};
    case panels::Operation::WriteDigitalOutputs:
        return {"digital_output", "digital output", run};
    case panels::Operation::ReadDigitalInputs:
        return {"monitor_tick", "monitor tick", run};
    case panels::Operation::StartClockOutputs:
        return {"clock_output", "clock output", run};
    case panels::Operation::WriteDaCodes:
        return {"da_output", "DA output", run};
    case panels::Operation::None:
    case panels::Operation::Exit:
        break;
    }
    throw std::logic_error("not a panel operation");
}

// Every panel operation that reaches the card (the locate reaches none: it is measured with
// each locator below), then the self-test without its waits for the counters to move: they are
// the card's time, not the program's.
const std::vector<Operation> &operations()
{
    static const std::vector<Operation> all = [] {
        std::vector<Operation> list;
        for (const panels::PanelLayout *panel : panels::kPanels)
            if (panel->operation != panels::Operation::LocateCard)
                list.push_back(measured(panel->operation));
        list.push_back({"self_test", "self-test", [](PanelHarness &, hardware::PortAccess &port) {
                            selftest::runSelfTest(port, kBase, [](std::chrono::microseconds) {});
                        }});
        return list;
    }();
    return all;
}

std::vector<Access> accessesOf(const Operation &operation)
{
    const auto window = afterStartUp();
    testing::RecordingPort recorder;
    operation.run(*window, recorder);
    std::vector<Access> accesses;
    for (const testing::Access &access : recorder.accesses())
        accesses.push_back(
            {access.kind == testing::Access::Kind::Out, access.port - kBase, access.byte()});
    return accesses;
}

// An ordinary 32-byte file standing in for the card's I/O BAR file, removed at the end.
class BarFile
{
public:
    BarFile()
    {
        std::string pattern
            = (std::filesystem::temp_directory_path() / "qm5083-bench-resource-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
        path_ = pattern;
        if (::ftruncate(fd, kBarSize) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot size " + pattern);
        ::close(fd);
    }
    ~BarFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    BarFile(const BarFile &) = delete;
    BarFile &operator=(const BarFile &) = delete;

    const std::filesystem::path &path() const { return path_; }

    std::vector<hardware::PciCard> cards() const
    {
        hardware::PciCard card;
        card.address = "0000:03:00.0";
        card.vendor = 0x1234;
        card.device = 0x5678;
        card.bar = 1;
        card.resourceFile = path_;
        card.start = kBase;
        card.size = kBarSize;
        card.ioDecoding = hardware::IoDecoding::Enabled;
        return {card};
    }

private:
    std::filesystem::path path_;
};

// Where the plain-store floor writes.
volatile std::uint8_t gStoreTarget[kBarSize];

BarFile &barFile()
{
    static BarFile file;
    return file;
}

void labelAccesses(benchmark::State &state, std::size_t accesses)
{
    state.counters["accesses"] = static_cast<double>(accesses);
    if (accesses > 0)
        state.counters["cpu_per_access"] = benchmark::Counter(
            static_cast<double>(accesses),
            benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void runThrough(benchmark::State &state, const Operation &operation, hardware::PortAccess &port,
                std::size_t accesses)
{
    const auto window = afterStartUp();
    operation.run(*window, port); // the backend opens its file at the first access
    for (auto _ : state)
        operation.run(*window, port);
    labelAccesses(state, accesses);
}

void registerOperation(const Operation &operation)
{
    const std::vector<Access> accesses = accessesOf(operation);
    const std::size_t count = accesses.size();
    const std::string prefix = std::string(operation.name) + "/";

    benchmark::RegisterBenchmark((prefix + "counting").c_str(), [=](benchmark::State &state) {
        CountingPort port;
        runThrough(state, operation, port, count);
        if (port.calls() != static_cast<std::uint64_t>(state.iterations() + 1) * count)
            state.SkipWithError("the operation made another number of accesses than recorded");
    });
    benchmark::RegisterBenchmark((prefix + "simulated").c_str(), [=](benchmark::State &state) {
        hardware::SimulatedCard card;
        runThrough(state, operation, card, count);
    });
    benchmark::RegisterBenchmark((prefix + "pci_file").c_str(), [=](benchmark::State &state) {
        hardware::PciPortAccess port(barFile().cards(), hardware::SysIo::system());
        runThrough(state, operation, port, count);
    });
    benchmark::RegisterBenchmark((prefix + "bare_io").c_str(), [=](benchmark::State &state) {
        const int fd = ::open(barFile().path().c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the stand-in resource file");
            return;
        }
        std::uint8_t byte = 0;
        bool failed = false;
        for (auto _ : state) {
            for (const Access &access : accesses) {
                if (access.write) {
                    failed |= ::pwrite(fd, &access.byte, 1, access.offset) != 1;
                } else {
                    failed |= ::pread(fd, &byte, 1, access.offset) != 1;
                    benchmark::DoNotOptimize(byte);
                }
            }
        }
        ::close(fd);
        if (failed)
            state.SkipWithError("a bare pread or pwrite failed");
        labelAccesses(state, count);
    });
    benchmark::RegisterBenchmark((prefix + "stores").c_str(), [=](benchmark::State &state) {
        for (auto _ : state)
            for (const Access &access : accesses)
                gStoreTarget[access.offset] = access.byte;
        labelAccesses(state, count);
    });
}

void registerLocate()
{
    benchmark::RegisterBenchmark("locate/simulated_locator", [](benchmark::State &state) {
        const auto window = afterStartUp();
        CountingPort port;
        hardware::SimulatedLocator locator;
        for (auto _ : state)
            window->run(panels::Operation::LocateCard, port, locator);
        labelAccesses(state, 0);
    });
    benchmark::RegisterBenchmark("locate/pci_locator", [](benchmark::State &state) {
        const auto window = afterStartUp();
        CountingPort port;
        hardware::PciLocator locator(barFile().cards());
        for (auto _ : state)
            window->run(panels::Operation::LocateCard, port, locator);
        labelAccesses(state, 0);
    });
}

// What each operation on a real card adds for the other programs on it: the card's lock taken
// and given back, as PciPortAccess does it, on the stand-in file.
void registerLock()
{
    benchmark::RegisterBenchmark("lock/take_and_give_back", [](benchmark::State &state) {
        hardware::PosixSysIo io;
        const int fd = ::open(barFile().path().c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the stand-in resource file");
            return;
        }
        bool failed = false;
        for (auto _ : state) {
            failed |= !io.lockExclusive(fd, hardware::PciPortAccess::kLockWait).ok();
            failed |= !io.unlock(fd).ok();
        }
        ::close(fd);
        if (failed)
            state.SkipWithError("the lock could not be taken or given back");
    });
}

void registerParseNumber()
{
    // How the boxes read: hexadecimal boxes with "&H" in front, the dividers as they are.
    static const std::array<std::pair<const char *, const char *>, 6> texts {{
        {"hex_base", "&HE000"},
        {"hex_starting_base", "&HE00d"},
        {"hex_byte", "&H00"},
        {"hex_da", "&H0"},
        {"decimal_k", "1000"},
        {"decimal_n", "10"},
    }};
    for (const auto &[name, text] : texts) {
        const std::string_view view = text;
        benchmark::RegisterBenchmark((std::string("ParseNumber/") + name).c_str(),
                                     [view](benchmark::State &state) {
                                         for (auto _ : state) {
                                             std::string_view input = view;
                                             benchmark::DoNotOptimize(input);
                                             benchmark::DoNotOptimize(convert::ParseNumber(input));
                                         }
                                         state.SetLabel(std::string(view));
                                     });
    }
}

// Keeps the console output and remembers each benchmark's real time per iteration: the median
// of its repetitions when there are several.
class SummaryReporter final : public benchmark::ConsoleReporter
{
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const double ns = run.GetAdjustedRealTime()
                * (run.time_unit == benchmark::kNanosecond        ? 1.0
                       : run.time_unit == benchmark::kMicrosecond ? 1e3
                       : run.time_unit == benchmark::kMillisecond ? 1e6
                                                                  : 1e9);
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median")
                    medians_[name] = ns;
            } else {
                samples_[name].push_back(ns);
            }
        }
    }

    std::optional<double> ns(const std::string &name) const
    {
        if (const auto found = medians_.find(name); found != medians_.end())
            return found->second;
        const auto found = samples_.find(name);
        if (found == samples_.end() || found->second.empty())
            return std::nullopt;
        std::vector<double> sorted = found->second;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }

private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::vector<double>> samples_;
};

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

std::string figure(double ns)
{
    if (std::isnan(ns))
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, ns < 10 ? "%.2f ns" : ns < 1000 ? "%.1f ns" : "%.0f ns", ns);
    return text;
}

const char *verdict(double ratio, double target)
{
    return std::isnan(ratio) ? "-" : ratio <= target ? "met" : "MISSED";
}

void printSummary(const SummaryReporter &results)
{
    const auto ns = [&](const std::string &name) {
        return results.ns(name).value_or(kMissing);
    };

    std::printf("\nOwn work (through the counting port) against the bus time of its accesses at "
                "%.0f ns each; target: at most %.0f%% of it\n",
                kBusAccessNs, kOwnWorkShare * 100);
    std::printf("%-16s %8s %12s %12s %10s %8s %8s %12s %12s\n", "operation", "accesses", "own work",
                "bus time", "own/bus", "target", "", "simulated", "stores");
    for (const Operation &operation : operations()) {
        const std::string name = operation.name;
        const std::size_t accesses = accessesOf(operation).size();
        const double bus = static_cast<double>(accesses) * kBusAccessNs;
        const double own = ns(name + "/counting");
        std::printf("%-16s %8zu %12s %12s %9.2f%% %7.0f%% %8s %12s %12s\n", operation.title,
                    accesses, figure(own).c_str(), figure(bus).c_str(), own / bus * 100,
                    kOwnWorkShare * 100, verdict(own / bus, kOwnWorkShare),
                    figure(ns(name + "/simulated")).c_str(), figure(ns(name + "/stores")).c_str());
    }
    std::printf("%-16s %8d %12s %12s   (simulated locator; %s with the PCI locator)\n", "locate", 0,
                figure(ns("locate/simulated_locator")).c_str(), "-",
                figure(ns("locate/pci_locator")).c_str());

    const double lock = ns("lock/take_and_give_back");
    std::printf("\nThe card's lock, taken and given back once per operation: %s against one bus "
                "access (%.0f ns); target: at most that: %s\n",
                figure(lock).c_str(), kBusAccessNs, verdict(lock / kBusAccessNs, 1.0));
    std::printf("\nReal-card backend on an ordinary file, its operation's lock aside: cost per "
                "access against a bare one-byte pread/pwrite on it; target: at most %.1f times\n",
                kBackendPerAccess);
    std::printf("%-16s %8s %14s %14s %8s %8s %8s\n", "operation", "accesses", "backend/access",
                "bare/access", "ratio", "target", "");
    for (const Operation &operation : operations()) {
        const std::string name = operation.name;
        const double accesses = static_cast<double>(accessesOf(operation).size());
        const double backend = ns(name + "/pci_file") - lock;
        const double bare = ns(name + "/bare_io");
        std::printf("%-16s %8.0f %14s %14s %8.3f %8.1f %8s\n", operation.title, accesses,
                    figure(backend / accesses).c_str(), figure(bare / accesses).c_str(),
                    backend / bare, kBackendPerAccess, verdict(backend / bare, kBackendPerAccess));
    }
    std::printf("\n(Medians of the repetitions, real time.)\n");
}

} // namespace

int main(int argc, char *argv[])
{
    for (const Operation &operation : operations())
        registerOperation(operation);
    registerLocate();
    registerLock();
    registerParseNumber();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                     : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout.flush();
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
