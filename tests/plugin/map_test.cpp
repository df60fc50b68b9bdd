// The texture map object through the loaded module: defaults, caching and
// validity, evaluation against the core, sub-map, references, cloning.
#include <sdk/animation.h>
#include <sdk/class_directory.h>
#include <params/param_access.h>
#include <sdk/remap_dir.h>
#include <maps/shade_context.h>
#include <maps/standard_texture_output.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "tests/plugin/map_fixture.h"

namespace nacrelle::testing {
namespace {

constexpr TimeValue kFrame = 160;

void expectSameBits(const AColor& actual, const nacrelle::Colour& expected) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.r), std::bit_cast<std::uint32_t>(expected.r));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.g), std::bit_cast<std::uint32_t>(expected.g));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.b), std::bit_cast<std::uint32_t>(expected.b));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.a), std::bit_cast<std::uint32_t>(expected.a));
}

/// A context looking along -z at a surface facing +z at cosine c.
standin::RenderShadeContext contextAtCosine(float c) {
    standin::RenderShadeContext sc;
    sc.SetSample(Point3(0.0f, 0.0f, 1.0f), Point3(std::sqrt(1.0f - c * c), 0.0f, -c), Point3(),
                 Point3(0.5f, 0.5f, 0.0f));
    return sc;
}

AColor evalAt(Texmap& m, float cosine) {
    standin::RenderShadeContext sc = contextAtCosine(cosine);
    return m.EvalColor(sc);
}

using MapObject = MapTest;

TEST_F(MapObject, NewMapHasTheDefaults) {
    IParamBlock2& pb = Block(*map);
    EXPECT_EQ(pb.GetFloat(0), 250.0f);
    EXPECT_EQ(pb.GetFloat(1), 350.0f);
    EXPECT_EQ(pb.GetFloat(2), 1.0f);
    EXPECT_EQ(pb.GetFloat(3), 1.5f);
    EXPECT_EQ(pb.GetFloat(4), 1.0f);
    EXPECT_EQ(pb.GetReferenceTarget(5), nullptr);
    EXPECT_EQ(pb.GetInt(6), 0);
    EXPECT_EQ(pb.GetFloat(7), 1.0f);
    EXPECT_EQ(pb.GetFloat(8), 0.0f);
    EXPECT_EQ(pb.GetFloat(9), 0.0f);
    ASSERT_NE(map->GetReference(2), nullptr);
    EXPECT_EQ(map->GetReference(2)->SuperClassID(), TEXOUTPUT_CLASS_ID);
    EXPECT_EQ(pb.GetReferenceTarget(10), map->GetReference(2));
    EXPECT_EQ(map->GetReference(0), &pb);
    EXPECT_EQ(map->GetReference(1), nullptr);
}

TEST_F(MapObject, IdentityAndStructure) {
    EXPECT_EQ(map->ClassID(), Class_ID(0x53E2B189, 0x7502736B));
    EXPECT_EQ(map->SuperClassID(), TEXMAP_CLASS_ID);
    MSTR name;
    map->GetClassName(name, true);
    EXPECT_EQ(name, MSTR(L"Nacrelle"));
    map->GetClassName(name, false);
    EXPECT_EQ(name, MSTR(L"Nacrelle"));
    EXPECT_EQ(map->NumRefs(), 3);
    EXPECT_EQ(map->NumSubs(), 3);
    EXPECT_EQ(map->NumParamBlocks(), 1);
    EXPECT_EQ(map->NumSubTexmaps(), 1);
    EXPECT_EQ(map->GetParamBlock(0), &Block(*map));
    EXPECT_EQ(map->GetParamBlock(7), &Block(*map));
    EXPECT_EQ(map->GetParamBlockByID(0), &Block(*map));
    for (short id : {1, -1, 5}) EXPECT_EQ(map->GetParamBlockByID(id), nullptr) << id;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(map->SubNumToRefNum(i), i);
        EXPECT_EQ(map->SubAnim(i), map->GetReference(i));
    }
    EXPECT_EQ(map->SubAnimName(0, true), MSTR(L"Nacrelle Parameters"));
    EXPECT_EQ(map->SubAnimName(2, false), MSTR(L"Output"));
    EXPECT_EQ(map->SubAnimName(1, true), map->GetSubTexmapTVName(0, true));
    Matrix3 uv;
    map->GetUVTransform(uv);
    Matrix3 identity;
    identity.IdentityMatrix();
    EXPECT_EQ(uv, identity);
}

