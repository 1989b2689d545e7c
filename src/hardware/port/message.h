#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

// Marks an English message text for the translation tools (lupdate reads it as
// QT_TRANSLATE_NOOP); the program uses the text as it stands.
#define QM5083_MESSAGE(context, text) text

namespace qm5083::hardware {

// A message for the operator: an English text with %1, %2... where values go, and the values,
// each a plain value (a port, a path, a number) or a message of its own. The window shows it in
// the user's language; exceptions carry the English.
class Message
{
public:
    // Translates an English text marked with QM5083_MESSAGE("Card", ...).
    using Translate = std::function<std::string(const char *english)>;

    Message(const char *text, std::vector<Message> args = {});
    static Message value(std::string text);
    // The parts one after another, with ", " between them.
    static Message list(std::vector<Message> parts);

    std::string english() const;
    std::string render(const Translate &translate) const;

private:
    Message() = default;

    const char *text_ = nullptr; // null for a plain value or a list
    bool list_ = false;
    std::string value_;
    std::vector<Message> args_;
};

// An exception whose message an operator can be shown in their language.
class Explained
{
public:
    virtual ~Explained() = default;
    virtual const Message &message() const = 0;

protected:
    Explained() = default;
    Explained(const Explained &) = default;
    Explained &operator=(const Explained &) = default;
};

// The one way to declare an error that carries a Message: a standard exception (what() is the
// English) that is also Explained, Base's own arguments following the message. A new kind is
//   class InvalidThing : public ExplainedAs<std::invalid_argument> { ... };
template<class Base>
class ExplainedAs : public Base, public Explained
{
public:
    template<class... BaseArgs>
    explicit ExplainedAs(Message message, BaseArgs &&...baseArgs)
        : Base(std::forward<BaseArgs>(baseArgs)..., message.english())
        , message_(std::move(message))
    { }
    const Message &message() const override { return message_; }

private:
    Message message_;
};

// A failure with no errno behind it, such as a card that cannot be used.
using ExplainedError = ExplainedAs<std::runtime_error>;

// A failure of the card's files or the kernel, with the errno it came with and what it is about
// (the card's file), which is the same for every port that fails for one cause.
class PortError : public ExplainedAs<std::system_error>
{
public:
    PortError(std::string subject, int error, Message message)
        : ExplainedAs(std::move(message), error, std::generic_category())
        , subject_(std::move(subject))
    { }
    const std::string &subject() const { return subject_; }

private:
    std::string subject_;
};

} // namespace qm5083::hardware
