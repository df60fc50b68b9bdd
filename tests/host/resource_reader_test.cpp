// The compiled-resource reader on well-formed bytes and on every kind of
// malformed bytes: each fault must be reported with what is wrong and the
// byte offset where it is, never read out of bounds.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "res_builder.h"
#include "modules/dialog_template.h"
#include "modules/resource_image.h"
#include "modules/resources.h"
#include "modules/string_table.h"

namespace {

using standin::NameOrOrdinal;

NameOrOrdinal N(const std::u16string& text) { return NameOrOrdinal::Name(text); }
NameOrOrdinal O(std::uint16_t value) { return NameOrOrdinal::Ordinal(value); }

std::array<std::u16string, 16> Strings(std::initializer_list<std::pair<int, std::u16string>> set) {
    std::array<std::u16string, 16> strings;
    for (const auto& [index, text] : set) strings[index] = text;
    return strings;
}

restest::ResourceSpec StringBlockSpec(std::uint16_t block, std::uint16_t language,
                                      std::initializer_list<std::pair<int, std::u16string>> set) {
    return {O(standin::kResourceTypeString), O(block), language,
            restest::StringBlock(Strings(set))};
}

// ---- The .res container ------------------------------------------------------

TEST(ResourceImage, ReadsEntriesInOrderWithHeaderFields) {
    const auto image = restest::ResImage({
        StringBlockSpec(1, 0x0409, {{1, u"One"}}),
        {N(u"MYTYPE"), N(u"THING"), 0x0407, {1, 2, 3}},
        {O(10), O(7), 0, {}},
    });
    const auto entries = standin::ParseResourceImage(image);
    ASSERT_EQ(entries.size(), 3u);

    EXPECT_EQ(entries[0].type, O(6));
    EXPECT_EQ(entries[0].name, O(1));
    EXPECT_EQ(entries[0].languageId, 0x0409);
    EXPECT_EQ(entries[0].memoryFlags, 0x1030);
    EXPECT_EQ(entries[0].headerOffset, 32u);
    EXPECT_EQ(entries[0].dataOffset, 64u);

    EXPECT_EQ(entries[1].type, N(u"MYTYPE"));
    EXPECT_EQ(entries[1].name, N(u"THING"));
    EXPECT_EQ(entries[1].languageId, 0x0407);
    EXPECT_EQ(entries[1].data, (std::vector<std::uint8_t>{1, 2, 3}));
    // Data of 3 bytes is padded to 4 before the next header.
    EXPECT_EQ(entries[2].headerOffset, entries[1].dataOffset + 4);
    EXPECT_TRUE(entries[2].data.empty());
}

TEST(ResourceImage, AcceptsAnImageWithOnlyTheLeadingEntry) {
    EXPECT_TRUE(standin::ParseResourceImage(restest::ResImage({})).empty());
}

TEST(ResourceImage, AcceptsMissingPaddingAfterTheLastData) {
    auto image = restest::ResImage({{O(10), O(1), 0x0409, {9}}});
    image.resize(image.size() - 3);  // drop the padding after the one data byte
    const auto entries = standin::ParseResourceImage(image);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].data, std::vector<std::uint8_t>{9});
}

TEST(ResourceImage, DescribesNamesAndOrdinalsForMessages) {
    EXPECT_EQ(O(101).Describe(), "#101");
    EXPECT_EQ(N(u"D\u00E9j\u00E0").Describe(), "\"D\xC3\xA9j\xC3\xA0\"");
    EXPECT_TRUE(N(u"").IsEmpty());
    EXPECT_FALSE(O(0).IsEmpty());
}

// ---- String blocks -------------------------------------------------------------

TEST(StringBlock, MapsStringIdsToBlocksOfSixteen) {
    EXPECT_EQ(standin::StringBlockId(0), 1);
    EXPECT_EQ(standin::StringBlockId(15), 1);
    EXPECT_EQ(standin::StringBlockId(16), 2);
    EXPECT_EQ(standin::StringBlockId(0xFFFF), 4096);
    EXPECT_EQ(standin::StringIndexInBlock(17), 1u);
}

