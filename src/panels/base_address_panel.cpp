#include "base_address_panel.h"

#include "field.h"
#include "parse_number.h"
#include "value.h"

namespace qm5083::panels {

bool locateCard(const TextBox &txtCardNo, TextBox &txtIOBase, StoredBase &IOBase,
                hardware::CardLocator &locator)
{
    const std::string cardText = txtCardNo.text();
    const std::int16_t card
        = convertField(txtCardNo, cardText, [&] { return convert::TextToInt16(cardText); });
    try {
        // The stored base is handed over as a 16-bit number; one beyond fails here.
        convert::ToInt16(IOBase.value());
    } catch (convert::RuntimeError &error) {
        error.setStoredBase(convert::ToDouble(IOBase.value()), -1);
        throw;
    }
    const std::optional<std::uint16_t> found = locator.findCard(card);
    // A card not found leaves 0, so the panels never take another card's base for this one's.
    const auto base = found ? static_cast<std::int16_t>(*found) : std::int16_t {0};
    IOBase.store(base);
    txtIOBase.setText(found ? convert::FormatHex(base) : "NO");
    return found.has_value();
}

} // namespace qm5083::panels
