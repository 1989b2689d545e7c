#include "message.h"

namespace qm5083::hardware {

Message::Message(const char *text, std::vector<Message> args)
    : text_(text)
    , args_(std::move(args))
{ }

Message Message::value(std::string text)
{
    Message message;
    message.value_ = std::move(text);
    return message;
}

Message Message::list(std::vector<Message> parts)
{
    Message message;
    message.list_ = true;
    message.args_ = std::move(parts);
    return message;
}

std::string Message::english() const
{
    return render([](const char *english) { return std::string(english); });
}

std::string Message::render(const Translate &translate) const
{
    if (list_) {
        std::string joined;
        for (const Message &part : args_)
            joined += (joined.empty() ? "" : ", ") + part.render(translate);
        return joined;
    }
    if (!text_)
        return value_;
    const std::string text = translate(text_);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < args_.size()) {
            out += args_[index].render(translate);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace qm5083::hardware
