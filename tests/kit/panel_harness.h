#pragma once

#include "card_locator.h"
#include "panel_operations.h"
#include "recording_port.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::testing {

// A text box with no window behind it.
class PlainTextBox final : public panels::TextBox
{
public:
    PlainTextBox(std::string_view name, std::string_view text)
        : name_(name)
        , text_(text)
    { }
    std::string_view name() const override { return name_; }
    std::string text() const override { return text_; }
    void setText(std::string_view text) override { text_.assign(text); }

private:
    std::string name_;
    std::string text_;
};

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
    std::vector<std::int16_t> cardNumbers() const override
    {
        std::vector<std::int16_t> numbers;
        for (const Card &card : cards)
            numbers.push_back(card.number);
        return numbers;
    }
};

// The text boxes of every panel in panels::kPanels without a window, holding the texts the window
// starts with, with IOBase and the input monitor: the operations run through the window's own
// dispatch, by default on a recording port and a list locator.
class PanelHarness
{
public:
    PanelHarness();
    PanelHarness(const PanelHarness &) = delete;
    PanelHarness &operator=(const PanelHarness &) = delete;

    void type(std::string_view box, std::string_view text) { at(box).setText(text); }
    std::string text(std::string_view box) { return at(box).text(); }
    void run(panels::Operation operation) { run(operation, port, locator); }
    void run(panels::Operation operation, hardware::PortAccess &through,
             hardware::CardLocator &finding);

    panels::StoredBase IOBase;
    panels::InputMonitor monitor;
    RecordingPort port;
    ListLocator locator;

private:
    PlainTextBox &at(std::string_view box);

    std::map<std::string, PlainTextBox, std::less<>> boxes_;
    panels::PanelBoxes panelBoxes_;
};

} // namespace qm5083::testing
