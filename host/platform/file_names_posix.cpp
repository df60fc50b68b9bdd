// File names in the host's text type on POSIX systems, where a name may hold any bytes.
#include <string>

#include "platform/file_names.h"
#include "platform/utf16.h"

namespace standin {

namespace {

constexpr char32_t kByteEscape = 0x10FF00;

/// Length of the valid UTF-8 sequence at `text[i]` (0 when there is none)
/// and its code point.
std::size_t validSequence(const std::string& text, std::size_t i, char32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    const bool scalar = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    return c >= minimum && scalar ? length : 0;
}

}  // namespace

std::wstring FileNameToWide(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        std::size_t length = validSequence(bytes, i, c);
        const bool readsAsEscape = length == 4 && c >= kByteEscape;
        if (length == 0 || readsAsEscape) {
            // A stray byte, or a sequence that would read back as an escape:
            // its bytes escaped one by one.
            if (length == 0) length = 1;
            for (std::size_t k = 0; k < length; ++k) {
                AppendUtf8(text, kByteEscape + static_cast<unsigned char>(bytes[i + k]));
            }
        } else {
            text.append(bytes, i, length);
        }
        i += length;
    }
    return Utf16ToWide(Utf8ToUtf16(text));
}

std::filesystem::path FileNameFromWide(std::wstring_view name) {
    const std::string text = WideToUtf8(name);
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = validSequence(text, i, c);
        if (length == 4 && c >= kByteEscape) {
            bytes += static_cast<char>(c - kByteEscape);
        } else {
            bytes.append(text, i, length == 0 ? 1 : length);
        }
        i += length == 0 ? 1 : length;
    }
    return bytes;
}

std::string NarrowFileName(std::wstring_view name) { return FileNameFromWide(name).native(); }

}  // namespace standin