TEST(StringBlock, ReadsSixteenLengthPrefixedStringsAndIgnoresTrailingBytes) {
    auto data = restest::StringBlock(Strings({{0, u"zero"}, {7, u"\u00B1\u00B0"}, {15, u"last"}}));
    data.push_back(0xAB);
    data.push_back(0xCD);
    const auto texts = standin::ParseStringBlock(data, 2, 100);
    EXPECT_EQ(texts[0], u"zero");
    EXPECT_EQ(texts[7], u"\u00B1\u00B0");
    EXPECT_EQ(texts[15], u"last");
    EXPECT_TRUE(texts[1].empty());
}

TEST(ModuleResources, FindsStringsAcrossBlocks) {
    const auto image = restest::ResImage({
        StringBlockSpec(1, 0x0409, {{1, u"One"}, {15, u"Fifteen"}}),
        StringBlockSpec(3, 0x0409, {{8, u"Forty"}}),
    });
    const standin::ModuleResources resources(image);
    EXPECT_EQ(resources.FindString(1), u"One");
    EXPECT_EQ(resources.FindString(15), u"Fifteen");
    EXPECT_EQ(resources.FindString(40), u"Forty");
    EXPECT_FALSE(resources.FindString(0));        // empty slot of an existing block
    EXPECT_FALSE(resources.FindString(16));       // block 2 does not exist
    EXPECT_FALSE(resources.FindString(0x10001));  // beyond any string ID
}

struct LanguageCase {
    const char* name;
    std::vector<std::uint16_t> languages;  // of the blocks, in image order
    std::uint16_t chosen;
};

// gtest shows a case by its name in failure messages and test listings.
void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class StringLanguage : public testing::TestWithParam<LanguageCase> {};

