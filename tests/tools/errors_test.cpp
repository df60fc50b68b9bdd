// Every way a command can go wrong: one clear line on standard error, exit
// code 2 for a wrong command line and 1 for work that could not be done, and
// the working directory exactly as it was (no output file, no temporary file,
// every existing file unchanged).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "png_file.h"
#include "png_test_writer.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

constexpr int kUsage = 2;
constexpr int kFailure = 1;

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void truncateToHalf(const std::filesystem::path& path) {
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
}

/// A scene file made by the program itself.
void makeScene(const std::filesystem::path& dir, const std::vector<std::string>& settings = {}) {
    std::vector<std::string> arguments{"scene", "new", "s.nscene"};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    const RunResult result =
        runProgram(programPath(), arguments, dir, {{"NACRELLE_PLUGIN", std::nullopt}});
    ASSERT_EQ(result.exitCode, 0) << describe(result);
}

void makeGreyPng(const std::filesystem::path& path) {
    writeGreyPng(path, 16, 16, std::vector<std::uint8_t>(256, 100));
}

/// A palette image of two colours whose last pixel uses entry 5.
void makePalettePngPastItsPalette(const std::filesystem::path& path) {
    pngtest::WriteBytes(
        path, pngtest::EncodePng(
                  {3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 5}, {{{0, 0, 0}}, {{255, 255, 255}}}}));
}

/// A number with more digits than any double can hold.
const std::string kFourHundredDigits = "1" + std::string(399, '0');

struct ErrorCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    /// Texts the message must hold (what is wrong, and where).
    std::vector<std::string> mentions;
    std::function<void(const std::filesystem::path& dir)> prepare = {};
    std::vector<EnvironmentChange> environment = {};
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

