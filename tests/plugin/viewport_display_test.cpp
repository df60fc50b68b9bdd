// The map in the interactive viewport: the picture the host makes of it
// (head on, across its UV space) and the handle the map keeps and releases.
#include <maps/grey_maps.h>
#include <maps/shade_context.h>
#include <maps/viewport_textures.h>
#include <sdk/animation.h>
#include <sdk/class_directory.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>

#include "tests/plugin/map_fixture.h"

namespace nacrelle::testing {
namespace {

constexpr TimeValue kFrame = 160;
constexpr int kSide = 24;

std::uint8_t asByte(float value) {
    return static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(value, 0.0f), 1.0f) * 255.0f));
}

struct FreeDib {
    void operator()(BITMAPINFO* dib) const { std::free(dib); }
};
using Dib = std::unique_ptr<BITMAPINFO, FreeDib>;

/// Pixel (x, row) of a 32-bit DIB as red, green, blue.
std::uint32_t rgbAt(const BITMAPINFO& dib, int x, int row) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&dib) + dib.bmiHeader.biSize +
                    (static_cast<std::size_t>(row) * dib.bmiHeader.biWidth + x) * 4;
    return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

std::uint32_t rgbOf(const nacrelle::Colour& c) {
    return std::uint32_t{asByte(c.r)} << 16 | std::uint32_t{asByte(c.g)} << 8 | asByte(c.b);
}

using ViewportDisplay = MapTest;

TEST_F(ViewportDisplay, ShowsTheHeadOnColourAcrossUvSpace) {
    Block(*map).SetValue(3, 0, 1.8f);
    Block(*map).SetValue(8, 0, 40.0f);
    standin::ViewportTextures viewport(kSide);
    Interval valid = FOREVER;
    const Dib dib(map->GetVPDisplayDIB(0, viewport, valid));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->bmiHeader.biWidth, kSide);
    EXPECT_EQ(dib->bmiHeader.biHeight, kSide);
    EXPECT_EQ(dib->bmiHeader.biBitCount, 32);
    const std::uint32_t headOn = rgbOf(CoreColour(*map, 1.0f, 0.0f));
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < kSide; ++x) ASSERT_EQ(rgbAt(*dib, x, row), headOn) << x << ", " << row;
    }
    EXPECT_TRUE(valid.IsInfinite());
}

TEST_F(ViewportDisplay, ThicknessMapShowsAsItsPatternOfColours) {
    auto* noise = static_cast<Texmap*>(standin::CreateInstance(standin::GreyNoiseDesc()));
    ASSERT_NE(noise, nullptr);
    noise->GetParamBlock(0)->SetValue(standin::noise_size, 0, 0.2f);
    map->SetSubTexmap(0, noise);
    Block(*map).SetValue(6, 0, TRUE);
    Block(*map).SetValue(1, 0, 900.0f);
    standin::ViewportTextures viewport(kSide);
    Interval valid = FOREVER;
    const Dib dib(map->GetVPDisplayDIB(0, viewport, valid));
    ASSERT_NE(dib, nullptr);

    // Each pixel is the film at the noise's value there, v growing upwards
    // from the DIB's first row.
    std::set<std::uint32_t> colours;
    standin::RenderShadeContext sc;
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < kSide; ++x) {
            const Point3 uvw((x + 0.5f) / kSide, (row + 0.5f) / kSide, 0.0f);
            sc.SetSample(Point3(0, 0, 1), Point3(0, 0, -1), uvw, uvw);
            const float m = noise->EvalMono(sc);
            ASSERT_EQ(rgbAt(*dib, x, row), rgbOf(CoreColour(*map, 1.0f, m))) << x << ", " << row;
            colours.insert(rgbAt(*dib, x, row));
        }
    }
    EXPECT_GT(colours.size(), 50u) << "the noise's pattern does not show";
}

TEST_F(ViewportDisplay, HandleIsKeptWhileValidAndReleasedOnChangeOffAndDeletion) {
    ASSERT_TRUE(map->SupportTexDisplay());
    {
        standin::AnimateScope animate;
        Block(*map).SetValue(3, 0, 1.5f);
        Block(*map).SetValue(3, 10 * kFrame, 2.0f);
    }
    standin::ViewportTextures viewport(8);
    map->ActivateTexDisplay(TRUE);
    const DWORD_PTR first = map->GetActiveTexHandle(20 * kFrame, viewport);
    ASSERT_NE(viewport.Picture(first), nullptr);
    // Inside its validity (after the last key) the same handle serves.
    EXPECT_EQ(map->GetActiveTexHandle(30 * kFrame, viewport), first);
    EXPECT_EQ(viewport.LiveHandles(), 1);
    // Outside it a new one replaces it.
    map->GetActiveTexHandle(5 * kFrame, viewport);
    EXPECT_EQ(viewport.LiveHandles(), 1);

    Block(*map).SetValue(8, 0, 90.0f);
    EXPECT_EQ(viewport.LiveHandles(), 0) << "a change keeps a stale picture";
    map->GetActiveTexHandle(0, viewport);
    map->SetSubTexmap(0, new CountingMonoMap(0.5f));
    EXPECT_EQ(viewport.LiveHandles(), 0) << "a new sub-map keeps a stale picture";

    map->GetActiveTexHandle(0, viewport);
    map->ActivateTexDisplay(FALSE);
    EXPECT_EQ(viewport.LiveHandles(), 0);

    map->ActivateTexDisplay(TRUE);
    map->GetActiveTexHandle(0, viewport);
    EXPECT_EQ(viewport.LiveHandles(), 1);
    scene.reset();  // deletes the map: ASan sees a handle it kept
    EXPECT_EQ(viewport.LiveHandles(), 0);
}

}  // namespace
}  // namespace nacrelle::testing
