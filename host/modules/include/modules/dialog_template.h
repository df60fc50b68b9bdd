// Extended dialog templates (DLGTEMPLATEEX with its DLGITEMTEMPLATEEX
// controls), as compiled from a DIALOGEX statement. The stand-in builds its
// headless panels from these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "modules/resource_image.h"

namespace standin {

/// Dialog style bit that says a font description follows the title.
inline constexpr std::uint32_t kDialogStyleSetFont = 0x40;  // DS_SETFONT

/// Class atoms of the system's predefined control classes.
inline constexpr std::uint16_t kButtonClassAtom = 0x0080;
inline constexpr std::uint16_t kEditClassAtom = 0x0081;
inline constexpr std::uint16_t kStaticClassAtom = 0x0082;
inline constexpr std::uint16_t kListBoxClassAtom = 0x0083;
inline constexpr std::uint16_t kScrollBarClassAtom = 0x0084;
inline constexpr std::uint16_t kComboBoxClassAtom = 0x0085;

/// The font of a dialog with kDialogStyleSetFont.
struct DialogFont {
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::u16string typeface;
};

/// One control of a dialog template. Coordinates are dialog units.
struct DialogControl {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    /// Stored as a 32-bit value: an ID of -1 (static texts) reads as -1.
    std::int32_t id = 0;
    /// A predefined class atom (kButtonClassAtom, ...) or a class name.
    NameOrOrdinal windowClass;
    /// The control's text, or an ordinal (e.g. an icon resource).
    NameOrOrdinal title;
    /// Creation data passed to the control.
    std::vector<std::uint8_t> extra;
    /// Offset of the control's record in the resource image.
    std::size_t offset = 0;

    /// Class name: the predefined class for an atom ("Button", "Edit",
    /// "Static", "ListBox", "ScrollBar", "ComboBox"; "#n" for another atom),
    /// otherwise the name as written.
    std::u16string ClassName() const;
    /// True when the class is `className`, compared without regard to ASCII
    /// case as window classes are; an atom matches its predefined class name.
    bool HasClass(std::u16string_view className) const;
    /// The title text (empty for an ordinal title).
    std::u16string_view Text() const;
};

/// A parsed extended dialog template.
struct DialogTemplate {
    std::uint16_t version = 1;
    std::uint16_t signature = 0xFFFF;
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    /// Empty when the dialog has no menu.
    NameOrOrdinal menu;
    /// Empty for the standard dialog class.
    NameOrOrdinal windowClass;
    std::u16string title;
    /// Present exactly when `style` has kDialogStyleSetFont.
    std::optional<DialogFont> font;
    /// In template order, which is also the tab order.
    std::vector<DialogControl> controls;

    /// The first control with `id`, or null.
    const DialogControl* FindControl(std::int32_t id) const;
};

/// Parses the data of one RT_DIALOG resource. `dataOffset` is where the data
/// starts in the resource image and `context` names the resource, both for
/// error messages. Throws ResourceFormatError for a template that is not an
/// extended one (version 1, signature 0xFFFF), and for any field, string or
/// control that runs past the end of the data. Bytes after the last control
/// are ignored.
DialogTemplate ParseDialogTemplate(std::span<const std::uint8_t> data, std::size_t dataOffset,
                                   const std::string& context = "dialog template");

}  // namespace standin
