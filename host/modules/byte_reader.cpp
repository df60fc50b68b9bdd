// Bounds-checked little-endian reading of compiled-resource bytes.
#include "byte_reader.h"

#include <cstdio>
#include <utility>

namespace standin::detail {

ByteReader::ByteReader(std::span<const std::uint8_t> bytes, std::size_t baseOffset,
                       std::string context)
    : bytes_(bytes), baseOffset_(baseOffset), context_(std::move(context)) {}

void ByteReader::Require(std::size_t count, const char* field) const {
    if (count > Remaining()) {
        Fail(std::string("truncated ") + field + ": needs " + std::to_string(count) + " byte(s), " +
             std::to_string(Remaining()) + " left");
    }
}

std::uint8_t ByteReader::U8(const char* field) {
    Require(1, field);
    return bytes_[position_++];
}

std::uint16_t ByteReader::U16(const char* field) {
    Require(2, field);
    const auto value = static_cast<std::uint16_t>(bytes_[position_] | (bytes_[position_ + 1] << 8));
    position_ += 2;
    return value;
}

std::int16_t ByteReader::I16(const char* field) { return static_cast<std::int16_t>(U16(field)); }

std::uint32_t ByteReader::U32(const char* field) {
    Require(4, field);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes_[position_ + i];
    position_ += 4;
    return value;
}

std::int32_t ByteReader::I32(const char* field) { return static_cast<std::int32_t>(U32(field)); }

std::span<const std::uint8_t> ByteReader::Bytes(std::size_t count, const char* field) {
    Require(count, field);
    const auto result = bytes_.subspan(position_, count);
    position_ += count;
    return result;
}

std::u16string ByteReader::ZeroTerminatedUtf16(const char* field) {
    const std::size_t start = position_;
    std::u16string text;
    while (true) {
        if (Remaining() < 2) {
            FailAt(start, std::string("unterminated ") + field +
                              ": no null character before the end of the data");
        }
        const auto unit = static_cast<char16_t>(U16(field));
        if (unit == 0) return text;
        text.push_back(unit);
    }
}

NameOrOrdinal ByteReader::StringOrOrdinal(const char* field) {
    if (Remaining() >= 2 && bytes_[position_] == 0xFF && bytes_[position_ + 1] == 0xFF) {
        position_ += 2;
        return NameOrOrdinal::Ordinal(U16(field));
    }
    return NameOrOrdinal::Name(ZeroTerminatedUtf16(field));
}

void ByteReader::Seek(std::size_t position, const char* field) {
    if (position > bytes_.size()) {
        Fail(std::string(field) + " points " + std::to_string(position - bytes_.size()) +
             " byte(s) past the end of the data");
    }
    position_ = position;
}

void ByteReader::AlignTo4() {
    const std::size_t aligned = (position_ + 3) & ~std::size_t{3};
    position_ = aligned < bytes_.size() ? aligned : bytes_.size();
}

void ByteReader::Fail(const std::string& problem) const { FailAt(position_, problem); }

void ByteReader::FailAt(std::size_t position, const std::string& problem) const {
    const std::size_t offset = baseOffset_ + position;
    throw ResourceFormatError(
        offset, context_ + ": " + problem + " (at byte offset " + std::to_string(offset) + ")");
}

std::string Hex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, static_cast<unsigned>(value));
    return buffer;
}

}  // namespace standin::detail
