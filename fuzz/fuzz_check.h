#pragma once

// What the fuzz targets share: a property check that stops the run with a message, and the
// outcome of a conversion (its value, or the run-time error it failed with).

#include "runtime_error.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace qm5083::fuzz {

// libFuzzer saves the input that reached an abort, so a failed property is found again with it.
[[noreturn]] inline void fail(const char *property, std::string_view input)
{
    std::fprintf(stderr, "property failed: %s\ninput: \"", property);
    for (const char c : input) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\')
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02X", u);
    }
    std::fprintf(stderr, "\"\n");
    std::abort();
}

#define QM5083_CHECK(condition, input) \
    do { \
        if (!(condition)) \
            ::qm5083::fuzz::fail(#condition, (input)); \
    } while (false)

// A conversion either gives a value or fails with a run-time error; any other exception is a
// fault and escapes, which libFuzzer reports as a crash.
template<class T>
struct Outcome
{
    std::optional<T> value;
    std::optional<convert::ErrorNumber> error;

    bool operator==(const Outcome &) const = default;
};

template<class F>
auto outcomeOf(F &&convert) -> Outcome<decltype(convert())>
{
    try {
        return {convert(), std::nullopt};
    } catch (const convert::RuntimeError &e) {
        return {std::nullopt, e.number()};
    }
}

inline std::string_view textOf(const std::uint8_t *data, std::size_t size)
{
    return {reinterpret_cast<const char *>(data), size};
}

} // namespace qm5083::fuzz