TEST_F(MapObject, IndicesItDoesNotKnowAreSafe) {
    for (int i : {3, 4, -1, 100}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(map->GetReference(i), nullptr);
        EXPECT_EQ(map->SubAnim(i), nullptr);
        EXPECT_EQ(map->SubAnimName(i, true), MSTR());
        EXPECT_EQ(map->GetSubTexmap(i), nullptr);
        EXPECT_EQ(map->ReplaceReference(i, map->GetReference(2)), REF_FAIL);
    }
    EXPECT_EQ(map->GetSubTexmap(1), nullptr);
    // A sub-map for a slot the map does not have must not replace the output filter.
    ReferenceTarget* filter = map->GetReference(2);
    auto* stray = new CountingMonoMap(0.5f);
    scene->Add(stray);
    map->SetSubTexmap(1, stray);
    map->SetSubTexmap(-1, stray);
    EXPECT_EQ(map->GetReference(2), filter);
    EXPECT_EQ(map->GetReference(1), nullptr);
}

TEST_F(MapObject, CreateBuildsTheSameMapLoadingOrNot) {
    Texmap& loaded = NewMap(TRUE);
    Texmap& fresh = NewMap(FALSE);
    for (ParamID id = 0; id <= 9; ++id) {
        if (id == 5 || id == 6) continue;
        EXPECT_EQ(Block(loaded).GetFloat(id), Block(fresh).GetFloat(id)) << id;
    }
    EXPECT_EQ(Block(loaded).GetInt(6), Block(fresh).GetInt(6));
    EXPECT_EQ(loaded.GetReference(1), nullptr);
    ASSERT_NE(loaded.GetReference(2), nullptr);
    EXPECT_EQ(loaded.GetReference(2)->ClassID(), fresh.GetReference(2)->ClassID());
    Interval valid = FOREVER;
    loaded.Update(0, valid);
    expectSameBits(evalAt(loaded, 0.7f), CoreColour(fresh, 0.7f, 0.0f));
}

TEST_F(MapObject, EvalColorIsTheCoreColourToTheLastBit) {
    IParamBlock2& pb = Block(*map);
    struct Settings {
        float values[10];
    };
    const float defaults[] = {250, 350, 1.0f, 1.5f, 1.0f, 0, 0, 1.0f, 0, 0};
    const float coated[] = {80, 900, 1.33f, 2.4f, 1.5f, 0, 0, 0.45f, 37.5f, -20};
    const float oily[] = {1200, 0, 1.0f, 1.38f, 1.33f, 0, 0, 2.2f, -150, 60};
    const Point3 normals[] = {Point3(0, 0, 1), Point3(0.6f, 0.0f, 0.8f),
                              Point3(-0.267261f, 0.534522f, 0.801784f), Point3(0, -1, 0)};
    const Point3 views[] = {Point3(0, 0, -1), Point3(0, 0, 1), Point3(0.6f, 0.0f, -0.8f),
                            Point3(0.707107f, -0.707107f, 0.0f), Point3(0.1f, 0.2f, -0.974679f)};
    for (const float* values : {defaults, coated, oily}) {
        for (ParamID id : {0, 1, 2, 3, 4, 7, 8, 9}) pb.SetValue(id, 0, values[id]);
        Interval valid = FOREVER;
        map->Update(0, valid);
        for (const Point3& n : normals) {
            for (const Point3& v : views) {
                standin::RenderShadeContext sc;
                sc.SetSample(n, v, Point3(), Point3());
                const float cosine = nacrelle::viewingCosine(n, v);
                expectSameBits(map->EvalColor(sc), CoreColour(*map, cosine, 0.0f));
            }
        }
    }
}

TEST_F(MapObject, NormalAndViewEitherWayGiveOneColour) {
    Interval valid = FOREVER;
    map->Update(0, valid);
    standin::RenderShadeContext towards, away;
    towards.SetSample(Point3(0.0f, 0.6f, 0.8f), Point3(0.0f, 0.0f, -1.0f), Point3(), Point3());
    away.SetSample(Point3(0.0f, 0.6f, 0.8f), Point3(0.0f, 0.0f, 1.0f), Point3(), Point3());
    const AColor a = map->EvalColor(towards);
    const AColor b = map->EvalColor(away);
    EXPECT_EQ(a.r, b.r);
    EXPECT_EQ(a.g, b.g);
    EXPECT_EQ(a.b, b.b);
}

