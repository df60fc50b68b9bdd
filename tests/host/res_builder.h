// Builds compiled-resource bytes for the reader tests: .res images, string
// blocks and extended dialog templates, little-endian and 4-byte aligned as
// the resource compiler writes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modules/resource_image.h"

namespace restest {

/// Little-endian byte writer.
struct Bytes {
    std::vector<std::uint8_t> data;

    Bytes& U8(std::uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& I16(std::int16_t v) { return U16(static_cast<std::uint16_t>(v)); }
    Bytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    /// The text and a null terminator.
    Bytes& Utf16Z(const std::u16string& text) {
        for (const char16_t c : text) U16(c);
        return U16(0);
    }
    /// A dialog-style string or ordinal.
    Bytes& NameOrOrdinal(const standin::NameOrOrdinal& value) {
        if (value.isOrdinal) return U16(0xFFFF).U16(value.ordinal);
        return Utf16Z(value.name);
    }
    Bytes& Append(const std::vector<std::uint8_t>& more) {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& Align4() {
        while (data.size() % 4 != 0) data.push_back(0);
        return *this;
    }
};

struct ResourceSpec {
    standin::NameOrOrdinal type;
    standin::NameOrOrdinal name;
    std::uint16_t language = 0x0409;
    std::vector<std::uint8_t> data;
};

/// One RESOURCEHEADER with its data and padding.
inline void AppendEntry(Bytes& out, const ResourceSpec& item) {
    Bytes header;
    header.NameOrOrdinal(item.type).NameOrOrdinal(item.name);
    header.Align4();
    const auto headerSize = static_cast<std::uint32_t>(8 + header.data.size() + 16);
    out.U32(static_cast<std::uint32_t>(item.data.size())).U32(headerSize);
    out.Append(header.data);
    out.U32(0).U16(0x1030).U16(item.language).U32(0).U32(0);
    out.Append(item.data).Align4();
}

/// A .res image: the leading empty entry, then `resources` in order.
inline std::vector<std::uint8_t> ResImage(const std::vector<ResourceSpec>& resources) {
    Bytes out;
    AppendEntry(out,
                {standin::NameOrOrdinal::Ordinal(0), standin::NameOrOrdinal::Ordinal(0), 0, {}});
    for (const auto& item : resources) AppendEntry(out, item);
    return out.data;
}

/// The data of one string block; missing strings are empty.
inline std::vector<std::uint8_t> StringBlock(const std::array<std::u16string, 16>& strings) {
    Bytes out;
    for (const auto& s : strings) {
        out.U16(static_cast<std::uint16_t>(s.size()));
        for (const char16_t c : s) out.U16(c);
    }
    return out.data;
}

struct ControlSpec {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0x50000000;
    std::int16_t x = 0, y = 0, cx = 10, cy = 10;
    std::int32_t id = 0;
    standin::NameOrOrdinal windowClass = standin::NameOrOrdinal::Ordinal(0x0080);
    standin::NameOrOrdinal title = standin::NameOrOrdinal::Name(u"");
    std::vector<std::uint8_t> extra;
};

struct DialogSpec {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0x50000040;
    std::int16_t x = 0, y = 0, cx = 100, cy = 50;
    standin::NameOrOrdinal menu = standin::NameOrOrdinal::Name(u"");
    standin::NameOrOrdinal windowClass = standin::NameOrOrdinal::Name(u"");
    std::u16string title;
    std::uint16_t pointSize = 8, weight = 0;
    std::uint8_t italic = 0, charset = 0;
    std::u16string typeface = u"MS Sans Serif";
    std::vector<ControlSpec> controls;
};

/// The bytes of a DLGTEMPLATEEX with its controls.
inline std::vector<std::uint8_t> DialogTemplate(const DialogSpec& d) {
    Bytes out;
    out.U16(1).U16(0xFFFF).U32(d.helpId).U32(d.exStyle).U32(d.style);
    out.U16(static_cast<std::uint16_t>(d.controls.size()));
    out.I16(d.x).I16(d.y).I16(d.cx).I16(d.cy);
    out.NameOrOrdinal(d.menu).NameOrOrdinal(d.windowClass).Utf16Z(d.title);
    if (d.style & 0x40) {
        out.U16(d.pointSize).U16(d.weight).U8(d.italic).U8(d.charset).Utf16Z(d.typeface);
    }
    for (const auto& c : d.controls) {
        out.Align4();
        out.U32(c.helpId).U32(c.exStyle).U32(c.style);
        out.I16(c.x).I16(c.y).I16(c.cx).I16(c.cy).I32(c.id);
        out.NameOrOrdinal(c.windowClass).NameOrOrdinal(c.title);
        out.U16(static_cast<std::uint16_t>(c.extra.size())).Append(c.extra);
    }
    return out.data;
}

}  // namespace restest
