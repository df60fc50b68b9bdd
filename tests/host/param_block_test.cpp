// Parameter-block values: defaults, typed access, notification of the owner,
// owner-reference parameters, keyframes, reset and cloning.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "sdk_test_classes.h"
#include "params/param_access.h"
#include "sdk/references.h"
#include "sdk/remap_dir.h"

namespace {

using namespace sdktest;

class ParamBlock : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCounters();
        AnimateOff();
        owner = static_cast<Owner*>(cd.Create(FALSE));
        block = owner->Block();
        ASSERT_NE(block, nullptr);
    }
    void TearDown() override {
        AnimateOff();
        if (owner) owner->DeleteMe();
    }

    TestClassDesc cd;
    std::unique_ptr<ParamBlockDesc2> desc = MakeTestBlockDesc(&cd);
    Owner* owner = nullptr;
    IParamBlock2* block = nullptr;
};

TEST_F(ParamBlock, AutoConstructedBlockStartsAtDefaults) {
    EXPECT_EQ(block->SuperClassID(), PARAMETER_BLOCK2_CLASS_ID);
    EXPECT_EQ(block->ID(), 0);
    EXPECT_EQ(block->GetOwner(), owner);
    EXPECT_EQ(block->GetDesc(), desc.get());
    EXPECT_EQ(block->NumParams(), 7);
    EXPECT_EQ(owner->GetParamBlockByID(0), block);
    EXPECT_EQ(standin::DependentsOf(block), std::vector<ReferenceMaker*>{owner});

    EXPECT_EQ(block->GetFloat(kThickness), 250.0f);
    EXPECT_EQ(block->GetFloat(kIndex), 1.5f);
    EXPECT_EQ(block->GetInt(kCount), 3);
    EXPECT_EQ(block->GetInt(kEnabled), 0);
    EXPECT_EQ(block->GetReferenceTarget(kMap), nullptr);
    EXPECT_EQ(block->GetReferenceTarget(kOutput), nullptr);
    EXPECT_EQ(block->GetReferenceTarget(kLocalMap), nullptr);
    EXPECT_EQ(block->GetParameterType(kEnabled), TYPE_BOOL);
    EXPECT_EQ(block->LastNotifyParamID(), -1);

    // A constant value holds for ever: reading it leaves the interval alone.
    Interval valid(100, 200);
    float thickness = 0.0f;
    EXPECT_TRUE(block->GetValue(kThickness, 150, thickness, valid));
    EXPECT_EQ(valid, Interval(100, 200));
}

TEST_F(ParamBlock, EverySetNotifiesTheOwnerWithTheParameter) {
    Map* map = new Map;
    Thing* thing = new Thing;
    Map* local = new Map;
    struct Case {
        ParamID id;
        std::function<BOOL()> set;
    };
    const Case cases[] = {
        {kThickness, [&] { return block->SetValue(kThickness, 0, 400.0f); }},
        {kIndex, [&] { return block->SetValue(kIndex, 0, 2); }},  // an int sets a float
        {kCount, [&] { return block->SetValue(kCount, 0, 7); }},
        {kEnabled, [&] { return block->SetValue(kEnabled, 0, TRUE); }},
        {kMap, [&] { return block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(map)); }},
        {kOutput, [&] { return block->SetValue(kOutput, 0, thing); }},
        {kLocalMap, [&] { return block->SetValue(kLocalMap, 0, local); }},
    };
    for (const Case& c : cases) {
        owner->heard.clear();
        ASSERT_TRUE(c.set()) << c.id;
        ASSERT_EQ(owner->heard.size(), 1u) << c.id;
        EXPECT_EQ(owner->heard[0].target, block);
        EXPECT_EQ(owner->heard[0].message, REFMSG_CHANGE);
        EXPECT_EQ(owner->heard[0].lastParam, c.id);
        EXPECT_EQ(block->LastNotifyParamID(), c.id);
    }
    EXPECT_EQ(block->GetFloat(kThickness), 400.0f);
    EXPECT_EQ(block->GetFloat(kIndex), 2.0f);
    EXPECT_EQ(block->GetInt(kCount), 7);
    EXPECT_EQ(block->GetInt(kEnabled), TRUE);
    EXPECT_EQ(block->GetReferenceTarget(kMap), map);
    EXPECT_EQ(block->GetReferenceTarget(kOutput), thing);
    EXPECT_EQ(block->GetReferenceTarget(kLocalMap), local);

    IParamBlock2* changed = nullptr;
    EXPECT_EQ(cd.LastNotifyParamID(owner, changed), kLocalMap);
    EXPECT_EQ(changed, block);
}