TEST_F(MapObject, UpdateCachesTheValuesOfItsTimeAndNarrowsValidity) {
    IParamBlock2& pb = Block(*map);
    {
        standin::AnimateScope animate;
        pb.SetValue(0, 0, 100.0f);
        pb.SetValue(0, 10 * kFrame, 300.0f);
    }
    Interval valid = FOREVER;
    map->Update(5 * kFrame, valid);
    EXPECT_EQ(valid, Interval(5 * kFrame, 5 * kFrame));
    EXPECT_EQ(pb.GetFloat(0, 5 * kFrame), 200.0f);
    expectSameBits(evalAt(*map, 1.0f), CoreColour(*map, 1.0f, 0.0f, 5 * kFrame));

    // After the last key the value holds for ever.
    valid = FOREVER;
    map->Update(20 * kFrame, valid);
    EXPECT_EQ(valid.Start(), 10 * kFrame);
    EXPECT_EQ(valid.End(), TIME_PosInfinity);
    expectSameBits(evalAt(*map, 1.0f), CoreColour(*map, 1.0f, 0.0f, 20 * kFrame));
}

TEST_F(MapObject, ConstantValuesAreValidForEverAndGammaNeverNarrows) {
    Interval valid = FOREVER;
    map->Update(3 * kFrame, valid);
    EXPECT_TRUE(valid.IsInfinite());

    IParamBlock2& pb = Block(*map);
    {
        standin::AnimateScope animate;
        pb.SetValue(7, 0, 1.0f);
        pb.SetValue(7, 10 * kFrame, 3.0f);
    }
    valid = FOREVER;
    map->Update(5 * kFrame, valid);
    EXPECT_TRUE(valid.IsInfinite());
    // Every frame uses gamma's value at time 0.
    expectSameBits(evalAt(*map, 0.8f), CoreColour(*map, 0.8f, 0.0f, 5 * kFrame));
    const nacrelle::Colour atZeroGamma = CoreColour(*map, 0.8f, 0.0f, 0);
    EXPECT_EQ(evalAt(*map, 0.8f).g, atZeroGamma.g);
}

TEST_F(MapObject, UpdateInsideValidityReadsNothing) {
    CountingMonoMap& sub = PlugCountingMap(*map, 0.5f);
    sub.validity = Interval(0, 10 * kFrame);
    Interval valid = FOREVER;
    map->Update(2 * kFrame, valid);
    EXPECT_EQ(sub.updates, 1);
    EXPECT_EQ(valid, Interval(0, 10 * kFrame));

    // Inside the validity nothing is read again; the caller's interval is
    // still narrowed.
    Interval narrower(5 * kFrame, 20 * kFrame);
    map->Update(7 * kFrame, narrower);
    EXPECT_EQ(sub.updates, 1);
    EXPECT_EQ(narrower, Interval(5 * kFrame, 10 * kFrame));

    // Outside it the cache is refreshed.
    valid = FOREVER;
    map->Update(11 * kFrame, valid);
    EXPECT_EQ(sub.updates, 2);
}

TEST_F(MapObject, ValidityRefreshesAStaleMap) {
    CountingMonoMap& sub = PlugCountingMap(*map, 0.5f);
    sub.validity = Interval(-kFrame, 4 * kFrame);
    EXPECT_EQ(map->Validity(0), Interval(-kFrame, 4 * kFrame));
    EXPECT_EQ(sub.updates, 1);
    EXPECT_EQ(map->Validity(kFrame), Interval(-kFrame, 4 * kFrame));
    EXPECT_EQ(sub.updates, 1);
}

TEST_F(MapObject, ThicknessSubMapMovesTheThicknessOnlyWhileSwitchedOn) {
    IParamBlock2& pb = Block(*map);
    CountingMonoMap& sub = PlugCountingMap(*map, 0.5f);
    EXPECT_EQ(map->GetSubTexmap(0), &sub);
    EXPECT_EQ(pb.GetReferenceTarget(5), &sub);

    // Switched off: updated along with the map, never evaluated.
    Interval valid = FOREVER;
    map->Update(0, valid);
    EXPECT_EQ(sub.updates, 1);
    expectSameBits(evalAt(*map, 0.9f), CoreColour(*map, 0.9f, 0.0f));
    EXPECT_EQ(sub.evaluations.load(), 0);

    // Switched on: the sub-map's mono value blends the two thicknesses, and
    // values outside [0, 1] are passed on.
    pb.SetValue(6, 0, TRUE);
    for (float mono : {0.5f, 0.0f, 1.0f, 2.0f, -0.5f}) {
        sub.mono = mono;
        valid = FOREVER;
        map->Update(0, valid);
        expectSameBits(evalAt(*map, 0.9f), CoreColour(*map, 0.9f, mono));
    }
    EXPECT_EQ(sub.evaluations.load(), 5);
}

