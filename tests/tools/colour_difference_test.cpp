// CIEDE2000 through LittleCMS against the published test data of Sharma, Wu
// and Dalal (2005), to their four decimals.
#include <gtest/gtest.h>

#include "app/match/colour_difference.h"

namespace nacrelle::tools {
namespace {

struct PublishedPair {
    Lab first, second;
    double deltaE;
};

TEST(DeltaE2000, MatchesThePublishedPairs) {
    const PublishedPair pairs[] = {
        {{50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}, 2.0425},
        {{50.0, 3.1571, -77.2803}, {50.0, 0.0, -82.7485}, 2.8615},
        {{50.0, 0.0, 0.0}, {50.0, -1.0, 2.0}, 2.3669},
        {{50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
    };
    for (const PublishedPair& pair : pairs) {
        EXPECT_NEAR(deltaE2000(pair.first, pair.second), pair.deltaE, 5e-5);
        EXPECT_NEAR(deltaE2000(pair.second, pair.first), pair.deltaE, 5e-5);
    }
}

TEST(ColourConversions, AnEncodedColourKeepsItsHexAndLabThroughLinear) {
    const ColourConversions conversions;
    const Rgb encoded{0x6a / 255.0, 0x3f / 255.0, 0xa0 / 255.0};
    const Rgb linear = conversions.linearOfEncoded(encoded);
    EXPECT_EQ(hexOfEncoded(conversions.encodedOfLinear(linear)), "#6a3fa0");
    EXPECT_LT(deltaE2000(conversions.labOfLinear(linear), conversions.labOfEncoded(encoded)), 1e-6);
    // White is white in both, at L 100.
    EXPECT_NEAR(conversions.labOfLinear({1.0, 1.0, 1.0}).L, 100.0, 1e-3);
}

}  // namespace
}  // namespace nacrelle::tools