const ErrorCase kErrorCases[] = {
    // ---- Usage errors: the command line is wrong --------------------------------
    {"UnknownScriptName",
     {"render", "--set", "bogus=1", "-o", "out.png"},
     kUsage,
     {"bogus", "thicknessmax", "thicknessmin", "nfilm", "gamma", "hue", "sat"}},
    {"UnknownScriptNameInEval", {"eval", "--cosine", "1", "--set", "Bogus=1"}, kUsage, {"Bogus"}},
    {"UnknownScriptNameInSceneNew",
     {"scene", "new", "s.nscene", "--set", "bogus=1"},
     kUsage,
     {"bogus", "thicknessmax"}},
    {"UnknownOutputSetting",
     {"render", "--output", "brightness=1", "-o", "out.png"},
     kUsage,
     {"brightness", "rgblevel"}},
    {"UnknownThicknessMapSetting",
     {"render", "--thickness-map", "noise", "--map-set", "colour=1", "-o", "out.png"},
     kUsage,
     {"colour", "size"}},
    {"ValueOutOfRange",
     {"render", "--set", "thicknessmax=5000", "-o", "out.png"},
     kUsage,
     {"thicknessmax", "5000", "0 to 3000"}},
    {"ValueBelowRange", {"eval", "--cosine", "1", "--set", "nfilm=0.1"}, kUsage, {"0.2 to 100"}},
    {"KeyValueOutOfRange",
     {"render", "--key", "hue@5=500", "-o", "out.png"},
     kUsage,
     {"hue", "-180 to 180"}},
    {"OutputValueOutOfRange",
     {"render", "--output", "rgblevel=5000", "-o", "out.png"},
     kUsage,
     {"rgblevel", "-1000 to 1000"}},
    {"ThicknessMapValueOutOfRange",
     {"render", "--thickness-map", "noise", "--map-set", "levels=50", "-o", "out.png"},
     kUsage,
     {"levels", "1 to 10"}},
    {"ValueOutOfRangeInSceneNew",
     {"scene", "new", "s.nscene", "--set", "gamma=50"},
     kUsage,
     {"gamma", "0.05 to 20"}},
    {"MalformedNumber", {"render", "--set", "nfilm=abc", "-o", "out.png"}, kUsage, {"abc"}},
    {"NumberWithTrailingText",
     {"render", "--set", "nfilm=1.5x", "-o", "out.png"},
     kUsage,
     {"1.5x"}},
    {"MalformedOptionNumber",
     {"render", "--size", "big", "-o", "out.png"},
     kUsage,
     {"--size", "big"}},
    {"MalformedCosine", {"eval", "--cosine", "half"}, kUsage, {"--cosine", "half"}},
    {"MalformedVector", {"eval", "--normal", "1,2", "--view", "0,0,-1"}, kUsage, {"1,2", "X,Y,Z"}},
    {"ZeroVector", {"eval", "--normal", "0,0,0", "--view", "0,0,-1"}, kUsage, {"--normal"}},
    {"MalformedAssignment", {"render", "--set", "nfilm", "-o", "out.png"}, kUsage, {"NAME=VALUE"}},
    {"MalformedName", {"render", "--set", "n film=1", "-o", "out.png"}, kUsage, {"n film=1"}},
    {"MalformedKey", {"render", "--key", "hue=90", "-o", "out.png"}, kUsage, {"NAME@FRAME=VALUE"}},
    {"MalformedKeyFrame", {"render", "--key", "hue@x=90", "-o", "out.png"}, kUsage, {"x"}},
    {"MalformedAssignmentInSceneSet",
     {"scene", "set", "s.nscene", "gamma"},
     kUsage,
     {"gamma", "NAME=VALUE"},
     [](const auto& dir) { makeScene(dir); }},
    {"NothingToSet",
     {"scene", "set", "s.nscene"},
     kUsage,
     {"nothing to set"},
     [](const auto& dir) { makeScene(dir); }},
    {"MalformedFrameRange", {"render", "--frames", "5", "-o", "out.png"}, kUsage, {"FIRST-LAST"}},
    {"BackwardFrameRange", {"render", "--frames", "5-2", "-o", "out.png"}, kUsage, {"5-2"}},
    {"MalformedSwitch", {"render", "--use-map", "maybe", "-o", "out.png"}, kUsage, {"maybe"}},
    {"UnknownThicknessMap",
     {"render", "--thickness-map", "wood", "-o", "out.png"},
     kUsage,
     {"wood", "noise"}},
    {"MapSettingWithoutMap",
     {"render", "--map-set", "size=1", "-o", "out.png"},
     kUsage,
     {"--thickness-map"}},
    {"FrameRangeWithKeyOutOfRange",
     {"render", "--size", "8", "--frames", "1-3", "--key", "hue@2=500", "-o", "anim.png"},
     kUsage,
     {"-180 to 180"}},
    {"SceneRenderWithValueOutOfRange",
     {"scene", "render", "s.nscene", "--set", "sat=101", "-o", "out.png"},
     kUsage,
     {"sat", "-100 to 100"},
     [](const auto& dir) { makeScene(dir); }},
    {"CosineOutOfRange", {"eval", "--cosine", "1.5"}, kUsage, {"1.5", "0 and 1"}},
    {"NowhereToLook", {"eval"}, kUsage, {"--cosine"}},
    {"NegativeThreads", {"render", "--threads", "-2", "-o", "out.png"}, kUsage, {"--threads"}},
    {"ImageTooLarge", {"render", "--size", "100000", "-o", "out.png"}, kUsage, {"16384"}},
    {"EmptyImage", {"render", "--width", "0", "-o", "out.png"}, kUsage, {"0"}},
    {"ViewportTooLarge", {"render", "--viewport", "--size", "5000", "-o", "out.png"}, kUsage,
     {"--viewport", "4096"}},
    {"ViewportNotSquare", {"render", "--viewport", "--width", "64", "-o", "out.png"}, kUsage,
     {"--size"}},
    {"FrameOutsideTime", {"eval", "--cosine", "1", "--frame", "1e12"}, kUsage, {"--frame"}},
    {"KeyFrameOutsideTime",
     {"render", "--key", "hue@1e12=5", "-o", "out.png"},
     kUsage,
     {"hue@1e12=5"}},
    {"EmptyChartRange", {"chart", "--thickness", "5:5", "-o", "out.png"}, kUsage, {"5:5"}},
    {"ChartRangeBeyondThicknessRange",
     {"chart", "--thickness", "0:5000", "-o", "out.png"},
     kUsage,
     {"5000", "3000"}},
    {"ChartTooSmall", {"chart", "--width", "20", "-o", "out.png"}, kUsage, {"20"}},
#ifndef _WIN32
    // ---- match: the colour, the angle, the ranges, the files --------------------
    {"MatchColourNotAColour", {"match", "purple"}, kUsage, {"purple", "#6a3fa0", "r,g,b"}},
    {"MatchHexOfFiveDigits", {"match", "#6a3fa"}, kUsage, {"#6a3fa"}},
    {"MatchLinearOfTwoValues", {"match", "0.1,0.2"}, kUsage, {"0.1,0.2", "X,Y,Z"}},
    {"MatchLinearAboveOne", {"match", "0.1,2,0.3"}, kUsage, {"0.1,2,0.3", "between 0 and 1"}},
    {"MatchAngleAboveNinety", {"match", "#6a3fa0", "--angle", "91"}, kUsage, {"91", "0 to 90"}},
    {"MatchAngleBelowZero", {"match", "#6a3fa0", "--angle", "-1"}, kUsage, {"-1", "0 to 90"}},
    {"MatchEmptyRange", {"match", "#6a3fa0", "--thickness", "500:500"}, kUsage, {"500", "empty"}},
    {"MatchReversedRange", {"match", "#6a3fa0", "--thickness", "500:100"}, kUsage, {"empty"}},
    {"MatchRangeBeyondThickness",
     {"match", "#6a3fa0", "--thickness", "0:5000"},
     kUsage,
     {"5000", "3000"}},
    {"MatchVaryNotAnIndex", {"match", "#6a3fa0", "--vary", "gamma=1:2"}, kUsage, {"gamma", "nfilm"}},
    {"MatchVaryEmpty", {"match", "#6a3fa0", "--vary", "nfilm=2:1"}, kUsage, {"nfilm", "empty"}},
    {"MatchVaryWithoutRange", {"match", "#6a3fa0", "--vary", "nfilm=1.5"}, kUsage, {"1.5", "FROM:TO"}},
    {"MatchVaryHiddenIndex",
     {"match", "#6a3fa0", "--preset", "anodised-titanium", "--vary", "ninternal=1:2"},
     kUsage,
     {"ninternal", "metal"}},
    {"MatchCountZero", {"match", "#6a3fa0", "--count", "0"}, kUsage, {"--count", "0"}},
    {"MatchStripToStandardOutput", {"match", "#6a3fa0", "--strip", "-"}, kUsage, {"--strip -"}},
    {"MatchStripNotPng", {"match", "#6a3fa0", "--strip", "strip.jpg"}, kUsage, {"strip.jpg", ".png"}},
    {"MatchSceneAndApply",
     {"match", "#6a3fa0", "--scene", "s.nscene", "--apply", "s.nscene"},
     kUsage,
     {"--scene", "--apply"},
     [](const auto& dir) { makeScene(dir); }},
    {"MatchApplyToMissingScene", {"match", "#6a3fa0", "--apply", "none.nscene"}, kFailure, {"none.nscene"}},
#else
    {"MatchWithoutLittleCms", {"match", "#6a3fa0"}, kFailure, {"match", "LittleCMS"}},
#endif
    {"UnknownOption", {"render", "--bogus", "-o", "out.png"}, kUsage, {"--bogus"}},
    {"UnknownCommand", {"frobnicate"}, kUsage, {"frobnicate"}},
    {"NoCommand", {}, kUsage, {"render"}},
    {"StrayArgument", {"render", "stray", "-o", "out.png"}, kUsage, {"stray"}},
    {"FrameAndTime",
     {"render", "--frame", "1", "--time", "5", "-o", "out.png"},
     kUsage,
     {"--frame", "--time"}},
    {"ChartOutputNotPng", {"chart", "--16bit", "-o", "chart.jpg"}, kUsage, {"chart.jpg", ".png"}},
    {"GalleryOutputNotPng",
     {"gallery", "--16bit", "--force", "-o", "sheet.jpg"},
     kUsage,
     {"sheet.jpg", ".png"}},
    {"OutputWithoutExtension",
     {"render", "--size", "8", "-o", "swatch"},
     kUsage,
     {"swatch", ".png"}},
    {"EmptyPresetName",
     {"render", "--preset", "", "-o", "out.png"},
     kUsage,
     {"preset \"\"", "presets: "}},
    {"HexadecimalValue",
     {"render", "--set", "hue=0x10", "-o", "out.png"},
     kUsage,
     {"hue", "\"0x10\"", "decimal"}},
    {"HexadecimalOption",
     {"render", "--size", "0x10", "-o", "out.png"},
     kUsage,
     {"--size", "decimal"}},
    {"ValueBeyondEveryNumber",
     {"render", "--set", "hue=" + kFourHundredDigits, "-o", "out.png"},
     kUsage,
     {"hue", "\"" + kFourHundredDigits.substr(0, 20), "...\" (400 characters) is out of range"}},
    {"UnavailablePanelControl", {"panel", "--type", "1491=500"}, kUsage, {"1491"}},
    {"UnknownPanelControl", {"panel", "--click", "4242"}, kUsage, {"4242"}},
    {"MalformedPanelText", {"panel", "--type", "1490=lots"}, kUsage, {"lots"}},

    // ---- Failures: the work could not be done ---------------------------------
    {"MissingScene",
     {"render", "--scene", "missing.nscene", "-o", "out.png"},
     kFailure,
     {"missing.nscene"}},
    {"SceneThatIsADirectory",
     {"scene", "show", "folder.nscene"},
     kFailure,
     {"folder.nscene"},
     [](const auto& dir) { std::filesystem::create_directory(dir / "folder.nscene"); }},
    {"SceneThatIsNoScene",
     {"scene", "render", "notes.nscene", "-o", "out.png"},
     kFailure,
     {"notes.nscene", "byte"},
     [](const auto& dir) { writeText(dir / "notes.nscene", "just some notes\n"); }},
    {"TruncatedScene",
     {"scene", "render", "s.nscene", "-o", "out.png"},
     kFailure,
     {"s.nscene", "byte"},
     [](const auto& dir) {
         makeScene(dir, {"--set", "nfilm=1.4"});
         truncateToHalf(dir / "s.nscene");
     }},
    {"TruncatedSceneIsNotChanged",
     {"scene", "set", "s.nscene", "gamma=2"},
     kFailure,
     {"s.nscene"},
     [](const auto& dir) {
         makeScene(dir);
         truncateToHalf(dir / "s.nscene");
     }},
    {"MissingPng",
     {"render", "--thickness-map", "bitmap:missing.png", "-o", "out.png"},
     kFailure,
     {"missing.png"}},
    {"TruncatedPng",
     {"render", "--thickness-map", "bitmap:cut.png", "-o", "out.png"},
     kFailure,
     {"cut.png"},
     [](const auto& dir) {
         makeGreyPng(dir / "cut.png");
         truncateToHalf(dir / "cut.png");
     }},
    {"TextAsPng",
     {"scene", "new", "s.nscene", "--thickness-map", "bitmap:notes.png"},
     kFailure,
     {"notes.png"},
     [](const auto& dir) { writeText(dir / "notes.png", "not an image at all\n"); }},
    {"PalettePngPastItsPalette",
     {"render", "--thickness-map", "bitmap:palette.png", "-o", "out.png"},
     kFailure,
     {"palette.png", "palette entry 5"},
     [](const auto& dir) { makePalettePngPastItsPalette(dir / "palette.png"); }},
    {"SceneWhosePngIsGone",
     {"scene", "render", "s.nscene", "-o", "out.png"},
     kFailure,
     {"grey.png"},
     [](const auto& dir) {
         makeGreyPng(dir / "grey.png");
         makeScene(dir, {"--thickness-map", "bitmap:grey.png"});
         std::filesystem::remove(dir / "grey.png");
     }},
    {"MissingModule",
     {"--plugin", "/nonexistent/Nacrelle.dlt", "render", "-o", "out.png"},
     kFailure,
     {"/nonexistent/Nacrelle.dlt"}},
    {"MissingModuleFromEnvironment",
     {"info"},
     kFailure,
     {"/nonexistent/Other.dlt"},
     {},
     {{"NACRELLE_PLUGIN", "/nonexistent/Other.dlt"}}},
    {"FileThatIsNoModule",
     {"--plugin", "notes.dlt", "scene", "new", "s.nscene"},
     kFailure,
     {"notes.dlt"},
     [](const auto& dir) { writeText(dir / "notes.dlt", "not a module\n"); }},
    {"OutputIntoMissingFolder",
     {"render", "--size", "8", "-o", "nowhere/out.png"},
     kFailure,
     {"nowhere/out.png"}},
    {"OutputIsAFolder",
     {"render", "--size", "8", "-o", "taken.png"},
     kFailure,
     {"taken.png"},
     [](const auto& dir) { std::filesystem::create_directory(dir / "taken.png"); }},
    {"KeyOnAConstant",
     {"scene", "new", "s.nscene", "--key", "thicknessmapenabled@5=true"},
     kUsage,
     {"thicknessmapenabled", "cannot be animated"}},
    {"OutputNotPng", {"render", "--size", "8", "-o", "out.jpg"}, kUsage, {"out.jpg", ".png"}},
    {"SceneIntoMissingFolder", {"scene", "new", "nowhere/s.nscene"}, kFailure, {"nowhere"}},
    // One past the 255 that the file systems here take.
    {"SceneNameTooLong",
     {"scene", "new", std::string(249, 'n') + ".nscene"},
     kFailure,
     {"too long", "256", "at most 255"}},
    {"SceneExistsAlready",
     {"scene", "new", "s.nscene"},
     kFailure,
     {"s.nscene", "--force"},
     [](const auto& dir) { makeScene(dir); }},
};

/// Every file in `dir` with its bytes (folders as empty entries).
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string bytes;
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        files[std::filesystem::relative(entry.path(), dir).string()] = bytes;
    }
    return files;
}

class CommandError : public ProgramTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(CommandError, OneLineTheRightExitCodeAndNothingLeftBehind) {
    const ErrorCase& c = GetParam();
    if (c.prepare) c.prepare(dir());
    if (HasFatalFailure()) return;
    const std::map<std::string, std::string> before = snapshot(dir());

    const RunResult result = run(c.arguments, c.environment);

    EXPECT_EQ(result.exitCode, c.exitCode) << describe(result);
    EXPECT_EQ(result.out, "") << describe(result);
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.rfind("nacrelle: ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "not one line:\n" << result.err;
    for (const std::string& mention : c.mentions) {
        EXPECT_NE(result.err.find(mention), std::string::npos)
            << "the message does not mention \"" << mention << "\":\n"
            << result.err;
    }
    EXPECT_EQ(snapshot(dir()), before) << "the command changed the working directory";
}

INSTANTIATE_TEST_SUITE_P(Errors, CommandError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nacrelle::tools::testing
