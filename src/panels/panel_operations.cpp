#include "panel_operations.h"

#include <algorithm>

namespace qm5083::panels {

std::string operationTitle(const PanelLayout &panel)
{
    std::string title(panel.frame.text);
    const auto button = std::find_if(
        panel.controls.begin(), panel.controls.end(),
        [](const ControlLayout &control) { return control.kind == ControlKind::Button; });
    if (button != panel.controls.end())
        title.append(" ").append(button->text);
    return title;
}

const PanelLayout *panelRunning(Operation operation)
{
    for (const PanelLayout *panel : kPanels)
        if (panel->operation == operation)
            return panel;
    return nullptr;
}

PanelBoxes findPanelBoxes(const std::function<TextBox &(std::string_view name)> &find)
{
    PanelBoxes boxes;
    boxes.cardNumber = &find(kCardNumberBox);
    boxes.baseAddress = &find(kBaseAddressBox);
    for (std::size_t i = 0; i < 4; ++i) {
        boxes.outputs[i] = &find(kOutputBoxes[i]);
        boxes.inputs[i] = &find(kInputBoxes[i]);
        boxes.daCodes[i] = &find(kDaBoxes[i]);
    }
    boxes.baseDivider = &find(kBaseDividerBox);
    boxes.outputDivider = &find(kOutputDividerBox);
    return boxes;
}

void runPanelOperation(Operation operation, const PanelBoxes &boxes, OperationContext &context)
{
    const hardware::OperationScope scope(context.port);
    switch (operation) {
    case Operation::LocateCard:
        // Without a card there is nothing to read: the "NO" shown says why.
        if (!locateCard(*boxes.cardNumber, *boxes.baseAddress, context.IOBase, context.locator))
            context.monitor.hold(context.IOBase);
        return;
    case Operation::WriteDigitalOutputs:
        return writeDigitalOutputs(*boxes.baseAddress, boxes.outputs, context.IOBase, context.port);
    case Operation::ReadDigitalInputs:
        return context.monitor.tick(boxes.inputs, context.IOBase, context.port);
    case Operation::StartClockOutputs:
        return startClockOutputs(*boxes.baseDivider, *boxes.outputDivider, context.IOBase,
                                 context.port);
    case Operation::WriteDaCodes:
        return writeDaCodes(*boxes.baseAddress, boxes.daCodes, context.IOBase, context.port);
    case Operation::Exit:
    case Operation::None:
        return;
    }
}

class TextReadRecorder::NotingBox final : public TextBox
{
public:
    // writable is the box itself when an operation may write it, else null.
    NotingBox(const TextBox &box, TextBox *writable, std::vector<TextRead> &reads)
        : box_(box)
        , writable_(writable)
        , reads_(reads)
    { }
    std::string_view name() const override { return box_.name(); }
    std::string text() const override
    {
        std::string text = box_.text();
        reads_.emplace_back(std::string(box_.name()), text);
        return text;
    }
    void setText(std::string_view text) override
    {
        if (writable_)
            writable_->setText(text);
    }

private:
    const TextBox &box_;
    TextBox *writable_;
    std::vector<TextRead> &reads_;
};

TextReadRecorder::TextReadRecorder(const PanelBoxes &boxes)
{
    noting_.cardNumber = noting(boxes.cardNumber);
    noting_.baseAddress = noting(boxes.baseAddress);
    for (std::size_t i = 0; i < 4; ++i) {
        noting_.outputs[i] = noting(boxes.outputs[i]);
        noting_.inputs[i] = noting(boxes.inputs[i]);
        noting_.daCodes[i] = noting(boxes.daCodes[i]);
    }
    noting_.baseDivider = noting(boxes.baseDivider);
    noting_.outputDivider = noting(boxes.outputDivider);
}

TextReadRecorder::~TextReadRecorder() = default;

TextBox *TextReadRecorder::noting(TextBox *box)
{
    boxes_.push_back(std::make_unique<NotingBox>(*box, box, reads_));
    return boxes_.back().get();
}

const TextBox *TextReadRecorder::noting(const TextBox *box)
{
    boxes_.push_back(std::make_unique<NotingBox>(*box, nullptr, reads_));
    return boxes_.back().get();
}

} // namespace qm5083::panels
