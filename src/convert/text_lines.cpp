#include "text_lines.h"

#include <cstdio>

namespace qm5083::convert {

namespace {

bool isC0OrDelete(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// The length of the UTF-8 sequence that starts with lead, or 1 for a byte that starts none.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

std::string escapeControls(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    char escape[12];
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (isC0OrDelete(c)) {
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            shown += escape;
        } else if (c == 0xC2 && at + 1 < text.size()
                   && static_cast<unsigned char>(text[at + 1]) >= 0x80
                   && static_cast<unsigned char>(text[at + 1]) <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04X",
                          static_cast<unsigned char>(text[at + 1]));
            shown += escape;
            ++at;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string excerpt(std::string_view text, std::size_t characters)
{
    std::size_t end = 0;
    for (std::size_t count = 0; end < text.size() && count < characters; ++count)
        end += sequenceLength(static_cast<unsigned char>(text[end]));
    end = std::min(end, text.size());
    std::string shown = escapeControls(text.substr(0, end));
    if (end < text.size())
        shown += "…";
    return shown;
}

std::optional<std::string> firstControl(std::string_view line)
{
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    for (std::size_t at = 0; at < line.size(); ++at) {
        const auto c = static_cast<unsigned char>(line[at]);
        if (c != '\t' && isC0OrDelete(c))
            return std::string(1, line[at]);
        // A C1 control in UTF-8: both its bytes, so that it is shown as the character it is.
        if (c == 0xC2 && at + 1 < line.size() && static_cast<unsigned char>(line[at + 1]) >= 0x80
            && static_cast<unsigned char>(line[at + 1]) <= 0x9F)
            return std::string(line.substr(at, 2));
    }
    return std::nullopt;
}

std::optional<BoundedLine> readBoundedLine(std::istream &in, std::size_t limit)
{
    BoundedLine line;
    std::streambuf *buffer = in.rdbuf();
    if (!in.good() || !buffer)
        return std::nullopt;
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            if (!any)
                return std::nullopt;
            return line;
        }
        any = true;
        if (c == '\n')
            return line;
        ++line.bytes;
        if (line.text.size() < limit)
            line.text.push_back(static_cast<char>(c));
        else
            line.tooLong = true;
    }
}

} // namespace qm5083::convert
