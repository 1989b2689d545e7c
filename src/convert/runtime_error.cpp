#include "runtime_error.h"

#include "value.h"

namespace qm5083::convert {

std::string_view errorDescription(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::Overflow:
        return "Overflow";
    case ErrorNumber::TypeMismatch:
        return "Type mismatch";
    }
    return "Unknown error";
}

RuntimeError::RuntimeError(ErrorNumber number)
    : std::runtime_error("Run-time error " + std::to_string(static_cast<int>(number)) + ": "
                         + std::string(errorDescription(number)))
    , number_(number)
{ }

void RuntimeError::setSource(ErrorSource kind, std::string source, std::string text)
{
    sourceKind_ = kind;
    source_ = std::move(source);
    sourceText_ = std::move(text);
}

void RuntimeError::setStoredBase(double base, int offset)
{
    setSource(ErrorSource::StoredBase, offset < 0 ? "IOBase" : "IOBase + " + std::to_string(offset),
              describeValue(base) + (offset < 0 ? "" : " + " + std::to_string(offset)));
    storedBase_ = base;
    storedOffset_ = offset;
}

void throwOverflow()
{
    throw RuntimeError(ErrorNumber::Overflow);
}

void throwTypeMismatch()
{
    throw RuntimeError(ErrorNumber::TypeMismatch);
}

} // namespace qm5083::convert