TEST_F(MapObject, SwitchOnWithoutSubMapUsesTheMinimumThickness) {
    Block(*map).SetValue(6, 0, TRUE);
    Interval valid = FOREVER;
    map->Update(0, valid);
    expectSameBits(evalAt(*map, 0.6f), CoreColour(*map, 0.6f, 0.0f));
}

TEST_F(MapObject, GBufferIdOnlyWhenSet) {
    Interval valid = FOREVER;
    map->Update(0, valid);
    standin::RenderShadeContext sc = contextAtCosine(0.5f);
    sc.SetGBufferID(77);
    map->EvalColor(sc);
    map->EvalMono(sc);
    map->EvalNormalPerturb(sc);
    EXPECT_EQ(sc.GBufferID(), 77);

    map->SetGBufID(5);
    for (int call = 0; call < 3; ++call) {
        sc.SetGBufferID(77);
        if (call == 0) map->EvalColor(sc);
        if (call == 1) map->EvalMono(sc);
        if (call == 2) map->EvalNormalPerturb(sc);
        EXPECT_EQ(sc.GBufferID(), 5) << "call " << call;
    }
}

TEST_F(MapObject, EvalMonoIsTheMeanOfTheFilteredColour) {
    StdTexoutGen& output = Output(*map);
    for (int setting = 0; setting < 3; ++setting) {
        if (setting == 1) output.SetRGBAmt(0.5f, 0);
        if (setting == 2) output.SetInvert(TRUE);
        Interval valid = FOREVER;
        map->Update(0, valid);
        const AColor c = evalAt(*map, 0.75f);
        standin::RenderShadeContext sc = contextAtCosine(0.75f);
        EXPECT_EQ(map->EvalMono(sc), (c.r + c.g + c.b) / 3.0f) << "setting " << setting;
    }
    // The filter changed the colour: a halved and inverted colour is not the raw one.
    const nacrelle::Colour raw = CoreColour(*map, 0.75f, 0.0f);
    EXPECT_NE(evalAt(*map, 0.75f).r, raw.r);
}

TEST_F(MapObject, NoBump) {
    standin::RenderShadeContext sc = contextAtCosine(0.3f);
    const Point3 bump = map->EvalNormalPerturb(sc);
    EXPECT_EQ(bump.x, 0.0f);
    EXPECT_EQ(bump.y, 0.0f);
    EXPECT_EQ(bump.z, 0.0f);
}

TEST_F(MapObject, ChangeNotificationMarksStaleAndRefreshesThatControl) {
    RecordingPanelHost panels;
    CountingMonoMap& sub = PlugCountingMap(*map, 0.25f);
    Interval valid = FOREVER;
    map->Update(0, valid);
    ASSERT_EQ(sub.updates, 1);

    panels.refreshes.clear();
    Block(*map).SetValue(3, 0, 1.7f);
    ASSERT_FALSE(panels.refreshes.empty());
    EXPECT_EQ(panels.refreshes.back().pbd, BlockDescriptor());
    EXPECT_EQ(panels.refreshes.back().id, 3);
    EXPECT_EQ(panels.refreshes.back().tabIndex, -1);

    valid = FOREVER;
    map->Update(0, valid);
    EXPECT_EQ(sub.updates, 2);  // stale: read again
    expectSameBits(evalAt(*map, 0.5f), CoreColour(*map, 0.5f, 0.0f));

    // A change of the output filter marks the map stale too.
    Output(*map).SetRGBOff(0.1f, 0);
    valid = FOREVER;
    map->Update(0, valid);
    EXPECT_EQ(sub.updates, 3);
}

TEST_F(MapObject, RemovingTheSubMapRefreshesTheButtonAndMarksStale) {
    RecordingPanelHost panels;
    PlugCountingMap(*map, 0.25f);
    Block(*map).SetValue(6, 0, TRUE);
    Interval valid = FOREVER;
    map->Update(0, valid);

    panels.refreshes.clear();
    map->SetSubTexmap(0, nullptr);
    EXPECT_EQ(map->GetSubTexmap(0), nullptr);
    EXPECT_EQ(Block(*map).GetReferenceTarget(5), nullptr);
    bool buttonRefreshed = false;
    for (const auto& r : panels.refreshes) buttonRefreshed |= r.id == 5 && r.tabIndex == -1;
    EXPECT_TRUE(buttonRefreshed);
    // Stale, so the next update drops the sub-map's value: thickness at m = 0.
    valid = FOREVER;
    map->Update(0, valid);
    expectSameBits(evalAt(*map, 0.5f), CoreColour(*map, 0.5f, 0.0f));
}

