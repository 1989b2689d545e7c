#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm5083::hardware {

// Finds a card's I/O base address from its card number.
class CardLocator
{
public:
    virtual ~CardLocator() = default;

    // The base of the card numbered cardNumber, or nothing when there is no such card. Throws
    // when the card exists but cannot be used, since any other answer would send the panels to
    // ports that are not its registers.
    virtual std::optional<std::uint16_t> findCard(std::int16_t cardNumber) = 0;

    // The numbers of the cards there are, for telling an operator which exist.
    virtual std::vector<std::int16_t> cardNumbers() const = 0;

    // Where the card numbered cardNumber sits, as a technician finds it, or nothing when the
    // locator cannot tell.
    struct Place
    {
        std::string address;               // "0000:03:00.0"
        std::string ids;                   // "1234:5678"
        int bar = -1;                      // the BAR that holds its registers
        std::optional<std::uint16_t> base; // its base, when its BAR can be used
    };
    virtual std::optional<Place> place(std::int16_t cardNumber) const
    {
        (void)cardNumber;
        return std::nullopt;
    }

protected:
    CardLocator() = default;
    CardLocator(const CardLocator &) = default;
    CardLocator &operator=(const CardLocator &) = default;
};

} // namespace qm5083::hardware
