#pragma once

#include "card_locator.h"
#include "panel_operations.h"
#include "support/recording_port.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::testing {

// A locator with a list of cards that remembers which numbers it was asked for.
class ListLocator final : public hardware::CardLocator
{
public:
    struct Card
    {
        std::int16_t number;
        std::uint16_t base;
    };
    std::vector<Card> cards;
    std::vector<std::int16_t> asked;

    std::optional<std::uint16_t> findCard(std::int16_t cardNumber) override
    {
        asked.push_back(cardNumber);
        for (const Card &card : cards)
            if (card.number == cardNumber)
                return card.base;
        return std::nullopt;
    }
};

// The panels' text boxes without a window, holding the texts the window starts with, with
// IOBase, the input monitor, a recording port and a locator: the operations run as the window
// runs them.
class PanelHarness
{
public:
    PanelHarness();
    PanelHarness(const PanelHarness &) = delete;
    PanelHarness &operator=(const PanelHarness &) = delete;

    void type(std::string_view box, std::string_view text) { at(box).setText(text); }
    std::string text(std::string_view box) { return at(box).text(); }
    void run(panels::Operation operation);

    panels::StoredBase IOBase;
    panels::InputMonitor monitor;
    RecordingPort port;
    ListLocator locator;

private:
    panels::PlainTextBox &at(std::string_view box);

    std::map<std::string, panels::PlainTextBox, std::less<>> boxes_;
    panels::PanelBoxes panelBoxes_;
};

} // namespace qm5083::testing
