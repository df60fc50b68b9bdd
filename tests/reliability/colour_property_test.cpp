// Properties of the loaded map's colour over random samples from a fixed
// seed: with every parameter anywhere in its range and random unit normals
// and views, every colour component is finite and in [0, 1]; a NaN or
// infinite normal, view vector or thickness-map value never yields NaN.
//
// The sample count is 1,000,000 (100,000 with the non-finite inputs), a
// tenth of that in sanitizer builds, which run many times slower; the
// environment variable NACRELLE_PROPERTY_SAMPLES sets it explicitly.
#include <gtest/gtest.h>
#include <imtl.h>
#include <iparamb2.h>
#include <sdk/class_directory.h>
#include <modules/module_loader.h>
#include <maps/shade_context.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.h"
#include "tests/support/test_grey_map.h"
#include "tests/reliability/sanitized.h"

namespace nacrelle::reliability {
namespace {

#ifdef NACRELLE_SANITIZED
constexpr long kDefaultSamples = 100'000;
#else
constexpr long kDefaultSamples = 1'000'000;
#endif

long SampleCount() {
    if (const char* text = std::getenv("NACRELLE_PROPERTY_SAMPLES"); text && *text) {
        return std::strtol(text, nullptr, 10);
    }
    return kDefaultSamples;
}

/// splitmix64: the same stream on every platform and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in [0, 1].
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740991.0; }
    double Between(double low, double high) { return low + (high - low) * Unit(); }
    bool OneIn(unsigned n) { return Next() % n == 0; }

private:
    std::uint64_t state_;
};

Point3 RandomUnitVector(Random& random) {
    for (;;) {
        const Point3 p(static_cast<float>(random.Between(-1, 1)),
                       static_cast<float>(random.Between(-1, 1)),
                       static_cast<float>(random.Between(-1, 1)));
        const float lengthSquared = p.LengthSquared();
        if (lengthSquared > 1e-4f && lengthSquared <= 1.0f) return p / std::sqrt(lengthSquared);
    }
}

class ColourProperties : public ::testing::Test {
protected:
    void SetUp() override {
        module = std::make_unique<standin::LoadedModule>(ModulePath());
        scene = std::make_unique<standin::Scene>();
        map = static_cast<Texmap*>(standin::CreateInstance(module->Classes()[0]));
        scene->Add(map);
        thickness = new nacrelle::testing::TestGreyMap(0.0f);
        map->SetSubTexmap(0, thickness);
        block = map->GetParamBlock(0);
        for (int i = 0; i < block->GetDesc()->Count(); ++i) {
            const ParamDef& def = block->GetDesc()->ParamDefAt(i);
            if (def.type == TYPE_FLOAT || def.type == TYPE_BOOL || def.type == TYPE_INT) {
                params.push_back(&def);
            }
        }
    }
    void TearDown() override {
        scene.reset();
        module.reset();
    }

    /// Every float parameter anywhere in its range (one time in eight exactly
    /// at an end), every switch on or off, every choice (the base) any of its
    /// values; then the map is updated.
    void RandomParameters(Random& random) {
        for (const ParamDef* def : params) {
            if (def->type == TYPE_BOOL) {
                block->SetValue(def->ID, 0, static_cast<int>(random.Next() & 1));
                continue;
            }
            if (def->type == TYPE_INT) {
                const int choices = def->range_high.i - def->range_low.i + 1;
                block->SetValue(def->ID, 0,
                                def->range_low.i + static_cast<int>(random.Next() % choices));
                continue;
            }
            const float low = def->range_low.f, high = def->range_high.f;
            const float value = random.OneIn(8) ? (random.OneIn(2) ? low : high)
                                                : static_cast<float>(random.Between(low, high));
            block->SetValue(def->ID, 0, value);
        }
        Interval valid = FOREVER;
        map->Update(0, valid);
    }

    std::string Describe(const AColor& c, float mono, standin::RenderShadeContext& sc) const {
        std::ostringstream out;
        out.precision(9);
        out << "colour (" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << "), mono " << mono
            << " for normal (" << sc.Normal().x << ", " << sc.Normal().y << ", " << sc.Normal().z
            << "), view (" << sc.V().x << ", " << sc.V().y << ", " << sc.V().z << "), map value "
            << thickness->mono << ", parameters";
        for (const ParamDef* def : params) {
            out << " " << def->int_name.ToUTF8() << "="
                << (def->type == TYPE_FLOAT ? block->GetFloat(def->ID) : block->GetInt(def->ID));
        }
        return out.str();
    }