TEST_P(StringLanguage, PrefersNeutralThenUsEnglishThenEnglishThenFirst) {
    std::vector<restest::ResourceSpec> specs;
    for (const std::uint16_t language : GetParam().languages) {
        std::u16string text = u"lang ";
        text += static_cast<char16_t>(u'A' + (language % 26));
        specs.push_back(StringBlockSpec(1, language, {{1, text}}));
    }
    const standin::ModuleResources resources(restest::ResImage(specs));
    std::u16string expected = u"lang ";
    expected += static_cast<char16_t>(u'A' + (GetParam().chosen % 26));
    EXPECT_EQ(resources.FindString(1), expected);
    const auto* entry = resources.Find(O(6), O(1));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->languageId, GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, StringLanguage,
    testing::Values(LanguageCase{"OnlyGerman", {0x0407}, 0x0407},
                    LanguageCase{"UsEnglishOverGerman", {0x0407, 0x0409}, 0x0409},
                    LanguageCase{"NeutralOverUsEnglish", {0x0409, 0x0000}, 0x0000},
                    LanguageCase{"BritishOverGerman", {0x0407, 0x0809}, 0x0809},
                    LanguageCase{"FirstOfTwoOthers", {0x040C, 0x0407}, 0x040C}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Dialog templates ------------------------------------------------------------

restest::DialogSpec FullDialog() {
    restest::DialogSpec d;
    d.helpId = 5;
    d.exStyle = 0x00010000;
    d.style = 0x50000040;
    d.x = -3;
    d.y = 4;
    d.cx = 217;
    d.cy = 180;
    d.menu = O(200);
    d.windowClass = N(u"MyClass");
    d.title = u"Caption";
    d.pointSize = 8;
    d.weight = 700;
    d.italic = 1;
    d.charset = 2;
    d.typeface = u"MS Sans Serif";
    restest::ControlSpec edit;
    edit.helpId = 77;
    edit.exStyle = 0x200;
    edit.style = 0x50010000;
    edit.x = 54;
    edit.y = 18;
    edit.cx = 35;
    edit.cy = 10;
    edit.id = 1490;
    edit.windowClass = N(u"CustEdit");
    edit.title = N(u"");
    restest::ControlSpec label;
    label.style = 0x50020002;
    label.id = -1;
    label.windowClass = O(0x0082);
    label.title = N(u"Hue Shift (\u00B1\u00B0):");
    restest::ControlSpec icon;
    icon.id = 7;
    icon.windowClass = O(0x0080);
    icon.title = O(300);
    icon.extra = {1, 2, 3};
    d.controls = {edit, label, icon};
    return d;
}

TEST(DialogTemplate, ReadsEveryFieldOfTheHeaderAndControls) {
    const auto bytes = restest::DialogTemplate(FullDialog());
    const auto dialog = standin::ParseDialogTemplate(bytes, 1000);
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF);
    EXPECT_EQ(dialog.helpId, 5u);
    EXPECT_EQ(dialog.exStyle, 0x00010000u);
    EXPECT_EQ(dialog.style, 0x50000040u);
    EXPECT_EQ(dialog.x, -3);
    EXPECT_EQ(dialog.y, 4);
    EXPECT_EQ(dialog.cx, 217);
    EXPECT_EQ(dialog.cy, 180);
    EXPECT_EQ(dialog.menu, O(200));
    EXPECT_EQ(dialog.windowClass, N(u"MyClass"));
    EXPECT_EQ(dialog.title, u"Caption");
    ASSERT_TRUE(dialog.font.has_value());
    EXPECT_EQ(dialog.font->pointSize, 8);
    EXPECT_EQ(dialog.font->weight, 700);
    EXPECT_EQ(dialog.font->italic, 1);
    EXPECT_EQ(dialog.font->charset, 2);
    EXPECT_EQ(dialog.font->typeface, u"MS Sans Serif");

    ASSERT_EQ(dialog.controls.size(), 3u);
    const auto& edit = dialog.controls[0];
    EXPECT_EQ(edit.helpId, 77u);
    EXPECT_EQ(edit.exStyle, 0x200u);
    EXPECT_EQ(edit.style, 0x50010000u);
    EXPECT_EQ(edit.x, 54);
    EXPECT_EQ(edit.y, 18);
    EXPECT_EQ(edit.cx, 35);
    EXPECT_EQ(edit.cy, 10);
    EXPECT_EQ(edit.id, 1490);
    EXPECT_EQ(edit.ClassName(), u"CustEdit");
    EXPECT_EQ(edit.Text(), u"");
    // Menu, class, title and font take the header to 96 bytes: the first control.
    EXPECT_EQ(edit.offset, 1096u);

    const auto& label = dialog.controls[1];
    EXPECT_EQ(label.id, -1);
    EXPECT_EQ(label.windowClass, O(0x0082));
    EXPECT_EQ(label.ClassName(), u"Static");
    EXPECT_EQ(label.Text(), u"Hue Shift (\u00B1\u00B0):");
    EXPECT_EQ(label.offset % 4, 0u);

    const auto& icon = dialog.controls[2];
    EXPECT_EQ(icon.title, O(300));
    EXPECT_EQ(icon.Text(), u"");
    EXPECT_EQ(icon.extra, (std::vector<std::uint8_t>{1, 2, 3}));

    EXPECT_EQ(dialog.FindControl(1490), &dialog.controls[0]);
    EXPECT_EQ(dialog.FindControl(-1), &dialog.controls[1]);
    EXPECT_EQ(dialog.FindControl(4242), nullptr);
}

TEST(DialogTemplate, HasNoFontWithoutSetFontStyle) {
    auto item = FullDialog();
    item.style = 0x80000000;  // WS_POPUP only
    const auto dialog = standin::ParseDialogTemplate(restest::DialogTemplate(item), 0);
    EXPECT_FALSE(dialog.font.has_value());
    ASSERT_EQ(dialog.controls.size(), 3u);
    EXPECT_EQ(dialog.controls[0].ClassName(), u"CustEdit");
}

TEST(DialogTemplate, IgnoresBytesAfterTheLastControl) {
    auto bytes = restest::DialogTemplate(FullDialog());
    bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x01});
    EXPECT_EQ(standin::ParseDialogTemplate(bytes, 0).controls.size(), 3u);
}

