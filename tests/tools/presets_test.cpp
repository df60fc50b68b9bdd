// Presets and the gallery: every preset fits the loaded module, gives the
// core's colour for its values, survives a scene file, and is found in the
// gallery. The presets are read from `nacrelle presets --json`, never
// re-typed here.
#include <gtest/gtest.h>
#include <maps/output_filter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/film_colour.h"
#include "png_file.h"
#include "program_run.h"

namespace nacrelle::tools::testing {
namespace {

class Presets : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        presets_ = nlohmann::json::parse(runOk({"presets", "--json"}).out);
        const nlohmann::json info = nlohmann::json::parse(runOk({"info", "--json"}).out);
        for (const nlohmann::json& p : info["parameters"]) {
            module_[p["scriptName"].get<std::string>()] = p;
        }
        for (const nlohmann::json& p : info["outputFilter"]["parameters"]) {
            output_[p["scriptName"].get<std::string>()] = p;
        }
    }

    /// Every preset, in full.
    const nlohmann::json& presets() const { return presets_; }
    /// The module's parameter `name` as `info --json` reports it.
    const nlohmann::json& parameter(const std::string& name) const { return module_.at(name); }
    /// A preset's output-filter setting `name` (a number; 0 or 1 for a
    /// switch), or the filter's default as `info --json` reports it.
    double outputValue(const nlohmann::json& preset, const std::string& name) const {
        const nlohmann::json& set = preset["output"];
        const nlohmann::json& value = set.contains(name) ? set[name] : output_.at(name)["default"];
        return value.is_boolean() ? double(value.get<bool>()) : value.get<double>();
    }

    /// The colour the core gives for `preset` with the thickness-map value 0,
    /// seen at `cosine`: the module's defaults, changed by the preset.
    Colour coreColour(const nlohmann::json& preset, float cosine) const {
        auto value = [&](const std::string& name) {
            const nlohmann::json& set = preset["parameters"];
            return (set.contains(name) ? set[name] : parameter(name)["default"]).get<float>();
        };
        auto flag = [&](const std::string& name) {
            const nlohmann::json& set = preset["parameters"];
            const nlohmann::json& v = set.contains(name) ? set[name] : parameter(name)["default"];
            return v.is_boolean() ? v.get<bool>() : v.get<double>() != 0.0;
        };
        // The script names of the two thicknesses cross over.
        const FilmStack stack{value("nmedium"), value("nfilm"), value("ninternal"),
                              value("thicknessmax"), value("thicknessmin")};
        const OpticsOptions optics{flag("spectral"), flag("physicalphase"),
                                   static_cast<int>(value("basemetal"))};
        // A spectral metal base reads the table the map makes at update.
        std::optional<MetalFilmTable> metalTable;
        if (optics.spectralOnMetal()) {
            metalTable.emplace(optics.baseMetal, stack.nMedium, stack.nFilm);
        }
        const Colour film = filmColour(cosine, 0.0f, stack,
                                       {value("hue"), value("sat"), value("gamma")}, optics,
                                       &spectralTables(), metalTable ? &*metalTable : nullptr);
        standin::OutputFilterSettings filter;
        filter.outputAmount = float(outputValue(preset, "outputamount"));
        filter.rgbLevel = float(outputValue(preset, "rgblevel"));
        filter.rgbOffset = float(outputValue(preset, "rgboffset"));
        filter.invert = outputValue(preset, "invert") != 0.0;
        filter.clamp = outputValue(preset, "clamp") != 0.0;
        filter.alphaFromRgb = outputValue(preset, "alphafromrgb") != 0.0;
        const AColor out = standin::FilterColour(filter, AColor(film.r, film.g, film.b, film.a));
        return {out.r, out.g, out.b, out.a};
    }

