// Bounds-checked little-endian reading of compiled-resource bytes. Every read
// either succeeds inside the span or throws a ResourceFormatError that names
// what was being read and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "modules/resource_image.h"

namespace standin::detail {

class ByteReader {
public:
    /// `bytes` starts at `baseOffset` in the resource image; `context` heads
    /// every error message (e.g. "dialog #101 (language 0x0409)").
    ByteReader(std::span<const std::uint8_t> bytes, std::size_t baseOffset, std::string context);

    /// Position within the span.
    std::size_t Position() const { return position_; }
    /// Position as an offset in the whole resource image.
    std::size_t ImageOffset() const { return baseOffset_ + position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }
    bool AtEnd() const { return position_ == bytes_.size(); }

    std::uint8_t U8(const char* field);
    std::uint16_t U16(const char* field);
    std::int16_t I16(const char* field);
    std::uint32_t U32(const char* field);
    std::int32_t I32(const char* field);
    /// The next `count` bytes.
    std::span<const std::uint8_t> Bytes(std::size_t count, const char* field);
    /// A UTF-16 string up to (not including) its null terminator, which is consumed.
    std::u16string ZeroTerminatedUtf16(const char* field);
    /// A dialog-style "string or ordinal": 0xFFFF then an ordinal, or a
    /// null-terminated string (empty when the first unit is 0).
    NameOrOrdinal StringOrOrdinal(const char* field);

    /// Moves to `position` within the span (at most its end).
    void Seek(std::size_t position, const char* field);
    /// Skips to the next multiple of 4 from the span's start, or to its end
    /// when the padding is cut off (trailing padding is optional).
    void AlignTo4();

    /// Throws a ResourceFormatError at the current position.
    [[noreturn]] void Fail(const std::string& problem) const;
    /// Throws a ResourceFormatError at `position` within the span.
    [[noreturn]] void FailAt(std::size_t position, const std::string& problem) const;

private:
    void Require(std::size_t count, const char* field) const;

    std::span<const std::uint8_t> bytes_;
    std::size_t baseOffset_;
    std::string context_;
    std::size_t position_ = 0;
};

/// "0x0409"-style hexadecimal with `digits` digits, for messages.
std::string Hex(std::uint32_t value, int digits);

}  // namespace standin::detail