struct ClassCase {
    NameOrOrdinal windowClass;
    std::u16string name;
    std::u16string matches;  // compared ignoring ASCII case
};

TEST(DialogControl, NamesPredefinedClassAtomsAndMatchesClassesIgnoringCase) {
    const std::vector<ClassCase> cases = {
        {O(0x0080), u"Button", u"BUTTON"},       {O(0x0081), u"Edit", u"edit"},
        {O(0x0082), u"Static", u"static"},       {O(0x0083), u"ListBox", u"listbox"},
        {O(0x0084), u"ScrollBar", u"ScrollBar"}, {O(0x0085), u"ComboBox", u"COMBOBOX"},
        {O(0x0099), u"#153", u"#153"},           {N(u"CustButton"), u"CustButton", u"custbutton"},
    };
    for (const auto& c : cases) {
        standin::DialogControl control;
        control.windowClass = c.windowClass;
        EXPECT_EQ(control.ClassName(), c.name);
        EXPECT_TRUE(control.HasClass(c.matches));
        EXPECT_FALSE(control.HasClass(u"Other"));
    }
}

TEST(ModuleResources, FindsDialogsByOrdinalAndByName) {
    const auto image = restest::ResImage({
        {O(5), O(101), 0x0409, restest::DialogTemplate(FullDialog())},
        {O(5), N(u"NAMED"), 0x0409, restest::DialogTemplate(restest::DialogSpec{})},
    });
    const standin::ModuleResources resources(image);
    ASSERT_NE(resources.FindDialog(101), nullptr);
    EXPECT_EQ(resources.FindDialog(101)->controls.size(), 3u);
    ASSERT_NE(resources.FindDialog(N(u"NAMED")), nullptr);
    EXPECT_TRUE(resources.FindDialog(N(u"NAMED"))->controls.empty());
    EXPECT_EQ(resources.FindDialog(102), nullptr);
    EXPECT_EQ(resources.Find(O(5), O(101), 0x0407), nullptr);
    EXPECT_NE(resources.Find(O(5), O(101), 0x0409), nullptr);
}

// ---- Malformed bytes ------------------------------------------------------------

struct MalformedCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;
    std::size_t offset;
    const char* message;  // must appear in the error
};

// gtest shows a case by its name in failure messages and test listings.
void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

void Patch32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> OneStringBlock() {
    return restest::ResImage({StringBlockSpec(1, 0x0409, {{1, u"One"}})});
}

std::vector<std::uint8_t> ImageWithDialog(const std::vector<std::uint8_t>& dialog) {
    return restest::ResImage({{O(5), O(101), 0x0409, dialog}});
}

