#include "params/typed_number.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <type_traits>

namespace standin {
namespace {

constexpr std::size_t kQuotedLength = 24;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

/// The text without one leading '+', which from_chars does not take but users
/// type; a sign after it stays, so that "+-1" is still refused.
std::string_view withoutPlus(std::string_view text) {
    if (text.size() >= 2 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        return text.substr(1);
    }
    return text == "+" ? std::string_view() : text;
}

bool isHex(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

template <typename Number>
bool read(std::string_view text, Number& value, const char* kind, std::string& error) {
    const std::string_view digits = withoutPlus(trimmed(text));
    Number number{};
    const auto [end, status] =
        std::from_chars(digits.data(), digits.data() + digits.size(), number);
    const bool whole = !digits.empty() && end == digits.data() + digits.size();
    if (whole && status == std::errc::result_out_of_range) {
        error = QuoteTyped(text) + " is out of range";
        return false;
    }
    bool finite = true;
    if constexpr (std::is_floating_point_v<Number>) finite = std::isfinite(number);
    if (!whole || status != std::errc() || !finite) {
        error = QuoteTyped(text) + " is not a " + kind;
        if (isHex(digits)) error += " (write it in decimal)";
        return false;
    }
    value = number;
    return true;
}

}  // namespace

std::string QuoteTyped(std::string_view text) {
    std::size_t characters = 0, cut = text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // UTF-8 continuation
        if (characters++ == kQuotedLength) cut = i;
    }
    if (cut == text.size()) return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, cut)) + "...\" (" + std::to_string(characters) +
           " characters)";
}

bool ReadTypedNumber(std::string_view text, double& value, std::string& error) {
    return read(text, value, "number", error);
}

bool ReadTypedInteger(std::string_view text, long& value, std::string& error) {
    return read(text, value, "whole number", error);
}

}  // namespace standin
