#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace qm5083::hardware {

// A kept state that cannot be taken back: its bytes end early, or a field holds a value the
// field never holds. at is the offset of the field.
class StateOutOfRange : public std::runtime_error
{
public:
    explicit StateOutOfRange(std::size_t at)
        : std::runtime_error("a kept state holds a value out of its range")
        , at_(at)
    { }
    std::size_t at() const { return at_; }

private:
    std::size_t at_;
};

// The simulated card's state as bytes, field by field, little-endian whatever the machine.
class StateWriter
{
public:
    void byte(std::uint8_t value) { bytes_.push_back(value); }
    void flag(bool value) { byte(value ? 1 : 0); }
    void u16(std::uint16_t value) { little(value, 2); }
    void u32(std::uint32_t value) { little(value, 4); }
    void u64(std::uint64_t value) { little(value, 8); }
    void i64(std::int64_t value) { u64(static_cast<std::uint64_t>(value)); }

    const std::vector<std::uint8_t> &bytes() const { return bytes_; }

private:
    void little(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    std::vector<std::uint8_t> bytes_;
};

// Reads back what StateWriter wrote, each field checked against its range: a value outside it,
// or bytes that end early, throw StateOutOfRange naming where.
class StateReader
{
public:
    explicit StateReader(std::span<const std::uint8_t> bytes, std::size_t offset = 0)
        : bytes_(bytes)
        , offset_(offset)
    { }

    std::uint8_t byte(std::uint8_t highest = 0xFF)
    {
        return static_cast<std::uint8_t>(checked(little(1), 0, highest));
    }
    bool flag() { return byte(1) != 0; }
    std::uint16_t u16(std::uint16_t lowest = 0, std::uint16_t highest = 0xFFFF)
    {
        return static_cast<std::uint16_t>(checked(little(2), lowest, highest));
    }
    std::uint32_t u32(std::uint32_t lowest = 0, std::uint32_t highest = 0xFFFFFFFF)
    {
        return static_cast<std::uint32_t>(checked(little(4), lowest, highest));
    }
    std::uint64_t u64() { return little(8); }
    std::int64_t i64(std::int64_t lowest, std::int64_t highest)
    {
        const auto value = static_cast<std::int64_t>(little(8));
        if (value < lowest || value > highest)
            throw StateOutOfRange(last_);
        return value;
    }

    // Where the field read last began, for a check that spans fields.
    std::size_t lastField() const { return last_; }
    std::size_t offset() const { return offset_; }

private:
    std::uint64_t little(std::size_t count)
    {
        if (offset_ > bytes_.size() || bytes_.size() - offset_ < count)
            throw StateOutOfRange(offset_);
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value |= static_cast<std::uint64_t>(bytes_[offset_ + i]) << (8 * i);
        last_ = offset_;
        offset_ += count;
        return value;
    }
    std::uint64_t checked(std::uint64_t value, std::uint64_t lowest, std::uint64_t highest) const
    {
        if (value < lowest || value > highest)
            throw StateOutOfRange(last_);
        return value;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_;
    std::size_t last_ = 0;
};

} // namespace qm5083::hardware
