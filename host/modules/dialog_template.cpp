// Parsing DLGTEMPLATEEX dialog templates from compiled resources.
#include "modules/dialog_template.h"

#include <algorithm>
#include <array>

#include "byte_reader.h"

namespace standin {
namespace {

struct PredefinedClass {
    std::uint16_t atom;
    std::u16string_view name;
};

constexpr std::array<PredefinedClass, 6> kPredefinedClasses{{
    {kButtonClassAtom, u"Button"},
    {kEditClassAtom, u"Edit"},
    {kStaticClassAtom, u"Static"},
    {kListBoxClassAtom, u"ListBox"},
    {kScrollBarClassAtom, u"ScrollBar"},
    {kComboBoxClassAtom, u"ComboBox"},
}};

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c; }

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

DialogControl ReadControl(detail::ByteReader& reader) {
    DialogControl control;
    control.offset = reader.ImageOffset();
    control.helpId = reader.U32("control helpID");
    control.exStyle = reader.U32("control exStyle");
    control.style = reader.U32("control style");
    control.x = reader.I16("control x");
    control.y = reader.I16("control y");
    control.cx = reader.I16("control cx");
    control.cy = reader.I16("control cy");
    control.id = reader.I32("control id");
    control.windowClass = reader.StringOrOrdinal("control windowClass");
    control.title = reader.StringOrOrdinal("control title");
    const std::uint16_t extraCount = reader.U16("control extraCount");
    const auto extra = reader.Bytes(extraCount, "control creation data");
    control.extra.assign(extra.begin(), extra.end());
    return control;
}

}  // namespace

std::u16string DialogControl::ClassName() const {
    if (!windowClass.isOrdinal) return windowClass.name;
    for (const auto& predefined : kPredefinedClasses) {
        if (predefined.atom == windowClass.ordinal) return std::u16string(predefined.name);
    }
    std::u16string result = u"#";
    for (const char c : std::to_string(windowClass.ordinal)) result.push_back(c);
    return result;
}

bool DialogControl::HasClass(std::u16string_view className) const {
    return EqualIgnoringAsciiCase(ClassName(), className);
}

std::u16string_view DialogControl::Text() const {
    return title.isOrdinal ? std::u16string_view() : std::u16string_view(title.name);
}

const DialogControl* DialogTemplate::FindControl(std::int32_t id) const {
    for (const auto& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

DialogTemplate ParseDialogTemplate(std::span<const std::uint8_t> data, std::size_t dataOffset,
                                   const std::string& context) {
    detail::ByteReader reader(data, dataOffset, context);
    DialogTemplate dialog;
    dialog.version = reader.U16("dlgVer");
    dialog.signature = reader.U16("signature");
    if (dialog.version != 1 || dialog.signature != 0xFFFF) {
        reader.FailAt(0,
                      "not an extended dialog template (DIALOGEX): expected dlgVer 1 and "
                      "signature 0xFFFF, found dlgVer " +
                          std::to_string(dialog.version) + " and signature " +
                          detail::Hex(dialog.signature, 4));
    }
    dialog.helpId = reader.U32("helpID");
    dialog.exStyle = reader.U32("exStyle");
    dialog.style = reader.U32("style");
    const std::uint16_t controlCount = reader.U16("cDlgItems");
    dialog.x = reader.I16("x");
    dialog.y = reader.I16("y");
    dialog.cx = reader.I16("cx");
    dialog.cy = reader.I16("cy");
    dialog.menu = reader.StringOrOrdinal("menu");
    dialog.windowClass = reader.StringOrOrdinal("windowClass");
    dialog.title = reader.ZeroTerminatedUtf16("title");
    if (dialog.style & kDialogStyleSetFont) {
        DialogFont font;
        font.pointSize = reader.U16("pointsize");
        font.weight = reader.U16("weight");
        font.italic = reader.U8("italic");
        font.charset = reader.U8("charset");
        font.typeface = reader.ZeroTerminatedUtf16("typeface");
        dialog.font = std::move(font);
    }

    // Each control takes at least 24 bytes: never reserve more than the data can hold.
    dialog.controls.reserve(std::min<std::size_t>(controlCount, reader.Remaining() / 24));
    for (std::uint16_t i = 0; i < controlCount; ++i) {
        reader.AlignTo4();
        if (reader.AtEnd()) {
            reader.Fail("the template declares " + std::to_string(controlCount) +
                        " controls but its data ends after " + std::to_string(i));
        }
        const std::size_t start = reader.Position();
        detail::ByteReader controlReader(
            data.subspan(start), dataOffset + start,
            context + ", control " + std::to_string(i + 1) + " of " + std::to_string(controlCount));
        dialog.controls.push_back(ReadControl(controlReader));
        reader.Seek(start + controlReader.Position(), "control");
    }
    return dialog;
}

}  // namespace standin
