// Strings in scene files: ISave's wide and narrow string writers.
#include "ioapi.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/utf16.h"

namespace {

IOResult writeAll(ISave& save, const void* bytes, std::size_t count) {
    // A single string longer than a chunk can hold cannot be written.
    if (count > 0x7fffffffu) return IO_ERROR;
    ULONG written = 0;
    const IOResult result = save.Write(bytes, static_cast<ULONG>(count), &written);
    return result == IO_OK && written == count ? IO_OK : IO_ERROR;
}

IOResult writeUtf16(ISave& save, const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * (text.size() + 1));
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return writeAll(save, bytes.data(), bytes.size());
}

IOResult writeNarrow(ISave& save, const std::string& text) {
    return writeAll(save, text.c_str(), text.size() + 1);
}

}  // namespace

IOResult ISave::WriteWString(const MCHAR* str) {
    return writeUtf16(*this, standin::WideToUtf16(str ? str : L""));
}

IOResult ISave::WriteWString(const char* str) {
    return writeUtf16(*this, standin::Utf8ToUtf16(str ? str : ""));
}

IOResult ISave::WriteCString(const char* str) { return writeNarrow(*this, str ? str : ""); }

IOResult ISave::WriteCString(const MCHAR* str) {
    return writeNarrow(*this, standin::WideToUtf8(str ? str : L""));
}
