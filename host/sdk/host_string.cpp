// The host's wide string, MSTR, and its UTF-8 conversions.
#include <cstdint>

#include "platform/utf16.h"
#include "strclass.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void appendUtf8(std::string& out, char32_t c) {
    standin::AppendUtf8(out, isScalarValue(c) ? c : kReplacement);
}

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        // UTF-16 (Windows): code points above the BMP take a surrogate pair.
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

}  // namespace

std::string WStr::ToUTF8() const {
    std::string out;
    out.reserve(text_.size());
    for (std::size_t i = 0; i < text_.size(); ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text_[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text_.size()) {
                const char32_t low = static_cast<char16_t>(text_[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

WStr WStr::FromUTF8(const char* text) {
    WStr result;
    if (!text) return result;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (bytes[i] != 0) {
        const unsigned char lead = bytes[i];
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
            minimum = 0x10000;
        } else {
            appendWide(result.text_, kReplacement);
            ++i;
            continue;
        }
        // Continuation bytes: stop at the first byte that is not one (the
        // terminating null included), so a cut sequence never reads past the end.
        int taken = 0;
        while (taken < extra && (bytes[i + 1 + taken] & 0xC0) == 0x80) {
            c = (c << 6) | (bytes[i + 1 + taken] & 0x3F);
            ++taken;
        }
        i += 1 + taken;
        if (taken < extra || c < minimum || !isScalarValue(c)) c = kReplacement;
        appendWide(result.text_, c);
    }
    return result;
}

WStr WStr::FromUTF8(const std::string& text) { return FromUTF8(text.c_str()); }
