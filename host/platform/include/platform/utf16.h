// Conversions between the UTF-16 text of compiled resources, the host's wide
// strings and UTF-8. wchar_t is 16 bits on Windows and 32 bits elsewhere; these
// functions hide the difference.
#pragma once

#include <string>
#include <string_view>

namespace standin {

/// Appends the code point `c`, a Unicode scalar value, to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

/// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

/// UTF-16 to the platform's wide string: copied where wchar_t holds UTF-16,
/// decoded to code points where it holds UTF-32 (an unpaired surrogate then
/// becomes U+FFFD, since a lone surrogate is no code point).
std::wstring Utf16ToWide(std::u16string_view text);

/// UTF-8 to UTF-16. Each malformed byte sequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

/// Wide string to UTF-8. Values that are no Unicode scalar value (lone
/// surrogates, values above U+10FFFF) become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

/// Wide string to UTF-16, with the same replacement as WideToUtf8.
std::u16string WideToUtf16(std::wstring_view text);

}  // namespace standin
