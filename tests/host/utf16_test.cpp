// Text conversions between resource UTF-16, wide strings and UTF-8.
#include "platform/utf16.h"
#include "sdk/host_file_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TextCase {
    const char* name;
    std::u16string utf16;
    std::string utf8;
};

const std::vector<TextCase> kWellFormed = {
    {"Empty", u"", ""},
    {"Ascii", u"Nacrelle Parameters", "Nacrelle Parameters"},
    {"TwoByteUtf8", u"Hue Shift (\u00B1\u00B0):", "Hue Shift (\xC2\xB1\xC2\xB0):"},
    {"ThreeByteUtf8", u"snowman \u2603", "snowman \xE2\x98\x83"},
    {"SurrogatePair", u"clef \U0001D11E!", "clef \xF0\x9D\x84\x9E!"},
    {"LargestCodePoint", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
};

TEST(Utf16, ConvertsWellFormedTextBothWays) {
    for (const auto& c : kWellFormed) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(standin::Utf16ToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(standin::Utf8ToUtf16(c.utf8), c.utf16);
        const std::wstring wide = standin::Utf16ToWide(c.utf16);
        EXPECT_EQ(standin::WideToUtf16(wide), c.utf16);
        EXPECT_EQ(standin::WideToUtf8(wide), c.utf8);
    }
}

TEST(Utf16, WideStringsHoldOneCharacterPerCodePointWhereWcharIs32Bits) {
    const std::wstring wide = standin::Utf16ToWide(u"a\U0001D11Eb");
    if constexpr (sizeof(wchar_t) == 4) {
        ASSERT_EQ(wide.size(), 3u);
        EXPECT_EQ(static_cast<char32_t>(wide[1]), U'\U0001D11E');
    } else {
        ASSERT_EQ(wide.size(), 4u);
    }
}

TEST(Utf16, ReplacesUnpairedSurrogatesAndMalformedUtf8) {
    const std::u16string loneHigh = {u'a', char16_t(0xD834), u'b'};
    const std::u16string loneLow = {char16_t(0xDD1E), u'c'};
    const std::u16string highAtEnd = {u'd', char16_t(0xD834)};
    EXPECT_EQ(standin::Utf16ToUtf8(loneHigh),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(standin::Utf16ToUtf8(loneLow),
              "\xEF\xBF\xBD"
              "c");
    EXPECT_EQ(standin::Utf16ToUtf8(highAtEnd), "d\xEF\xBF\xBD");
    if constexpr (sizeof(wchar_t) == 4) {
        EXPECT_EQ(standin::Utf16ToWide(loneHigh), L"a\uFFFDb");
        const std::wstring invalid = {wchar_t(0x110000), wchar_t(0xD800)};
        EXPECT_EQ(standin::WideToUtf8(invalid), "\xEF\xBF\xBD\xEF\xBF\xBD");
    }

    struct Utf8Case {
        const char* name;
        std::string bytes;
        std::u16string expected;
    };
    const std::vector<Utf8Case> cases = {
        {"StrayContinuation", "a\x80z", u"a\uFFFDz"},
        {"TruncatedSequence", "a\xE2\x98", u"a\uFFFD"},
        {"TruncatedThenAscii", "\xE2\x98z", u"\uFFFDz"},
        {"Overlong", "\xC0\xAF", u"\uFFFD"},
        {"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD"},
        {"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD"},
        {"InvalidLead", "\xFF", u"\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(standin::Utf8ToUtf16(c.bytes), c.expected);
    }
}

#if !defined(_WIN32)  // Windows names are UTF-16 throughout: no stray bytes
// File names keep every byte through the host's text and its UTF-16 form (as
// a scene file stores it), valid UTF-8 or not.
TEST(FileNames, EveryByteSurvivesHostTextAndUtf16) {
    const std::vector<std::string> names = {
        "plain.png",
        "caf\xC3\xA9.png",
        "bad\xFFname.png",
        "cut\xE2\x82.png",
        "\xC0\xAF overlong",
        "escape-like \xF4\x8F\xBC\x80 and \xF4\x8F\xBF\xBF",
        std::string("\x80\xFE", 2),
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const MSTR host = standin::FileNameToHost(name);
        EXPECT_EQ(standin::FileNameFromHost(host).native(), name);
        const std::u16string stored = standin::WideToUtf16(host.data());
        EXPECT_EQ(standin::FileNameFromHost(MSTR(standin::Utf16ToWide(stored).c_str())).native(),
                  name);
    }
}
#endif

}  // namespace
