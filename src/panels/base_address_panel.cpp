#include "base_address_panel.h"

#include "convert/parse_number.h"
#include "convert/value.h"
#include "field.h"

namespace qm5083::panels {

void cmdIOBase_Click(const TextBox &txtCardNo, TextBox &txtIOBase, StoredBase &IOBase,
                     hardware::CardLocator &locator)
{
    const std::string cardText = txtCardNo.text();
    const std::int16_t card
        = convertField(txtCardNo, cardText, [&] { return convert::TextToInt16(cardText); });
    std::int16_t io = 0;
    try {
        io = convert::ToInt16(IOBase.value());
    } catch (convert::RuntimeError &error) {
        error.setSource(convert::ErrorSource::StoredBase, "IOBase",
                        convert::Describe(IOBase.value()));
        throw;
    }
    std::int32_t extra = 0;
    const std::int32_t found = locator.GetIOBaseByCardNo(card, io, extra);
    IOBase.store(io);
    txtIOBase.setText(found != 0 ? convert::FormatHex(io) : "NO");
}

} // namespace qm5083::panels
