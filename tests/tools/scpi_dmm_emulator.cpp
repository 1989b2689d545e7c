// An emulated SCPI bench multimeter on the loopback address, for testing the DA check against
// libsigrok's own SCPI multimeter driver (scpi-dmm) as it would talk to a meter on the network.
// It answers as the model that driver knows, reading the DA output of a simulated card (the
// state the simulated cards keep between programs) plus the noise asked for.
//
//   scpi-dmm-emulator --port-file FILE --channel C --range LOW:HIGH [options]
//     --card K            the simulated card (1)
//     --lsb fs            HIGH is code FFF's output; by default code FFF is one LSB below it
//     --noise VOLTS       standard deviation of Gaussian noise added to each reading (0)
//     --seed N            the noise's seed (1)
//     --function F        what CONF? says the meter measures (VOLT, the DC voltage function)
//     --silent-after N    after N readings, READ? is never answered (the connection stays)
//     --close-after N     after N readings, the connection is closed at the next READ?
//     --sim-fault FAULT   a fault of the simulated card's DA output, as --sim-fault gives it to
//                         the program: faults are each program's own wiring (repeatable)
//
// The port it listens on is written to FILE once it listens. It serves one connection at a
// time until killed.

#include "simulated_bus.h"
#include "simulated_locator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace qm5083::hardware;

struct Settings
{
    std::string portFile;
    int card = 1;
    int channel = 0;
    double low = 0;
    double high = 0;
    bool fullScaleSpan = false;
    double noise = 0;
    unsigned seed = 1;
    std::string function = "VOLT";
    long silentAfter = -1;
    long closeAfter = -1;
    std::vector<SimulatedFault> faults;
};

[[noreturn]] void usage(const char *why)
{
    std::fprintf(stderr, "scpi-dmm-emulator: %s\n", why);
    std::exit(2);
}

Settings settingsFrom(int argc, char **argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc)
            usage("every option takes a value");
        const std::string value = argv[++i];
        if (option == "--port-file")
            settings.portFile = value;
        else if (option == "--card")
            settings.card = std::stoi(value);
        else if (option == "--channel")
            settings.channel = std::stoi(value);
        else if (option == "--range") {
            const std::size_t colon = value.find(':', 1);
            if (colon == std::string::npos)
                usage("--range LOW:HIGH");
            settings.low = std::stod(value.substr(0, colon));
            settings.high = std::stod(value.substr(colon + 1));
        } else if (option == "--lsb")
            settings.fullScaleSpan = value == "fs";
        else if (option == "--noise")
            settings.noise = std::stod(value);
        else if (option == "--seed")
            settings.seed = static_cast<unsigned>(std::stoul(value));
        else if (option == "--function")
            settings.function = value;
        else if (option == "--silent-after")
            settings.silentAfter = std::stol(value);
        else if (option == "--close-after")
            settings.closeAfter = std::stol(value);
        else if (option == "--sim-fault")
            settings.faults.push_back(parseSimulatedFault(value));
        else
            usage("unknown option");
    }
    if (settings.portFile.empty() || settings.low == settings.high)
        usage("--port-file and --range are needed");
    return settings;
}

class Meter
{
public:
    explicit Meter(const Settings &settings)
        : settings_(settings)
        , random_(settings.seed)
        , noise_(0.0, settings.noise)
    { }

    // The simulated card's output now, as its state was kept by the program that last set it.
    double volts()
    {
        SimulatedBus::Settings kept;
        kept.cards = settings_.card;
        kept.faults = settings_.faults;
        SimulatedBus bus(kept);
        bus.beginOperation();
        bus.inportb(simulatedCardBase(settings_.card)); // takes the card's kept state up
        bus.endOperation();
        const double span = settings_.high - settings_.low;
        const double atTop
            = settings_.fullScaleSpan ? settings_.high : settings_.low + span * 4095.0 / 4096.0;
        const double output
            = bus.card(settings_.card)->daVolts(settings_.channel, settings_.low, atTop);
        return settings_.noise > 0 ? output + noise_(random_) : output;
    }

    // One command's answer, or none for a command that has none.
    std::optional<std::string> answer(const std::string &command)
    {
        if (command == "*IDN?")
            return "Agilent Technologies,34405A,EMULATED-0001,1.00-1.00";
        if (command == "*OPC?")
            return "1";
        if (command == "CONF?")
            return "\"" + settings_.function + " +1.000000E+01,+1.000000E-04\"";
        if (command == "READ?" || command == "MEAS?") {
            char text[32];
            std::snprintf(text, sizeof text, "%+.6E", volts());
            return text;
        }
        if (command.starts_with("CONF:"))
            settings_.function = command.substr(5) == "VOLT:DC" ? "VOLT" : command.substr(5);
        return std::nullopt; // MEAS, ABORT, *RST and the like
    }

    long readings = 0;

private:
    Settings settings_;
    std::mt19937 random_;
    std::normal_distribution<double> noise_;
};

// Serves one connection until the client or the emulated fault closes it.
void serve(int connection, Meter &meter, const Settings &settings)
{
    const int one = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string pending;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        // Acknowledged at once, as a meter's network interface does: without it every command
        // that has no answer waits out the loopback's delayed acknowledgement.
        ::setsockopt(connection, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string command = pending.substr(0, end);
            pending.erase(0, end + 1);
            while (!command.empty() && (command.back() == '\r' || command.back() == ' '))
                command.pop_back();
            if (command == "READ?") {
                if (settings.closeAfter >= 0 && meter.readings >= settings.closeAfter)
                    return;
                if (settings.silentAfter >= 0 && meter.readings >= settings.silentAfter)
                    continue;
                ++meter.readings;
            }
            if (const auto reply = meter.answer(command)) {
                const std::string line = *reply + "\n";
                if (::send(connection, line.data(), line.size(), MSG_NOSIGNAL) < 0)
                    return;
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    const Settings settings = settingsFrom(argc, argv);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(listener, 4) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("scpi-dmm-emulator: listen");
        return 1;
    }
    {
        const std::string temporary = settings.portFile + ".new";
        std::ofstream(temporary) << ntohs(address.sin_port) << '\n';
        std::rename(temporary.c_str(), settings.portFile.c_str());
    }
    Meter meter(settings);
    for (;;) {
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        serve(connection, meter, settings);
        ::close(connection);
    }
}