    std::unique_ptr<standin::LoadedModule> module;
    std::unique_ptr<standin::Scene> scene;
    Texmap* map = nullptr;
    nacrelle::testing::TestGreyMap* thickness = nullptr;
    IParamBlock2* block = nullptr;
    std::vector<const ParamDef*> params;
};

bool InUnitRange(float value) { return std::isfinite(value) && value >= 0.0f && value <= 1.0f; }

TEST_F(ColourProperties, EveryColourComponentIsFiniteAndInTheUnitRange) {
    ASSERT_EQ(params.size(), 12u)
        << "the map's eight float parameters, its three switches and its base";
    Random random(20240601);
    standin::RenderShadeContext sc;
    const long samples = SampleCount();
    RecordProperty("samples", std::to_string(samples));
    long failures = 0;
    for (long i = 0; i < samples; ++i) {
        RandomParameters(random);
        // Mostly within [0, 1]; sometimes beyond, where the thickness extrapolates.
        thickness->mono =
            static_cast<float>(random.OneIn(5) ? random.Between(-1.5, 2.5) : random.Unit());
        sc.SetSample(RandomUnitVector(random), RandomUnitVector(random), Point3(), Point3());
        const AColor c = map->EvalColor(sc);
        const float mono = map->EvalMono(sc);
        if (!(InUnitRange(c.r) && InUnitRange(c.g) && InUnitRange(c.b) && InUnitRange(c.a) &&
              InUnitRange(mono)) &&
            ++failures <= 5) {
            ADD_FAILURE() << "sample " << i << ": " << Describe(c, mono, sc);
        }
    }
    EXPECT_EQ(failures, 0) << "of " << samples << " samples";
}

TEST_F(ColourProperties, NaNOrInfiniteInputsNeverYieldNaN) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const float kBad[] = {kNaN, kInf, -kInf};
    Random random(19700101);
    standin::RenderShadeContext sc;
    const long samples = std::max(1L, SampleCount() / 10);
    RecordProperty("samples", std::to_string(samples));
    long failures = 0;
    for (long i = 0; i < samples; ++i) {
        RandomParameters(random);
        Point3 normal = RandomUnitVector(random), view = RandomUnitVector(random);
        thickness->mono = static_cast<float>(random.Unit());
        // One to three poisoned inputs among the seven numbers.
        const int poisoned = 1 + static_cast<int>(random.Next() % 3);
        for (int p = 0; p < poisoned; ++p) {
            const float bad = kBad[random.Next() % 3];
            const unsigned which = static_cast<unsigned>(random.Next() % 7);
            if (which < 3) {
                normal[static_cast<int>(which)] = bad;
            } else if (which < 6) {
                view[static_cast<int>(which - 3)] = bad;
            } else {
                thickness->mono = bad;
            }
        }
        // The thickness map takes part: the switch on for most samples.
        if (!random.OneIn(4)) {
            for (const ParamDef* def : params) {
                if (def->type == TYPE_BOOL) block->SetValue(def->ID, 0, 1);
            }
        }
        Interval valid = FOREVER;
        map->Update(0, valid);
        sc.SetSample(normal, view, Point3(), Point3());
        const AColor c = map->EvalColor(sc);
        const float mono = map->EvalMono(sc);
        const bool anyNaN = std::isnan(c.r) || std::isnan(c.g) || std::isnan(c.b) ||
                            std::isnan(c.a) || std::isnan(mono);
        if ((anyNaN || !(InUnitRange(c.r) && InUnitRange(c.g) && InUnitRange(c.b) &&
                         InUnitRange(c.a) && InUnitRange(mono))) &&
            ++failures <= 5) {
            ADD_FAILURE() << "sample " << i << ": " << Describe(c, mono, sc);
        }
    }
    EXPECT_EQ(failures, 0) << "of " << samples << " samples";
}

}  // namespace
}  // namespace nacrelle::reliability