// Offsets: the leading entry takes bytes 0-31; the next header starts at 32
// (DataSize 32, HeaderSize 36, type 40, name 44) and, with ordinal type and
// name, its data at 64. In FullDialog() the typeface starts 68 bytes into
// the template, the first control 96 (its id 116, its class 120); the
// template is 245 bytes long.
constexpr std::size_t kTypeface = 68;
constexpr std::size_t kFirstControl = 96;
constexpr std::size_t kFullDialogSize = 245;
const MalformedCase kMalformedCases[] = {
    {"EmptyImage", [] { return std::vector<std::uint8_t>{}; }, 0, "the image is empty"},
    {"CutInsideLeadingEntry",
     [] {
         auto b = restest::ResImage({});
         b.resize(10);
         return b;
     },
     4, "HeaderSize 32 runs past the end of the image (10 bytes left)"},
    {"CutInsideDataSize",
     [] {
         auto b = restest::ResImage({});
         b.resize(2);
         return b;
     },
     0, "truncated RESOURCEHEADER.DataSize: needs 4 byte(s), 2 left"},
    {"NoLeadingEmptyEntry",
     [] {
         restest::Bytes b;
         restest::AppendEntry(b, StringBlockSpec(1, 0x0409, {{1, u"One"}}));
         return b.data;
     },
     0, "not a 32-bit compiled resource image"},
    {"HeaderSizeTooSmall",
     [] {
         auto b = OneStringBlock();
         Patch32(b, 36, 16);
         return b;
     },
     36, "HeaderSize 16 is smaller than the smallest header"},
    {"HeaderSizePastEnd",
     [] {
         auto b = OneStringBlock();
         Patch32(b, 36, 0x7FFFFFF0);
         return b;
     },
     36, "runs past the end of the image"},
    {"DataSizePastEnd",
     [] {
         auto b = OneStringBlock();
         Patch32(b, 32, 0xFFFFFFFF);
         return b;
     },
     32, "DataSize 4294967295 of resource #6/#1 runs past the end of the image"},
    {"HeaderTooSmallForItsFields",
     [] {
         // Type and name strings fill the 32 declared bytes: no room for the rest.
         auto b = restest::ResImage({{N(u"ABCDEFG"), N(u"HIJKLMN"), 0x0409, {}}});
         Patch32(b, 36, 40);
         return b;
     },
     72, "truncated RESOURCEHEADER.DataVersion"},
    {"UnterminatedTypeName",
     [] {
         restest::Bytes b;
         b.Append(restest::ResImage({}));
         b.U32(0).U32(32);
         for (int i = 0; i < 12; ++i) b.U16(u'A');
         return b.data;
     },
     40, "unterminated RESOURCEHEADER.Type"},
    {"EmptyTypeName",
     [] {
         auto b = OneStringBlock();
         b[40] = 0;  // the type becomes an empty string
         b[41] = 0;
         return b;
     },
     40, "RESOURCEHEADER.Type is an empty string"},
    {"OrdinalMarkerWithoutOrdinal",
     [] {
         // A long type name pushes the name's ordinal marker to the header's
         // last two bytes: the ordinal itself lies outside the header.
         restest::Bytes b;
         b.Append(restest::ResImage({}));
         b.U32(0).U32(32).Utf16Z(u"ABCDEFGHIJ").U16(0xFFFF);
         for (int i = 0; i < 8; ++i) b.U16(7);
         return b.data;
     },
     64, "truncated RESOURCEHEADER.Name"},
    {"DuplicateResource",
     [] {
         return restest::ResImage({StringBlockSpec(1, 0x0409, {{1, u"One"}}),
                                   StringBlockSpec(1, 0x0409, {{1, u"Again"}})});
     },
     104, "duplicate resource #6/#1 language 0x0409 (first at byte offset 32)"},
    {"TrailingBytesAfterLastEntry",
     [] {
         auto b = OneStringBlock();
         b.insert(b.end(), {1, 2, 3});
         return b;
     },
     104, "truncated RESOURCEHEADER.DataSize"},
    {"StringRunsPastBlock",
     [] {
         restest::Bytes data;
         data.U16(5).U16(u'a');
         return restest::ResImage({{O(6), O(1), 0x0409, data.data}});
     },
     66, "string 0 of 5 UTF-16 units runs past the end of the block (2 bytes left)"},
    {"BlockWithTooFewStrings",
     [] {
         restest::Bytes data;
         data.U16(0).U16(0).U16(0);
         return restest::ResImage({{O(6), O(2), 0x0409, data.data}});
     },
     70, "string block #2 (strings 16-31): truncated length of string 19"},
    {"StringBlockNamedByText",
     [] {
         return restest::ResImage({{O(6), N(u"BLOCK"), 0x0409, restest::StringBlock(Strings({}))}});
     },
     32, "string blocks must be named by number"},
    {"StringBlockZero",
     [] {
         return restest::ResImage({{O(6), O(0), 0x0409, restest::StringBlock(Strings({}))}});
     },
     64, "string block #0: no such block"},
    {"ClassicDialogTemplate",
     [] {
         auto d = restest::DialogTemplate(FullDialog());
         d[0] = 0;  // dlgVer 0: not an extended template
         return ImageWithDialog(d);
     },
     64,
     "not an extended dialog template (DIALOGEX): expected dlgVer 1 and signature 0xFFFF, "
     "found dlgVer 0"},
    {"DialogCutInHeader",
     [] {
         auto d = restest::DialogTemplate(FullDialog());
         d.resize(14);
         return ImageWithDialog(d);
     },
     64 + 12, "dialog #101 (language 0x0409): truncated style: needs 4 byte(s), 2 left"},
    {"DialogTitleUnterminated",
     [] {
         restest::Bytes d;
         d.U16(1).U16(0xFFFF).U32(0).U32(0).U32(0).U16(0).I16(0).I16(0).I16(1).I16(1);
         d.U16(0).U16(0).U16(u'T').U16(u'i');
         return ImageWithDialog(d.data);
     },
     64 + 30, "unterminated title"},
    {"DialogTypefaceUnterminated",
     [] {
         auto d = restest::DialogTemplate(FullDialog());
         d.resize(kTypeface + 4);
         return ImageWithDialog(d);
     },
     64 + kTypeface, "unterminated typeface"},
    {"FewerControlsThanDeclared",
     [] {
         auto item = FullDialog();
         auto d = restest::DialogTemplate(item);
         d[16] = 5;  // cDlgItems 5, three present
         return ImageWithDialog(d);
     },
     64 + kFullDialogSize, "declares 5 controls but its data ends after 3"},
    {"ControlCutInsideId",
     [] {
         auto d = restest::DialogTemplate(FullDialog());
         d.resize(kFirstControl + 22);
         return ImageWithDialog(d);
     },
     64 + kFirstControl + 20, "control 1 of 3: truncated control id: needs 4 byte(s), 2 left"},
    {"ControlClassUnterminated",
     [] {
         auto d = restest::DialogTemplate(FullDialog());
         d.resize(kFirstControl + 24 + 6);  // "Cus" of "CustEdit" and nothing more
         return ImageWithDialog(d);
     },
     64 + kFirstControl + 24, "control 1 of 3: unterminated control windowClass"},
    {"ControlCreationDataPastEnd",
     [] {
         auto item = FullDialog();
         item.controls.resize(1);
         item.controls[0].extra = {1, 2, 3, 4};
         auto d = restest::DialogTemplate(item);
         d.resize(d.size() - 2);
         return ImageWithDialog(d);
     },
     64 + kFirstControl + 46, "truncated control creation data: needs 4 byte(s), 2 left"},
};