// The host's block checks no float: scripts and files may store NaN and the
// infinities, and the maps must cope.
TEST_F(ParamBlock, KeepsAnyFloatAsTheHostDoes) {
    for (const float value : {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), -1e30f}) {
        EXPECT_TRUE(block->SetValue(kThickness, 0, value)) << value;
        const float stored = block->GetFloat(kThickness);
        EXPECT_TRUE(std::isnan(value) ? std::isnan(stored) : stored == value) << value;
    }
}

TEST_F(ParamBlock, RefusesValuesOfTheWrongKindWithoutNotifying) {
    Thing* thing = new Thing;
    Owner holder(&cd);  // keeps `thing` referenced until the test releases it
    holder.ReplaceReference(2, thing);
    const std::function<BOOL()> refused[] = {
        [&] { return block->SetValue(kCount, 0, 1.5f); },  // float into an int
        [&] { return block->SetValue(kThickness, 0, thing); },
        [&] { return block->SetValue(kMap, 0, thing); },  // not a texture map
        [&] { return block->SetValue(kLocalMap, 0, thing); },
        [&] { return block->SetValue(99, 0, 1.0f); },
        [&] { return block->SetValue(kThickness, 0, 1.0f, 1); },  // no tables here
        [&] { return block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(owner)); },  // loop
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        EXPECT_FALSE(refused[i]()) << "case " << i;
    }
    EXPECT_TRUE(owner->heard.empty());
    EXPECT_EQ(block->GetFloat(kThickness), 250.0f);

    int asInt = -1;
    float asFloat = -1.0f;
    ReferenceTarget* asRef = thing;
    Interval valid = FOREVER;
    EXPECT_FALSE(block->GetValue(kThickness, 0, asInt, valid));
    EXPECT_FALSE(block->GetValue(kCount, 0, asFloat, valid));
    EXPECT_FALSE(block->GetValue(kCount, 0, asRef, valid));
    EXPECT_FALSE(block->GetValue(99, 0, asFloat, valid));
    EXPECT_EQ(asInt, -1);
    EXPECT_EQ(asFloat, -1.0f);
    holder.DeleteAllRefs();  // the host releases before an object goes
}

TEST_F(ParamBlock, OwnerReferenceParametersAreSeenFromBothSides) {
    Map* first = new Map;
    Map* second = new Map;
    Thing* output = new Thing;

    // Set through the block: the owner's reference 1 holds it.
    ASSERT_TRUE(block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(first)));
    EXPECT_EQ(owner->GetReference(1), first);
    EXPECT_EQ(standin::DependentsOf(first), std::vector<ReferenceMaker*>{owner});
    EXPECT_EQ(block->NumRefs(), 1);  // only the block's own map parameter

    // Set through the owner: the block reads the new map, the old one is freed.
    owner->ReplaceReference(1, second);
    ReferenceTarget* read = nullptr;
    Interval valid = FOREVER;
    ASSERT_TRUE(block->GetValue(kMap, 0, read, valid));
    EXPECT_EQ(read, second);
    EXPECT_EQ(mapsReleased, 1);

    ASSERT_TRUE(block->SetValue(kOutput, 0, output));
    EXPECT_EQ(owner->GetReference(2), output);
    owner->DeleteReference(2);
    EXPECT_EQ(block->GetReferenceTarget(kOutput), nullptr);
    EXPECT_EQ(thingsReleased, 1);

    // Clearing through the block frees the map nobody else holds.
    ASSERT_TRUE(block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(nullptr)));
    EXPECT_EQ(owner->GetReference(1), nullptr);
    EXPECT_EQ(mapsReleased, 2);
}

TEST_F(ParamBlock, ChangesOfAMapTheBlockHoldsReachTheOwner) {
    Map* local = new Map;
    ASSERT_TRUE(block->SetValue(kLocalMap, 0, local));
    EXPECT_EQ(block->GetReference(0), local);
    block->SetValue(kThickness, 0, 300.0f);
    owner->heard.clear();

    local->Change();
    ASSERT_EQ(owner->heard.size(), 1u);
    EXPECT_EQ(owner->heard[0].target, block);
    EXPECT_EQ(owner->heard[0].lastParam, kLocalMap);
}

