#include "platform/utf16.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace standin {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

/// Calls `emit` with each code point of UTF-16 `text`.
template <typename CharT, typename Emit>
void DecodeUtf16(std::basic_string_view<CharT> text, Emit&& emit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = static_cast<char16_t>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            const char32_t low = static_cast<char16_t>(text[++i]);
            emit(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            emit(kReplacement);
        } else {
            emit(unit);
        }
    }
}

/// Calls `emit` with each code point of UTF-8 `text`, U+FFFD for each
/// malformed sequence (overlong forms, surrogates and truncations included).
template <typename Emit>
void DecodeUtf8(std::string_view text, Emit&& emit) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            emit(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, value = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, value = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, value = lead & 0x07, minimum = 0x10000;
        } else {
            emit(kReplacement);
            ++i;
            continue;
        }
        std::size_t consumed = 1;
        while (consumed < length && i + consumed < text.size() &&
               (static_cast<unsigned char>(text[i + consumed]) & 0xC0) == 0x80) {
            value = (value << 6) | (static_cast<unsigned char>(text[i + consumed]) & 0x3F);
            ++consumed;
        }
        if (consumed < length || value < minimum || !IsScalarValue(value)) {
            emit(kReplacement);
        } else {
            emit(value);
        }
        i += consumed;
    }
}

template <typename CharT>
void AppendUtf16(std::basic_string<CharT>& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<CharT>(c));
    } else {
        const char32_t v = c - 0x10000;
        out.push_back(static_cast<CharT>(0xD800 + (v >> 10)));
        out.push_back(static_cast<CharT>(0xDC00 + (v & 0x3FF)));
    }
}

/// Calls `emit` with each code point of a wide string.
template <typename Emit>
void DecodeWide(std::wstring_view text, Emit&& emit) {
    if constexpr (sizeof(wchar_t) == 2) {
        DecodeUtf16(text, emit);
    } else {
        for (const wchar_t w : text) {
            const auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(w));
            emit(IsScalarValue(c) ? c : kReplacement);
        }
    }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    DecodeUtf16(text, [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::wstring Utf16ToWide(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size());
    if constexpr (sizeof(wchar_t) == 2) {
        for (const char16_t unit : text) out.push_back(static_cast<wchar_t>(unit));
    } else {
        DecodeUtf16(text, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    DecodeUtf8(text, [&](char32_t c) { AppendUtf16(out, c); });
    return out;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    DecodeWide(text, [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::u16string WideToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    DecodeWide(text, [&](char32_t c) { AppendUtf16(out, c); });
    return out;
}

}  // namespace standin
