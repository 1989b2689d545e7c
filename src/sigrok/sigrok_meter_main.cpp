// qm5083-sigrok-meter: reads a multimeter through libsigrok for the DA check, in a process of its
// own, so that a meter that hangs in the middle of an exchange (a blocking read on a connection
// the meter stopped answering) costs this process, never the program holding the card: the
// program stops waiting after its timeout and kills it.
//
//   qm5083-sigrok-meter --drivers        the multimeter drivers, one a line
//   qm5083-sigrok-meter DRIVER[:KEY=VALUE]...
//       scans with the driver's options, opens the first meter found and answers:
//         meter <field> <value>   (driver, vendor, model, serial, version, connection)
//         ready
//       then, for each line "read" on standard input, one line:
//         volts <reading>         a DC voltage
//         error <kind> <detail>   anything else; the meter is still open
//       and ends at the end of standard input. A meter that cannot be opened: one line
//       "error <kind> <detail>" and exit status 2.
//   The kinds, which the program words in its own language (the details are libsigrok's):
//     driver DRIVER      no such multimeter driver
//     option KEY         the driver takes no such scan option
//     value KEY=VALUE    the option's value is not one of the driver's
//     none MESSAGE       no meter answered the scan
//     function WHAT      the meter measures WHAT (such as "AC voltage"), not DC voltage
//     overload           the meter reads overload
//     silent MESSAGE     the acquisition ended without a reading
//     library MESSAGE    libsigrok refused (its own words)
//     address WHY           the naming itself is wrong

#include "meter_address.h"

#include <libsigrokcxx/libsigrokcxx.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace {

using namespace qm5083::sigrok;

// One line of this helper's answer: control characters become '?', so a meter's name can
// never end a line or start another.
void answer(const std::string &word, const std::string &text)
{
    std::string line = word + ' ' + printable(text);
    std::fputs((line + '\n').c_str(), stdout);
    std::fflush(stdout);
}

// libsigrok's last warning or error, which says what went wrong better than a return code.
std::string lastProblem;

std::shared_ptr<sigrok::Context> context()
{
    auto context = sigrok::Context::create();
    context->set_log_callback([](const sigrok::LogLevel *level, std::string message) {
        if (level->id() <= sigrok::LogLevel::WARN->id())
            lastProblem = std::move(message);
    });
    return context;
}

bool isMultimeter(const std::shared_ptr<sigrok::Driver> &driver)
{
    try {
        const auto keys = driver->config_keys();
        return keys.count(sigrok::ConfigKey::MULTIMETER) != 0;
    } catch (const sigrok::Error &) {
        return false;
    }
}

// One reading: an acquisition of one sample. What the packet carries decides whether it is a DC
// voltage.
class Reader
{
public:
    Reader(std::shared_ptr<sigrok::Context> context, std::shared_ptr<sigrok::HardwareDevice> meter)
        : context_(std::move(context))
        , meter_(std::move(meter))
    {
        meter_->open();
        if (meter_->config_check(sigrok::ConfigKey::LIMIT_SAMPLES, sigrok::Capability::SET))
            meter_->config_set(sigrok::ConfigKey::LIMIT_SAMPLES, Glib::Variant<guint64>::create(1));
        session_ = context_->create_session();
        session_->add_device(meter_);
        session_->add_datafeed_callback(
            [this](const std::shared_ptr<sigrok::Device> &,
                   const std::shared_ptr<sigrok::Packet> &packet) { take(packet); });
    }

