#pragma once

// Text that comes from outside the program (a file's line, a line typed or piped in, another
// program's command line): how much of it is read, and how it is shown.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace qm5083::convert {

// The longest line read from standard input, a card set-up or a readings file. No line the
// program understands comes near it; a longer one is refused, never kept whole.
inline constexpr std::size_t kMaxLineBytes = 4096;

// The text with every control character shown as an escape (\x1B, \n, \x7F) and each C1 control
// (U+0080 to U+009F, which terminals obey too) as \u0085; everything else as it is. What a
// terminal shows of it is exactly its characters.
std::string escapeControls(std::string_view text);

// The first characters of a text that was refused, escaped, with "…" when more followed: how a
// refusal quotes a line that may be long or hold anything.
std::string excerpt(std::string_view text, std::size_t characters = 40);

// The first control character in a line, other than a tab and a carriage return at its end: its
// bytes as the line holds them (one, or two for a C1 control in UTF-8), for escapeControls.
std::optional<std::string> firstControl(std::string_view line);

// One line of a stream, read without ever holding more than limit bytes of it.
struct BoundedLine
{
    std::string text;      // its first limit bytes at most, without the line's end
    bool tooLong = false;  // there was more, which is skipped up to the line's end
    std::size_t bytes = 0; // how long the line was
};

// The next line of in, or nothing at its end (or when a read was cut short by a signal).
std::optional<BoundedLine> readBoundedLine(std::istream &in, std::size_t limit = kMaxLineBytes);

} // namespace qm5083::convert