    nlohmann::json eval(const std::vector<std::string>& arguments) const {
        std::vector<std::string> command{"eval", "--json"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return nlohmann::json::parse(runOk(command).out);
    }

private:
    nlohmann::json presets_;
    std::map<std::string, nlohmann::json> module_;
    std::map<std::string, nlohmann::json> output_;
};

TEST_F(Presets, EachFitsTheModuleAndGivesTheCoresColourForItsValues) {
    ASSERT_GE(presets().size(), 8u);
    const nlohmann::json plain = eval({"--cosine", "1"});
    const std::string list = runOk({"presets"}).out;
    for (const nlohmann::json& preset : presets()) {
        const std::string name = preset["name"];
        SCOPED_TRACE(name);
        EXPECT_FALSE(preset["description"].get<std::string>().empty());
        EXPECT_NE(list.find(name + " "), std::string::npos) << list;
        EXPECT_NE(list.find(preset["description"].get<std::string>()), std::string::npos);
        for (const char* source : {"medium", "film", "base", "thickness"}) {
            EXPECT_FALSE(preset["sources"][source].get<std::string>().empty()) << source;
        }
        for (const auto& [parameterName, value] : preset["parameters"].items()) {
            const nlohmann::json& range = parameter(parameterName)["range"];
            if (parameter(parameterName)["type"] == "bool") {
                EXPECT_TRUE(value == 0.0 || value == 1.0) << parameterName;
                continue;
            }
            ASSERT_TRUE(range.is_array()) << parameterName;
            EXPECT_GE(value.get<double>(), range[0].get<double>()) << parameterName;
            EXPECT_LE(value.get<double>(), range[1].get<double>()) << parameterName;
        }

        // A constant map value 0 stands in for the preset's thickness map, if
        // any, so that the thickness is the preset's first.
        for (const float cosine : {1.0f, 0.6f}) {
            const nlohmann::json printed =
                eval({"--preset", name, "--cosine", std::to_string(cosine), "--map-value", "0"});
            const Colour want = coreColour(preset, cosine);
            EXPECT_EQ(printed["r"].get<float>(), want.r) << "cosine " << cosine;
            EXPECT_EQ(printed["g"].get<float>(), want.g) << "cosine " << cosine;
            EXPECT_EQ(printed["b"].get<float>(), want.b) << "cosine " << cosine;
        }
        const nlohmann::json own = eval({"--preset", name, "--cosine", "1"});
        EXPECT_NE(std::vector<double>({own["r"], own["g"], own["b"]}),
                  std::vector<double>({plain["r"], plain["g"], plain["b"]}))
            << "looks like the defaults";

        runOk({"render", "--preset", name, "--size", "24", "-o", name + ".png"});
        EXPECT_EQ(readPng(file(name + ".png")).width, 24);
    }
}

TEST_F(Presets, SceneNewKeepsThePresetAndItsThicknessMapAndSetAdjustsIt) {
    for (const nlohmann::json& preset : presets()) {
        const std::string name = preset["name"];
        SCOPED_TRACE(name);
        runOk({"scene", "new", "s.nscene", "--force", "--preset", name});
        const nlohmann::json map =
            nlohmann::json::parse(runOk({"scene", "show", "s.nscene", "--json"}).out)["map"];
        for (const auto& [parameterName, entry] : map["parameters"].items()) {
            const nlohmann::json& set = preset["parameters"];
            if (set.contains(parameterName) && entry["value"].is_boolean()) {
                EXPECT_EQ(entry["value"].get<bool>(), set[parameterName].get<double>() != 0.0)
                    << parameterName;
            } else if (set.contains(parameterName)) {
                EXPECT_EQ(entry["value"], set[parameterName]) << parameterName;
            } else if (parameterName != "thicknessmapenabled" &&
                       !parameter(parameterName)["default"].is_null()) {
                EXPECT_EQ(entry["value"], parameter(parameterName)["default"]) << parameterName;
            }
        }
        for (const auto& [settingName, entry] : map["output"]["parameters"].items()) {
            const nlohmann::json& stored = entry["value"];
            EXPECT_EQ(stored.is_boolean() ? double(stored.get<bool>()) : stored.get<double>(),
                      outputValue(preset, settingName))
                << settingName;
        }
        const nlohmann::json& thicknessMap = preset["thicknessMap"];
        EXPECT_EQ(map["parameters"]["thicknessmapenabled"]["value"], !thicknessMap.is_null());
        if (thicknessMap.is_null()) {
            EXPECT_TRUE(map["thicknessMap"].is_null());
            continue;
        }
        ASSERT_TRUE(map["thicknessMap"].is_object());
        for (const auto& [parameterName, value] : thicknessMap["parameters"].items()) {
            EXPECT_EQ(map["thicknessMap"]["parameters"][parameterName]["value"], value)
                << parameterName;
        }
    }

    // --set comes after the preset and changes only what it names.
    const nlohmann::json& first = presets()[0];
    runOk({"scene", "new", "t.nscene", "--preset", first["name"], "--set", "hue=33"});
    const nlohmann::json map =
        nlohmann::json::parse(runOk({"scene", "show", "t.nscene", "--json"}).out)["map"];
    EXPECT_EQ(map["parameters"]["hue"]["value"], 33.0);
    for (const auto& [parameterName, value] : first["parameters"].items()) {
        const nlohmann::json& stored = map["parameters"][parameterName]["value"];
        if (parameterName == "hue") continue;
        if (stored.is_boolean()) {
            EXPECT_EQ(stored.get<bool>(), value.get<double>() != 0.0) << parameterName;
        } else {
            EXPECT_EQ(stored, value) << parameterName;
        }
    }
}

TEST_F(Presets, TheLensCoatingReflectsLessThanBareGlass) {
    const nlohmann::json* lens = nullptr;
    for (const nlohmann::json& preset : presets()) {
        if (preset["name"] == "lens-coating") lens = &preset;
    }
    ASSERT_NE(lens, nullptr);
    const double n1 = (*lens)["parameters"]["nmedium"];
    const double n3 = (*lens)["parameters"]["ninternal"];
    const double bare = std::pow((n3 - n1) / (n3 + n1), 2.0);
    // With the colour settings and the output filter left neutral, the map
    // shows the reflectance itself.
    const nlohmann::json coated =
        eval({"--preset", "lens-coating", "--set", "gamma=1", "--set", "hue=0", "--set", "sat=0",
              "--output", "rgblevel=1", "--output", "rgboffset=0", "--cosine", "1"});
    for (const char* channel : {"r", "g", "b"}) {
        EXPECT_LT(coated[channel].get<double>(), 0.6 * bare) << channel;
    }
}

TEST_F(Presets, TheBeetleShellTurnsFromGreenThroughBlueToVioletWithNoHueShift) {
    // Its colours come from the film (exact phases, the spectrum), not from
    // turning the hue: green head on, blue at 45 degrees, violet near the rim.
    const nlohmann::json* beetle = nullptr;
    for (const nlohmann::json& preset : presets()) {
        if (preset["name"] == "beetle-shell") beetle = &preset;
    }
    ASSERT_NE(beetle, nullptr);
    const nlohmann::json& set = (*beetle)["parameters"];
    EXPECT_TRUE(!set.contains("hue") || set["hue"] == 0.0) << set.dump();
    struct Expected {
        const char* cosine;
        double hueFrom, hueTo;  // degrees
    };
    for (const Expected& e : {Expected{"1", 90.0, 150.0}, Expected{"0.7", 180.0, 240.0},
                              Expected{"0.2", 250.0, 300.0}}) {
        const nlohmann::json c = eval({"--preset", "beetle-shell", "--cosine", e.cosine});
        const double r = c["r"], g = c["g"], b = c["b"];
        const double high = std::max({r, g, b}), low = std::min({r, g, b});
        ASSERT_GT(high - low, 0.1) << "cosine " << e.cosine << ": no colour";
        double hue = high == r ? 60.0 * (g - b) / (high - low)
                     : high == g ? 120.0 + 60.0 * (b - r) / (high - low)
                                 : 240.0 + 60.0 * (r - g) / (high - low);
        if (hue < 0.0) hue += 360.0;
        EXPECT_GE(hue, e.hueFrom) << "cosine " << e.cosine << ": " << c.dump();
        EXPECT_LE(hue, e.hueTo) << "cosine " << e.cosine << ": " << c.dump();
    }
}

TEST_F(Presets, AnUnknownNameIsOneLineThatListsTheKnownOnes) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"render", "--preset", "chrome"},
          {"scene", "new", "s.nscene", "--preset", "chrome"},
          {"eval", "--cosine", "1", "--preset", "chrome"},
          {"presets", "chrome"}}) {
        const RunResult result = run(command);
        EXPECT_EQ(result.exitCode, 2) << describe(result);
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_NE(result.err.find("\"chrome\""), std::string::npos) << result.err;
        for (const nlohmann::json& preset : presets()) {
            EXPECT_NE(result.err.find(preset["name"].get<std::string>()), std::string::npos);
        }
        EXPECT_TRUE(entries().empty());
    }
    const RunResult both = run({"render", "--scene", "s.nscene", "--preset", "pearl"});
    EXPECT_EQ(both.exitCode, 2) << describe(both);
}

