#include "pci_id.h"

#include "hex_text.h"

#include <fstream>
#include <system_error>

namespace qm5083::hardware {

namespace {

int parseHexId(std::string_view digits)
{
    if (digits.size() != 4) // as lspci -nn shows them: 1234:0567, never 1234:567
        return -1;
    int value = 0;
    for (const char c : digits) {
        const int digit = convert::hexDigitValue(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

PciId parsePciId(std::string_view text)
{
    const auto bad = [&] {
        return InvalidPciId(
            Message(QM5083_MESSAGE("Card",
                                   "--pci-id \"%1\" is not VVVV:DDDD or VVVV:DDDD:BAR "
                                   "(vendor and device id, four hex digits each as lspci -nn "
                                   "shows them, BAR 0 to 5)"),
                    {Message::value(std::string(text))}));
    };
    const auto first = text.find(':');
    if (first == std::string_view::npos)
        throw bad();
    const auto second = text.find(':', first + 1);
    const int vendor = parseHexId(text.substr(0, first));
    const int device = parseHexId(text.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
    if (vendor < 0 || device < 0)
        throw bad();
    PciId id {static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(device), {}};
    if (second != std::string_view::npos) {
        const std::string_view bar = text.substr(second + 1);
        if (bar.size() != 1 || bar[0] < '0' || bar[0] >= '0' + kPciBarCount)
            throw bad();
        id.bar = bar[0] - '0';
    }
    return id;
}

std::string formatPciIds(std::uint16_t vendor, std::uint16_t device)
{
    return convert::hex4(vendor) + ":" + convert::hex4(device);
}

std::string formatPciId(const PciId &id)
{
    std::string text = formatPciIds(id.vendor, id.device);
    if (id.bar)
        text.append(":").append(std::to_string(*id.bar));
    return text;
}

std::optional<std::vector<PciId>> readCardsConfig(const std::filesystem::path &file)
{
    std::error_code missing;
    if (!std::filesystem::exists(file, missing))
        return std::nullopt;
    std::ifstream in(file);
    if (!in)
        throw InvalidPciId(Message(QM5083_MESSAGE("Card", "the card set-up %1 cannot be read"),
                                   {Message::value(file.string())}));
    std::vector<PciId> ids;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string_view text(line);
        text = text.substr(0, text.find('#'));
        const auto first = text.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            continue;
        text = text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
        try {
            ids.push_back(parsePciId(text));
        } catch (const InvalidPciId &) {
            throw InvalidPciId(
                Message(QM5083_MESSAGE("Card",
                                       "%1, line %2: \"%3\" is not VVVV:DDDD or "
                                       "VVVV:DDDD:BAR (vendor and device id, four hex "
                                       "digits each as lspci -nn shows them, BAR 0 to 5); "
                                       "correct it, or set the cards up again with sudo "
                                       "qm5083-bench --setup"),
                        {Message::value(file.string()), Message::value(std::to_string(number)),
                         Message::value(std::string(text))}));
        }
    }
    return ids;
}

std::string cardsConfigText(const std::vector<PciId> &ids)
{
    std::string text
        = "# The qm5083 cards qm5083-bench works on when started without --pci-id,\n"
          "# one VVVV:DDDD[:BAR] a line, as lspci -nn shows the ids. Written by\n"
          "# qm5083-bench --setup; the udev rule gives group qm5083 access to these.\n";
    for (const PciId &id : ids)
        text += formatPciId(id) + "\n";
    return text;
}

std::string formatPciIds(const std::vector<PciId> &ids)
{
    std::string text;
    for (const PciId &id : ids)
        text += (text.empty() ? "" : ", ") + formatPciIds(id.vendor, id.device);
    return text;
}

} // namespace qm5083::hardware
