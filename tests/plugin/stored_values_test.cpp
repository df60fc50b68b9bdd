// Any value a script or a scene file can put in the map's block: the host
// keeps a parameter's range for its spinner only, so the map must turn every
// stored value into one its optics can use, and never read outside a table.
#include <maps/shade_context.h>
#include <params/param_access.h>
#include <scene/scene_file.h>

#include <bit>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tests/plugin/map_fixture.h"

namespace nacrelle::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kFloatMax = std::numeric_limits<float>::max();

// Head on, oblique, near grazing and grazing, and a normal left unnormalised.
const Point3 kNormals[] = {{0.0f, 0.0f, 1.0f}, {0.0f, 0.6f, 0.8f}, {0.0f, 0.999f, 0.0447f},
                           {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.5f}};

/// The options a map can run under, each a different path through the optics.
struct Options {
    const char* name;
    int spectral, physicalPhase, baseMetal;
};
const Options kOptions[] = {
    {"three wavelengths", 0, 0, 0}, {"spectral", 1, 0, 0},        {"physical phases", 0, 1, 0},
    {"spectral, physical", 1, 1, 0}, {"gold, three wavelengths", 0, 0, 1},
    {"spectral on titanium", 1, 0, 7},
};

class StoredValuesTest : public MapTest {
protected:
    void Script(const char* name, double value) {
        std::string error;
        ASSERT_TRUE(standin::SetParamAsScript(Block(*map), name, value, 0, error)) << error;
    }
    void Use(const Options& options) {
        Script("spectral", options.spectral);
        Script("physicalphase", options.physicalPhase);
        Script("basemetal", options.baseMetal);
    }
    /// The map's colours at kNormals, as bits; fails on a component that is
    /// not a finite number in [0, 1].
    std::vector<std::uint32_t> Colours(Texmap& m, const std::string& what) {
        Interval valid = FOREVER;
        m.Update(0, valid);
        standin::RenderShadeContext sc;
        std::vector<std::uint32_t> bits;
        for (const Point3& normal : kNormals) {
            sc.SetSample(normal, Point3(0.0f, 0.0f, -1.0f), Point3(0.0f, 0.0f, 0.0f),
                         Point3(0.5f, 0.5f, 0.0f));
            const AColor c = m.EvalColor(sc);
            for (const float component : {c.r, c.g, c.b, c.a}) {
                EXPECT_TRUE(component >= 0.0f && component <= 1.0f)
                    << what << ": " << component << " at normal (" << normal.x << ", "
                    << normal.y << ", " << normal.z << ")";
                bits.push_back(std::bit_cast<std::uint32_t>(component));
            }
        }
        return bits;
    }
};

// Every float the block can hold, for every float parameter, under every
// option: finite colours in [0, 1], whatever the value does to the film.
TEST_F(StoredValuesTest, AnyFloatGivesAColourInTheUnitRange) {
    const char* floats[] = {"thicknessmax", "thicknessmin", "nmedium", "nfilm",
                            "ninternal",    "gamma",        "hue",     "sat"};
    const double values[] = {kNaN, kInf, -kInf, kFloatMax, -kFloatMax, 0.0, -0.0, -1.0,
                             1e-30, 1e6, 1e9, 1e-3};
    for (const Options& options : kOptions) {
        for (const char* name : floats) {
            for (const double value : values) {
                map->Reset();
                Use(options);
                Script("thicknessmapenabled", 1);
                Script(name, value);
                Colours(*map, std::string(options.name) + ", " + name + " = " +
                                  std::to_string(value));
            }
        }
    }
}

// A base outside the list is the dielectric base, bit for bit, on every path
// that reads it; a switch stored as any non-zero integer is on.
TEST_F(StoredValuesTest, IntegersOutsideTheirItemsActAsTheirMeaning) {
    struct Case {
        const char* name;
        double value;
        double meaning;
    };
    const Case cases[] = {
        {"basemetal", 9, 0},          {"basemetal", 50, 0},       {"basemetal", -1, 0},
        {"basemetal", INT_MAX, 0},    {"basemetal", INT_MIN, 0},  {"basemetal", 100000000, 0},
        {"spectral", 2, 1},           {"spectral", -1, 1},        {"spectral", INT_MIN, 1},
        {"physicalphase", INT_MAX, 1}, {"thicknessmapenabled", -5, 1},
    };
    for (const Options& options : kOptions) {
        for (const Case& c : cases) {
            const std::string what =
                std::string(options.name) + ", " + c.name + " = " + std::to_string(c.value);
            map->Reset();
            Use(options);
            Script("nfilm", 1.33);
            Script(c.name, c.meaning);
            const std::vector<std::uint32_t> meant = Colours(*map, what);
            Script(c.name, c.value);
            EXPECT_EQ(Colours(*map, what), meant) << what;
        }
    }
}

// The same values reach the map from a scene file: the reader keeps what is
// stored, and a file the scene fuzzer wrote (a base far outside the list)
// loads and evaluates.
TEST_F(StoredValuesTest, OutOfListBaseFromASceneFile) {
    for (const double base : {9.0, -1.0, double(INT_MAX)}) {
        map->Reset();
        Script("spectral", 0);
        Script("basemetal", base);
        Script("nmedium", kNaN);
        std::unique_ptr<standin::Scene> loaded =
            standin::ReadSceneBytes(standin::WriteSceneBytes(*scene, "base.ncs"), "base.ncs");
        auto* reloaded = dynamic_cast<Texmap*>(loaded->Roots().front());
        ASSERT_NE(reloaded, nullptr);
        EXPECT_EQ(Block(*reloaded).GetInt(13), static_cast<int>(base));
        EXPECT_TRUE(std::isnan(Block(*reloaded).GetFloat(2)));
        Colours(*reloaded, "loaded, basemetal " + std::to_string(base));
    }
}

}  // namespace
}  // namespace nacrelle::testing