TEST_F(Presets, TheGalleryRefusesSizesItCannotDrawBeforeLoadingTheModule) {
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--swatch", "4"},
                                                    {"--columns", "0"},
                                                    {"--threads", "-1"},
                                                    {"--swatch", "2048", "--columns", "64"}}) {
        std::vector<std::string> command{"--plugin", "missing.dlt", "gallery", "-o", "g.png"};
        command.insert(command.end(), options.begin(), options.end());
        const RunResult result = run(command);
        EXPECT_EQ(result.exitCode, 2) << describe(result);
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_TRUE(entries().empty());
    }
}

TEST_F(Presets, TheGalleryHoldsEveryPresetsSwatch) {
    runOk({"gallery", "--swatch", "20", "--columns", "3", "-o", "gallery.png"});
    const PngImage sheet = readPng(file("gallery.png"));
    // Each preset's own render appears in the sheet, in the presets' order.
    std::size_t last = 0;
    for (const nlohmann::json& preset : presets()) {
        const std::string name = preset["name"];
        runOk({"render", "--preset", name, "--size", "20", "-o", "one.png"});
        const PngImage swatch = readPng(file("one.png"));
        auto matchesAt = [&](int left, int top) {
            for (int y = 0; y < swatch.height; ++y) {
                for (int x = 0; x < swatch.width; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        if (sheet.at(left + x, top + y, c) != swatch.at(x, y, c)) return false;
                    }
                }
            }
            return true;
        };
        std::size_t found = 0;
        for (int top = 0; top + swatch.height <= sheet.height && found == 0; ++top) {
            for (int left = 0; left + swatch.width <= sheet.width && found == 0; ++left) {
                if (matchesAt(left, top))
                    found = static_cast<std::size_t>(top) * sheet.width + left + 1;
            }
        }
        EXPECT_GT(found, last) << name << ": not in the gallery, or out of order";
        last = found;
    }
}

}  // namespace
}  // namespace nacrelle::tools::testing
