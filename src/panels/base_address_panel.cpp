#include "base_address_panel.h"

#include "field.h"
#include "parse_number.h"
#include "value.h"

namespace qm5083::panels {

void locateCard(const TextBox &txtCardNo, TextBox &txtIOBase, StoredBase &IOBase,
                hardware::CardLocator &locator)
{
    const std::string cardText = txtCardNo.text();
    const std::int16_t card
        = convertField(txtCardNo, cardText, [&] { return convert::TextToInt16(cardText); });
    std::int16_t base = 0;
    try {
        base = convert::ToInt16(IOBase.value());
    } catch (convert::RuntimeError &error) {
        error.setStoredBase(convert::ToDouble(IOBase.value()), -1);
        throw;
    }
    const std::optional<std::uint16_t> found = locator.findCard(card);
    if (found)
        base = static_cast<std::int16_t>(*found);
    IOBase.store(base);
    txtIOBase.setText(found ? convert::FormatHex(base) : "NO");
}

} // namespace qm5083::panels
