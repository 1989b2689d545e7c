#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qm5083::convert {

// The run-time error numbers an operator sees in an error report.
enum class ErrorNumber : int {
    Overflow = 6,
    TypeMismatch = 13,
};

// "Overflow", "Type mismatch": the description that follows the number in a report.
std::string_view errorDescription(ErrorNumber number);

// What held the text that failed: a text box, or the stored base plus a register offset.
enum class ErrorSource { Unknown, TextBox, StoredBase };

// A failed conversion. It carries the error number and, once a panel knows it, the text box
// (or stored value) whose text failed, so the report can point the operator at the field.
class RuntimeError : public std::runtime_error
{
public:
    explicit RuntimeError(ErrorNumber number);

    ErrorNumber number() const { return number_; }

    // Where the failing text came from: the box's name ("txtOutput2") or "IOBase + 1", with
    // the text or value that failed.
    ErrorSource sourceKind() const { return sourceKind_; }
    const std::string &source() const { return source_; }
    const std::string &sourceText() const { return sourceText_; }
    void setSource(ErrorSource kind, std::string source, std::string text);

    // For a failure in the stored base: its value and the register offset added to it (-1 when
    // none was).
    double storedBase() const { return storedBase_; }
    int storedOffset() const { return storedOffset_; }
    void setStoredBase(double base, int offset);

private:
    ErrorNumber number_;
    ErrorSource sourceKind_ = ErrorSource::Unknown;
    std::string source_;
    std::string sourceText_;
    double storedBase_ = 0;
    int storedOffset_ = -1;
};

[[noreturn]] void throwOverflow();
[[noreturn]] void throwTypeMismatch();

} // namespace qm5083::convert