TEST_F(MapObject, ResetRestoresEveryDefaultAndDropsTheSubMap) {
    IParamBlock2& pb = Block(*map);
    for (ParamID id : {0, 1, 2, 3, 4, 7, 8, 9}) pb.SetValue(id, 0, 2.5f);
    pb.SetValue(6, 0, TRUE);
    PlugCountingMap(*map, 0.5f);
    ReferenceTarget* filter = map->GetReference(2);
    Output(*map).SetRGBAmt(0.3f, 0);

    map->Reset();
    EXPECT_EQ(pb.GetFloat(0), 250.0f);
    EXPECT_EQ(pb.GetFloat(1), 350.0f);
    EXPECT_EQ(pb.GetFloat(3), 1.5f);
    EXPECT_EQ(pb.GetFloat(7), 1.0f);
    EXPECT_EQ(pb.GetFloat(9), 0.0f);
    EXPECT_EQ(pb.GetInt(6), 0);
    EXPECT_EQ(map->GetSubTexmap(0), nullptr);
    EXPECT_EQ(map->GetReference(2), filter);  // the same filter, at its defaults
    EXPECT_EQ(Output(*map).GetRGBAmt(0), 1.0f);
}

TEST_F(MapObject, CloneWithSubMapHasItsOwnCopies) {
    IParamBlock2& pb = Block(*map);
    pb.SetValue(3, 0, 2.0f);
    pb.SetValue(6, 0, TRUE);
    CountingMonoMap& sub = PlugCountingMap(*map, 0.75f);
    map->SetGBufID(9);
    Interval valid = FOREVER;
    map->Update(0, valid);

    standin::CloneOnceRemapDir remap;
    auto* clone = static_cast<Texmap*>(map->Clone(remap));
    ASSERT_NE(clone, nullptr);
    scene->Add(clone);
    EXPECT_EQ(clone->ClassID(), map->ClassID());
    EXPECT_NE(clone->GetParamBlock(0), &pb);
    EXPECT_EQ(clone->GetParamBlock(0)->GetFloat(3), 2.0f);
    EXPECT_EQ(clone->GetParamBlock(0)->GetOwner(), clone);
    EXPECT_NE(clone->GetReference(2), map->GetReference(2));
    auto* subClone = static_cast<CountingMonoMap*>(clone->GetSubTexmap(0));
    ASSERT_NE(subClone, nullptr);
    EXPECT_NE(subClone, &sub);
    EXPECT_EQ(subClone->mono, 0.75f);
    EXPECT_EQ(clone->GetGBufID(), 9u);

    // The clone carries the source's switch cache: before any update it
    // already evaluates its own sub-map.
    const int sourceEvaluations = sub.evaluations.load();
    evalAt(*clone, 0.5f);
    EXPECT_EQ(subClone->evaluations.load(), 1);
    EXPECT_EQ(sub.evaluations.load(), sourceEvaluations);

    // Changing the clone leaves the source alone.
    clone->GetParamBlock(0)->SetValue(3, 0, 1.2f);
    EXPECT_EQ(pb.GetFloat(3), 2.0f);
}

TEST_F(MapObject, DeclaresItsViewDependenceAndMeaningfulOutput) {
    standin::RenderShadeContext sc;
    EXPECT_EQ(map->LocalRequirements(0), ULONG{MTLREQ_VIEW_DEP});
    EXPECT_TRUE(map->IsLocalOutputMeaningful(sc));
    // The host adds the sub-maps' requirements to the map's own.
    auto* sub = new CountingMonoMap(0.5f);
    sub->requirements = MTLREQ_UV;
    map->SetSubTexmap(0, sub);
    EXPECT_EQ(map->Requirements(0), ULONG{MTLREQ_VIEW_DEP | MTLREQ_UV});
}

TEST_F(MapObject, CloneWithoutSubMapIsStaleWithSwitchCacheOff) {
    Block(*map).SetValue(6, 0, TRUE);
    Interval valid = FOREVER;
    map->Update(0, valid);
    standin::CloneOnceRemapDir remap;
    auto* clone = static_cast<Texmap*>(map->Clone(remap));
    scene->Add(clone);
    EXPECT_EQ(clone->GetSubTexmap(0), nullptr);
    EXPECT_EQ(clone->GetParamBlock(0)->GetInt(6), 1);
    // Assigned later, the sub-map is not evaluated until the clone is updated.
    auto* late = new CountingMonoMap(0.5f);
    clone->SetSubTexmap(0, late);
    evalAt(*clone, 0.5f);
    EXPECT_EQ(late->evaluations.load(), 0);
    valid = FOREVER;
    clone->Update(0, valid);
    evalAt(*clone, 0.5f);
    EXPECT_EQ(late->evaluations.load(), 1);
}

}  // namespace
}  // namespace nacrelle::testing
