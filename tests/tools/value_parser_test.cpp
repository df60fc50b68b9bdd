// The parsers of what users type on the command line.
#include "app/session/value_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"

namespace nacrelle::tools {
namespace {

/// Expects `parse` to throw a BadValue whose message quotes `quoted`.
template <typename Parse>
void expectUsageError(Parse parse, const std::string& quoted) {
    try {
        parse();
        ADD_FAILURE() << "accepted \"" << quoted << "\"";
    } catch (const BadValue& error) {
        EXPECT_NE(std::string(error.what()).find(quoted), std::string::npos)
            << "message: " << error.what();
    }
}

struct NumberCase {
    const char* text;
    double value;
};

TEST(ParseNumber, ReadsDecimalNumbers) {
    for (const NumberCase& c : {NumberCase{"1", 1.0},
                                {"-2.5", -2.5},
                                {"+3", 3.0},
                                {" 4 ", 4.0},
                                {"\t5\t", 5.0},
                                {"1e3", 1000.0},
                                {"2.5E-1", 0.25},
                                {".5", 0.5},
                                {"-0", -0.0},
                                {"0.1", 0.1}}) {
        EXPECT_EQ(parseNumber(c.text, "--x"), c.value) << c.text;
    }
}

TEST(ParseNumber, RefusesWhatIsNoFiniteNumber) {
    for (const char* text : {"", " ", "abc", "1.2.3", "1,5", "1.5x", "x1", "--1", "+-1", "+", "nan",
                             "inf", "-inf", "1e999", "0x10", "1 2"}) {
        expectUsageError([&] { parseNumber(text, "--x"); }, std::string("\"") + text + "\"");
    }
}

TEST(ParseNumber, NamesWhatWasBeingRead) {
    expectUsageError([] { parseNumber("abc", "--cosine"); }, "--cosine");
}

TEST(ParseInteger, ReadsWholeNumbers) {
    for (const auto& [text, value] :
         {std::pair{"12", 12L}, {"-3", -3L}, {"+7", 7L}, {" 8 ", 8L}, {"0", 0L}}) {
        EXPECT_EQ(parseInteger(text, "--n"), value) << text;
    }
}

TEST(ParseInteger, RefusesFractionsAndText) {
    for (const char* text : {"", "1.5", "1e3", "x", "12x", "99999999999999999999999", "- 1"}) {
        expectUsageError([&] { parseInteger(text, "--n"); }, std::string("\"") + text + "\"");
    }
}

TEST(ParseSwitch, ReadsTheUsualSpellings) {
    for (const char* on : {"on", "true", "yes", "1", " on "}) {
        EXPECT_TRUE(parseSwitch(on, "--use-map")) << on;
    }
    for (const char* off : {"off", "false", "no", "0", "off\t"}) {
        EXPECT_FALSE(parseSwitch(off, "--use-map")) << off;
    }
}

TEST(ParseSwitch, RefusesAnythingElse) {
    for (const char* text : {"", "maybe", "2", "onn", "o n", "-1"}) {
        expectUsageError([&] { parseSwitch(text, "--use-map"); }, std::string("\"") + text + "\"");
    }
}

struct VectorCase {
    const char* text;
    double x, y, z;
};

TEST(ParseVector, ReadsThreeNumbers) {
    for (const VectorCase& c : {VectorCase{"1,2,3", 1, 2, 3},
                                {" 1 , -2 , 3.5 ", 1, -2, 3.5},
                                {"0,0,-1", 0, 0, -1},
                                {"1e-3,+2,.5", 1e-3, 2, 0.5}}) {
        const Vector3 v = parseVector(c.text, "--normal");
        EXPECT_EQ(v.x, c.x) << c.text;
        EXPECT_EQ(v.y, c.y) << c.text;
        EXPECT_EQ(v.z, c.z) << c.text;
    }
}

TEST(ParseVector, RefusesOtherShapes) {
    for (const char* text : {"", "1", "1,2", "1,2,3,4", "1,,3", ",2,3", "1,2,", "a,b,c", "1;2;3",
                             "1 2 3", "1,2,nan"}) {
        expectUsageError([&] { parseVector(text, "--normal"); }, "--normal");
    }
}

struct AssignmentCase {
    const char* text;
    const char* name;
    const char* value;
};

TEST(ParseAssignment, SplitsNameAndValue) {
    for (const AssignmentCase& c : {AssignmentCase{"nfilm=1.5", "nfilm", "1.5"},
                                    {" nfilm = 1.5 ", "nfilm", "1.5"},
                                    {"thickness_map2=on", "thickness_map2", "on"},
                                    {"Gamma=2", "Gamma", "2"},
                                    {"file=a=b", "file", "a=b"}}) {
        const Assignment a = parseAssignment(c.text);
        EXPECT_EQ(a.name, c.name) << c.text;
        EXPECT_EQ(a.value, c.value) << c.text;
    }
}

TEST(ParseAssignment, RefusesMalformedText) {
    for (const char* text : {"", "nfilm", "=1.5", " =1.5", "n film=1",
                             "nfilm=", "nfilm=  ", "n-film=1", "hu\xc3\xa9=1", "nfilm:1.5"}) {
        expectUsageError([&] { parseAssignment(text); }, std::string("\"") + text + "\"");
    }
}

struct KeyCase {
    const char* text;
    const char* name;
    double frame;
    const char* value;
};

TEST(ParseKey, SplitsNameFrameAndValue) {
    for (const KeyCase& c : {KeyCase{"hue@10=90", "hue", 10.0, "90"},
                             {"hue@2.5=-90", "hue", 2.5, "-90"},
                             {" sat @ 5 = 20 ", "sat", 5.0, "20"},
                             {"gamma@-3=2", "gamma", -3.0, "2"}}) {
        const KeyAssignment k = parseKey(c.text);
        EXPECT_EQ(k.name, c.name) << c.text;
        EXPECT_EQ(k.frame, c.frame) << c.text;
        EXPECT_EQ(k.value, c.value) << c.text;
    }
}

TEST(ParseKey, RefusesMalformedText) {
    for (const char* text : {"", "hue=90", "hue@10", "hue=90@10", "@10=90", "hue@=90", "hue@x=90",
                             "hue@10=", "h ue@10=90", "hue@1 0=90", "hue@nan=90"}) {
        expectUsageError([&] { parseKey(text); }, std::string("\"") + text + "\"");
    }
}

}  // namespace
}  // namespace nacrelle::tools