    ~Reader()
    {
        try {
            session_->remove_devices();
            meter_->close();
        } catch (const sigrok::Error &) {
            // closing a meter that went away: nothing left to do
        }
    }

    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    void read()
    {
        reading_.reset();
        problem_.clear();
        lastProblem.clear();
        try {
            session_->start();
            session_->run();
        } catch (const sigrok::Error &error) {
            return answer("error", std::string("library ") + error.what());
        }
        if (reading_)
            return answer("volts", number(*reading_, single_));
        if (!problem_.empty())
            return answer("error", problem_);
        answer("error", "silent " + lastProblem);
    }

private:
    void take(const std::shared_ptr<sigrok::Packet> &packet)
    {
        if (packet->type() != sigrok::PacketType::ANALOG || reading_ || !problem_.empty())
            return;
        const auto analog = std::dynamic_pointer_cast<sigrok::Analog>(packet->payload());
        if (!analog || analog->num_samples() < 1)
            return;
        bool dc = false;
        bool ac = false;
        for (const sigrok::QuantityFlag *flag : analog->mq_flags()) {
            dc = dc || flag == sigrok::QuantityFlag::DC;
            ac = ac || flag == sigrok::QuantityFlag::AC;
        }
        std::string quantity = analog->mq()->name();
        std::transform(quantity.begin(), quantity.end(), quantity.begin(),
                       [](unsigned char c) { return c == '_' ? ' ' : std::tolower(c); });
        const std::string other = qm5083::sigrok::otherFunction(
            quantity,
            analog->mq() == sigrok::Quantity::VOLTAGE && analog->unit() == sigrok::Unit::VOLT, dc,
            ac);
        if (!other.empty()) {
            problem_ = "function " + other;
            return;
        }
        double value = 0;
        if (analog->is_float() && analog->unitsize() == sizeof(double)) {
            // a meter of more than six digits: keep them all
            const auto *data = static_cast<const double *>(analog->data_pointer());
            value = data[0];
            single_ = false;
        } else {
            std::vector<float> data(analog->num_samples());
            analog->get_data_as_float(data.data());
            value = data[0];
            single_ = true;
        }
        if (!std::isfinite(value))
            problem_ = "overload";
        else
            reading_ = value;
    }

    // A double keeps every digit; a float (what libsigrok uses for meters of up to six
    // digits) is shown with the seven that take it back to the meter's own decimal figure.
    static std::string number(double value, bool single)
    {
        char text[32];
        std::snprintf(text, sizeof text, single ? "%.7g" : "%.17g", value);
        return text;
    }

    std::shared_ptr<sigrok::Context> context_;
    std::shared_ptr<sigrok::HardwareDevice> meter_;
    std::shared_ptr<sigrok::Session> session_;
    std::optional<double> reading_;
    bool single_ = false;
    std::string problem_;
};

int listDrivers()
{
    for (const auto &[name, driver] : context()->drivers())
        if (isMultimeter(driver))
            std::printf("%s\n", name.c_str());
    return 0;
}

int serve(const std::string &addressText)
{
    MeterAddress address;
    try {
        address = parseMeterAddress(addressText);
    } catch (const AddressRefused &refused) {
        throw AddressRefused {"address " + refused.why};
    }
    auto sigrokContext = context();
    const auto drivers = sigrokContext->drivers();
    const auto found = drivers.find(address.driver);
    if (found == drivers.end() || !isMultimeter(found->second))
        throw AddressRefused {"driver " + address.driver};
    const std::shared_ptr<sigrok::Driver> driver = found->second;
    std::map<const sigrok::ConfigKey *, Glib::VariantBase> options;
    const auto scanOptions = driver->scan_options();
    for (const auto &[key, value] : address.options) {
        const sigrok::ConfigKey *configKey = nullptr;
        try {
            configKey = sigrok::ConfigKey::get_by_identifier(key);
        } catch (const sigrok::Error &) { }
        if (!configKey || !scanOptions.count(configKey))
            throw AddressRefused {"option " + key};
        try {
            options[configKey] = configKey->parse_string(value);
        } catch (const std::exception &) {
            throw AddressRefused {std::string("value ").append(key).append("=").append(value)};
        }
    }
    const auto meters = driver->scan(options);
    if (meters.empty())
        throw AddressRefused {"none " + lastProblem};
    const std::shared_ptr<sigrok::HardwareDevice> &meter = meters.front();
    Reader reader(sigrokContext, meter);
    answer("meter", "driver " + address.driver);
    answer("meter", "vendor " + meter->vendor());
    answer("meter", "model " + meter->model());
    answer("meter", "serial " + meter->serial_number());
    answer("meter", "version " + meter->version());
    answer("meter", "connection " + meter->connection_id());
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "read")
            reader.read();
        else
            answer("error", "address this helper reads on \"read\" alone");
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: qm5083-sigrok-meter --drivers | DRIVER[:KEY=VALUE]...\n", stderr);
        return 2;
    }
    const std::string argument = argv[1];
    try {
        if (argument == "--drivers")
            return listDrivers();
        return serve(argument);
    } catch (const AddressRefused &refused) {
        answer("error", refused.why);
    } catch (const std::exception &error) {
        answer("error", std::string("library ") + error.what());
    }
    return 2;
}
