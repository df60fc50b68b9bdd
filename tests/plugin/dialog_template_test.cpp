// Dialog template 101 as compiled into the built module, against the layout
// the panel is designed to.
#include <modules/resources.h>

#include <cstdint>
#include <string>

#include "tests/plugin/module_fixture.h"

namespace nacrelle::testing {
namespace {

constexpr std::uint32_t kField = 0x50010000;
constexpr std::uint32_t kPlain = 0x50000000;
constexpr std::uint32_t kRightLabel = 0x50020002;
constexpr std::uint32_t kLeftLabel = 0x50020000;
constexpr std::uint32_t kCheckBox = 0x50010003;
constexpr std::uint32_t kGroupBox = 0x50000007;

struct ExpectedControl {
    int id;
    const char16_t* className;  // nullptr: the system class atom below
    std::uint16_t atom;
    const char16_t* text;
    std::int16_t x, y, cx, cy;
    std::uint32_t style;
};

constexpr std::uint16_t kButton = 0x0080;
constexpr std::uint16_t kStatic = 0x0082;

const ExpectedControl kControls[] = {
    {1490, u"CustEdit", 0, u"", 54, 18, 35, 10, kField},
    {1496, u"SpinnerControl", 0, u"", 90, 18, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Min:", 24, 18, 25, 8, kRightLabel},
    {1491, u"CustEdit", 0, u"", 54, 30, 35, 10, kField},
    {1497, u"SpinnerControl", 0, u"", 90, 30, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Max:", 20, 30, 29, 8, kRightLabel},
    {1493, u"CustEdit", 0, u"", 54, 69, 35, 10, kField},
    {1499, u"SpinnerControl", 0, u"", 90, 69, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"External:", 54, 58, 35, 8, kLeftLabel},
    {1494, u"CustEdit", 0, u"", 110, 69, 35, 10, kField},
    {1500, u"SpinnerControl", 0, u"", 146, 69, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Film:", 110, 58, 36, 8, kLeftLabel},
    {1495, u"CustEdit", 0, u"", 166, 69, 35, 10, kField},
    {1501, u"SpinnerControl", 0, u"", 202, 69, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Internal:", 166, 58, 35, 8, kLeftLabel},
    {1003, nullptr, kButton, u"", 105, 24, 9, 10, kCheckBox},
    {1002, u"CustButton", 0, u"Custom2", 120, 21, 89, 14, kField},
    {-1, nullptr, kButton, u"Film Thickness (nm)", 2, 7, 213, 36, kGroupBox},
    {-1, nullptr, kButton, u"IOR", 2, 48, 213, 34, kGroupBox},
    {-1, nullptr, kStatic, u"" NACRELLE_PANEL_VERSION_TEXT, 2, 142, 123, 8, kLeftLabel},
    {-1, nullptr, kButton, u"Color Adjustment", 2, 87, 213, 51, kGroupBox},
    {1492, u"CustEdit", 0, u"", 110, 99, 35, 10, kField},
    {1498, u"SpinnerControl", 0, u"", 146, 99, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Gamma:", 38, 99, 68, 8, kRightLabel},
    {1502, u"CustEdit", 0, u"", 110, 112, 35, 10, kField},
    {1503, u"SpinnerControl", 0, u"", 146, 112, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Hue Shift (\u00b1\u00b0):", 38, 112, 68, 8, kRightLabel},
    {1504, u"CustEdit", 0, u"", 110, 125, 35, 10, kField},
    {1505, u"SpinnerControl", 0, u"", 146, 125, 7, 10, kPlain},
    {-1, nullptr, kStatic, u"Saturation (\u00b1%):", 38, 125, 68, 8, kRightLabel},
    {1008, u"CustButton", 0, u"Homepage", 134, 140, 80, 11, kField},
    {-1, nullptr, kStatic, nullptr, 2, 154, 213, 8, kLeftLabel},  // the credit line
    {-1, nullptr, kStatic, u"Based on article at:", 2, 166, 128, 8, kRightLabel},
    {1009, u"CustButton", 0, u"Wikipedia", 134, 165, 80, 11, kField},
};

using PanelTemplate = ModuleTest;

TEST_F(PanelTemplate, HeaderOfTemplate101) {
    const standin::DialogTemplate* dialog = module->Resources()->FindDialog(101);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->version, 1);
    EXPECT_EQ(dialog->signature, 0xFFFF);
    EXPECT_EQ(dialog->style, 0x50000040u);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->helpId, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, 217);
    EXPECT_EQ(dialog->cy, 180);
    EXPECT_TRUE(dialog->menu.IsEmpty());
    EXPECT_TRUE(dialog->windowClass.IsEmpty());
    EXPECT_TRUE(dialog->title.empty());
    ASSERT_TRUE(dialog->font.has_value());
    EXPECT_EQ(dialog->font->pointSize, 8);
    EXPECT_EQ(dialog->font->weight, 0);
    EXPECT_EQ(dialog->font->italic, 0);
    EXPECT_EQ(dialog->font->charset, 0);
    EXPECT_EQ(dialog->font->typeface, u"MS Sans Serif");
    // US English.
    const standin::ResourceEntry* entry = module->Resources()->Find(
        standin::NameOrOrdinal::Ordinal(5), standin::NameOrOrdinal::Ordinal(101));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->languageId, 0x0409);
}

TEST_F(PanelTemplate, EveryControlInTabOrder) {
    const standin::DialogTemplate* dialog = module->Resources()->FindDialog(101);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->controls.size(), std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ExpectedControl& e = kControls[i];
        const standin::DialogControl& c = dialog->controls[i];
        SCOPED_TRACE(::testing::Message() << "control " << i + 1 << ", ID " << e.id);
        EXPECT_EQ(c.id, e.id);
        if (e.className != nullptr) {
            EXPECT_FALSE(c.windowClass.isOrdinal);
            EXPECT_EQ(c.windowClass.name, e.className);
        } else {
            EXPECT_TRUE(c.windowClass.isOrdinal);
            EXPECT_EQ(c.windowClass.ordinal, e.atom);
        }
        if (e.text != nullptr) {
            EXPECT_FALSE(c.title.isOrdinal);
            EXPECT_EQ(c.Text(), std::u16string_view(e.text));
        }
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.helpId, 0u);
    }
    // The credit line names the developers and the year.
    const std::u16string_view credit = dialog->controls[31].Text();
    EXPECT_NE(credit.find(u"Nacrelle developers"), std::u16string_view::npos);
    EXPECT_NE(credit.find(u"2026"), std::u16string_view::npos);
}

}  // namespace
}  // namespace nacrelle::testing