TEST_F(ParamBlock, KeyframesInterpolateAndNarrowValidity) {
    const TimeValue frame = GetTicksPerFrame();
    // Without animate mode the value is one constant.
    block->SetValue(kThickness, 10 * frame, 300.0f);
    EXPECT_TRUE(standin::ParamKeys(*block, kThickness).empty());

    AnimateOn();
    block->SetValue(kThickness, 10 * frame, 500.0f);
    block->SetValue(kCount, 10 * frame, 5);  // not animatable: stays constant
    AnimateOff();
    // The first key away from time 0 keeps the earlier value at 0.
    const auto keys = standin::ParamKeys(*block, kThickness);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time, 0);
    EXPECT_EQ(keys[0].value, 300.0f);
    EXPECT_EQ(keys[1].time, 10 * frame);
    EXPECT_EQ(keys[1].value, 500.0f);
    EXPECT_TRUE(standin::ParamKeys(*block, kCount).empty());

    struct Case {
        TimeValue t;
        float value;
        Interval valid;
    };
    const Case cases[] = {
        {-5 * frame, 300.0f, Interval(TIME_NegInfinity, 0)},
        {0, 300.0f, Interval(TIME_NegInfinity, 0)},
        {5 * frame, 400.0f, Interval(5 * frame, 5 * frame)},
        {2 * frame, 340.0f, Interval(2 * frame, 2 * frame)},
        {10 * frame, 500.0f, Interval(10 * frame, TIME_PosInfinity)},
        {30 * frame, 500.0f, Interval(10 * frame, TIME_PosInfinity)},
    };
    for (const Case& c : cases) {
        float v = 0.0f;
        Interval valid = FOREVER;
        ASSERT_TRUE(block->GetValue(kThickness, c.t, v, valid));
        EXPECT_EQ(v, c.value) << "t=" << c.t;
        EXPECT_EQ(valid, c.valid) << "t=" << c.t << " gave [" << valid.Start() << ", "
                                  << valid.End() << "]";
    }
    // Narrowing intersects with what the caller already had.
    float v = 0.0f;
    Interval valid(-100, 100);
    block->GetValue(kThickness, -50, v, valid);
    EXPECT_EQ(valid, Interval(-100, 0));

    // Once keyed, a set adds a key even with animate mode off.
    block->SetValue(kThickness, 20 * frame, 500.0f);
    EXPECT_EQ(standin::ParamKeys(*block, kThickness).size(), 3u);
    // Equal neighbouring keys hold the value across the span between them.
    valid = FOREVER;
    block->GetValue(kThickness, 15 * frame, v, valid);
    EXPECT_EQ(v, 500.0f);
    EXPECT_EQ(valid, Interval(10 * frame, TIME_PosInfinity));
    // The constant switch is untouched by the animation.
    valid = FOREVER;
    int count = 0;
    block->GetValue(kCount, 5 * frame, count, valid);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(valid, FOREVER);
}

TEST_F(ParamBlock, ValidityAroundInnerKeys) {
    // Keys 0:1, 100:1, 200:2, 300:2, 400:1.
    AnimateOn();
    for (const auto& [t, value] : std::vector<std::pair<TimeValue, float>>{
             {0, 1.0f}, {100, 1.0f}, {200, 2.0f}, {300, 2.0f}, {400, 1.0f}}) {
        block->SetValue(kIndex, t, value);
    }
    AnimateOff();
    struct Case {
        TimeValue t;
        Interval valid;
    };
    const Case cases[] = {
        {50, Interval(TIME_NegInfinity, 100)},  // before a change, back to the first key
        {100, Interval(TIME_NegInfinity, 100)},
        {150, Interval(150, 150)},
        {200, Interval(200, 300)},
        {250, Interval(200, 300)},
        {300, Interval(200, 300)},
        {350, Interval(350, 350)},
        {400, Interval(400, TIME_PosInfinity)},
    };
    for (const Case& c : cases) {
        float v = 0.0f;
        Interval valid = FOREVER;
        block->GetValue(kIndex, c.t, v, valid);
        EXPECT_EQ(valid, c.valid) << "t=" << c.t << " gave [" << valid.Start() << ", "
                                  << valid.End() << "]";
    }
}