class MalformedResources : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedResources, AreRefusedWithWhatAndWhere) {
    const auto bytes = GetParam().bytes();
    try {
        standin::ParseModuleResources(bytes);
        FAIL() << "no error for " << GetParam().name;
    } catch (const standin::ResourceFormatError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(GetParam().message), std::string::npos) << what;
        EXPECT_EQ(e.Offset(), GetParam().offset) << what;
        EXPECT_NE(what.find("byte offset " + std::to_string(e.Offset())), std::string::npos)
            << what;
        EXPECT_LE(e.Offset(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, MalformedResources, testing::ValuesIn(kMalformedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MalformedResources, EveryTruncationOfAGoodImageFailsCleanly) {
    // Every prefix of a valid image is either valid or reported, never read past.
    const auto image = restest::ResImage({
        StringBlockSpec(1, 0x0409, {{1, u"One"}, {2, u"Two"}}),
        {O(5), O(101), 0x0409, restest::DialogTemplate(FullDialog())},
    });
    std::size_t refused = 0;
    for (std::size_t size = 0; size < image.size(); ++size) {
        const std::vector<std::uint8_t> prefix(image.begin(), image.begin() + size);
        try {
            standin::ParseModuleResources(prefix);
        } catch (const standin::ResourceFormatError& e) {
            EXPECT_LE(e.Offset(), size);
            ++refused;
        }
    }
    // Valid prefixes: the leading entry alone (32 bytes), the image up to the
    // end of the string block (108), the dialog without its padding (3 sizes).
    EXPECT_EQ(refused, image.size() - 5);
}

}  // namespace