TEST_F(ParamBlock, ResetRestoresDefaultsAndLeavesOwnerReferencesToTheOwner) {
    Map* map = new Map;
    Map* local = new Map;
    AnimateOn();
    block->SetValue(kThickness, 1600, 900.0f);
    AnimateOff();
    block->SetValue(kIndex, 0, 3.0f);
    block->SetValue(kCount, 0, 9);
    block->SetValue(kEnabled, 0, TRUE);
    block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(map));
    block->SetValue(kLocalMap, 0, local);
    owner->heard.clear();

    cd.Reset(owner);
    EXPECT_EQ(block->GetFloat(kThickness, 1600), 250.0f);
    EXPECT_TRUE(standin::ParamKeys(*block, kThickness).empty());
    EXPECT_EQ(block->GetFloat(kIndex), 1.5f);
    EXPECT_EQ(block->GetInt(kCount), 3);
    EXPECT_EQ(block->GetInt(kEnabled), 0);
    EXPECT_EQ(block->GetReferenceTarget(kLocalMap), nullptr);
    EXPECT_EQ(mapsReleased, 1);                       // the block's own map
    EXPECT_EQ(block->GetReferenceTarget(kMap), map);  // the owner's to drop
    // One change notification, about no single parameter.
    ASSERT_EQ(owner->heard.size(), 1u);
    EXPECT_EQ(owner->heard[0].lastParam, -1);
    EXPECT_EQ(block->LastNotifyParamID(), -1);
    IParamBlock2* changed = nullptr;
    EXPECT_EQ(cd.LastNotifyParamID(owner, changed), -1);
    EXPECT_EQ(changed, nullptr);

    // A single parameter can be reset too.
    block->SetValue(kCount, 0, 8);
    block->Reset(kCount);
    EXPECT_EQ(block->GetInt(kCount), 3);
    EXPECT_EQ(block->LastNotifyParamID(), kCount);
}

TEST_F(ParamBlock, CloneCopiesValuesAndLearnsItsNewOwner) {
    Map* local = new Map;
    AnimateOn();
    block->SetValue(kThickness, 1600, 900.0f);
    AnimateOff();
    block->SetValue(kCount, 0, 6);
    block->SetValue(kLocalMap, 0, local);

    standin::CloneOnceRemapDir remap;
    auto* copy = static_cast<IParamBlock2*>(remap.CloneRef(block));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetOwner(), nullptr);
    EXPECT_EQ(copy->GetDesc(), desc.get());
    EXPECT_EQ(copy->GetFloat(kThickness, 800), 575.0f);
    EXPECT_EQ(standin::ParamKeys(*copy, kThickness).size(), 2u);
    EXPECT_EQ(copy->GetInt(kCount), 6);
    EXPECT_EQ(copy->GetReferenceTarget(kLocalMap), nullptr)
        << "Map has no Clone: its clone is null";

    Owner* other = static_cast<Owner*>(cd.Create(FALSE));
    IParamBlock2* fresh = other->Block();
    other->ReplaceReference(0, copy);
    EXPECT_EQ(other->Block(), copy);
    EXPECT_EQ(copy->GetOwner(), other);
    EXPECT_EQ(standin::DependentsOf(copy), std::vector<ReferenceMaker*>{other});
    (void)fresh;  // freed by the replacement
    other->DeleteMe();
    EXPECT_EQ(ownersReleased, 1);
}

TEST_F(ParamBlock, MapsAreRecordedPerMapID) {
    EXPECT_EQ(block->GetMap(), nullptr);
    auto* fake = reinterpret_cast<IParamMap2*>(0x1000);  // never dereferenced
    block->SetMap(fake);
    EXPECT_EQ(block->GetMap(0), fake);
    EXPECT_EQ(block->GetMap(1), nullptr);
    block->SetMap(nullptr);
    EXPECT_EQ(block->GetMap(), nullptr);
}

TEST_F(ParamBlock, DeletingTheOwnerFreesTheBlockAndItsObjects) {
    block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(new Map));
    block->SetValue(kLocalMap, 0, new Map);
    block->SetValue(kOutput, 0, new Thing);
    owner->DeleteMe();
    owner = nullptr;
    EXPECT_EQ(ownersReleased, 1);
    EXPECT_EQ(mapsReleased, 2);
    EXPECT_EQ(thingsReleased, 1);
}

}  // namespace
