// Addressing parameters by script name, clamped sets and key listing.
#include "params/param_access.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

#include "sdk_test_classes.h"
#include "sdk/animation.h"

namespace {

using namespace sdktest;

class ParamAccess : public ::testing::Test {
protected:
    void SetUp() override {
        AnimateOff();
        owner = static_cast<Owner*>(cd.Create(FALSE));
        block = owner->Block();
    }
    void TearDown() override {
        AnimateOff();
        owner->DeleteMe();
    }

    TestClassDesc cd;
    std::unique_ptr<ParamBlockDesc2> desc = MakeTestBlockDesc(&cd);
    Owner* owner = nullptr;
    IParamBlock2* block = nullptr;
};

TEST_F(ParamAccess, SetsByScriptNameAndNotifiesWithTheParameter) {
    std::string error;
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "thickness", "100", 0, error)) << error;
    EXPECT_EQ(block->GetFloat(kThickness), 100.0f);
    ASSERT_FALSE(owner->heard.empty());
    EXPECT_EQ(owner->heard.back().lastParam, kThickness);

    ASSERT_TRUE(standin::SetParamByScriptName(*block, "INDEX", " 2.5e0 ", 0, error)) << error;
    EXPECT_EQ(block->GetFloat(kIndex), 2.5f);
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "count", 7.0, 0, error)) << error;
    EXPECT_EQ(block->GetInt(kCount), 7);
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "enabled", "On", 0, error)) << error;
    EXPECT_EQ(block->GetInt(kEnabled), 1);
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "enabled", "false", 0, error)) << error;
    EXPECT_EQ(block->GetInt(kEnabled), 0);
    // The range's ends themselves are accepted.
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "thickness", 3000.0, 0, error)) << error;
    ASSERT_TRUE(standin::SetParamByScriptName(*block, "index", "0.2", 0, error)) << error;
    EXPECT_EQ(block->GetFloat(kIndex), 0.2f);
}

TEST_F(ParamAccess, RefusesWhatDoesNotFitAndChangesNothing) {
    struct Case {
        const char* name;
        const char* text;
        std::string error;
    };
    const Case cases[] = {
        {"thickness", "5000", "thickness: 5000 is outside the range 0 to 3000"},
        {"thickness", "-0.5", "thickness: -0.5 is outside the range 0 to 3000"},
        {"index", "0.1", "index: 0.1 is outside the range 0.2 to 100"},
        {"count", "11", "count: 11 is outside the range 1 to 10"},
        {"count", "2.5", "count: 2.5 is not a whole number"},
        {"thickness", "abc", "thickness: \"abc\" is not a number"},
        {"thickness", "12px", "thickness: \"12px\" is not a number"},
        {"thickness", "", "thickness: \"\" is not a number"},
        {"thickness", "nan", "thickness: \"nan\" is not a number"},
        {"thickness", "0x10", "thickness: \"0x10\" is not a number (write it in decimal)"},
        {"thickness", "1e999", "thickness: \"1e999\" is out of range"},
        {"enabled", "maybe", "enabled: \"maybe\" is not true or false"},
        {"enabled", "2", "enabled: \"2\" is not true or false"},
        {"map", "none", "map: an object parameter cannot be set from text"},
        {"gamma", "1", "no parameter named \"gamma\" in block \"params\""},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(standin::SetParamByScriptName(*block, c.name, c.text, 0, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    EXPECT_FALSE(standin::SetParamByScriptName(*block, "thickness", 1e300, 0, error));
    EXPECT_EQ(error, "thickness: 1e+300 is outside the range 0 to 3000");
    EXPECT_FALSE(standin::SetParamByScriptName(*block, "enabled", 2.0, 0, error));
    EXPECT_EQ(error, "enabled: 2 is not 0 or 1 (false or true)");
    EXPECT_TRUE(owner->heard.empty());
    EXPECT_EQ(block->GetFloat(kThickness), 250.0f);
    EXPECT_EQ(block->GetFloat(kIndex), 1.5f);
    EXPECT_EQ(block->GetInt(kCount), 3);
}

TEST_F(ParamAccess, ReadsByScriptName) {
    Map* map = new Map;
    block->SetValue(kMap, 0, static_cast<ReferenceTarget*>(map));
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"thickness", "250"}, {"index", "1.5"}, {"count", "3"},
        {"enabled", "false"}, {"map", "Map"},   {"output", "none"},
    };
    for (const Case& c : cases) {
        standin::ScriptValue value;
        std::string error;
        ASSERT_TRUE(standin::GetParamByScriptName(*block, c.name, 0, value, error)) << error;
        EXPECT_EQ(value.ToText(), c.text) << c.name;
    }
    standin::ScriptValue value;
    std::string error;
    EXPECT_FALSE(standin::GetParamByScriptName(*block, "nothing", 0, value, error));
    EXPECT_EQ(error, "no parameter named \"nothing\" in block \"params\"");
    EXPECT_EQ(standin::FindParamByScriptName(*block, "Output")->ID, kOutput);
}

TEST_F(ParamAccess, ClampedSetsLimitToTheRange) {
    struct Case {
        ParamID id;
        float typed;
        float stored;
    };
    const Case cases[] = {
        {kThickness, 5000.0f, 3000.0f},
        {kThickness, -1.0f, 0.0f},
        {kThickness, 123.5f, 123.5f},
        {kIndex, 0.1f, 0.2f},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(standin::SetValueClamped(*block, c.id, 0, c.typed));
        EXPECT_EQ(block->GetFloat(c.id), c.stored) << c.typed;
    }
    EXPECT_TRUE(standin::SetValueClamped(*block, kCount, 0, 40));
    EXPECT_EQ(block->GetInt(kCount), 10);
    EXPECT_TRUE(standin::SetValueClamped(*block, kCount, 0, 4.6f));  // rounds
    EXPECT_EQ(block->GetInt(kCount), 5);
    EXPECT_FALSE(standin::SetValueClamped(*block, 99, 0, 1.0f));

    // An entry in double: limited before it is narrowed, so a value past any
    // float or int still lands on the range's end; integers round half away.
    EXPECT_TRUE(standin::SetValueClamped(*block, kThickness, 0, 1e300));
    EXPECT_EQ(block->GetFloat(kThickness), 3000.0f);
    EXPECT_TRUE(standin::SetValueClamped(*block, kCount, 0, -1e300));
    EXPECT_EQ(block->GetInt(kCount), 1);
    EXPECT_TRUE(standin::SetValueClamped(*block, kCount, 0, 2.5));
    EXPECT_EQ(block->GetInt(kCount), 3);
    EXPECT_FALSE(standin::SetValueClamped(*block, kThickness, 0, std::nan("")));
}

TEST_F(ParamAccess, ScriptSetsAtATimeFollowAnimateMode) {
    std::string error;
    {
        standin::AnimateScope animate;
        ASSERT_TRUE(standin::SetParamByScriptName(*block, "thickness", "400", 1600, error));
    }
    const auto keys = standin::ParamKeys(*block, kThickness);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time, 0);
    EXPECT_EQ(keys[0].value, 250.0f);
    EXPECT_EQ(keys[1].time, 1600);
    EXPECT_EQ(keys[1].value, 400.0f);
    standin::ScriptValue value;
    ASSERT_TRUE(standin::GetParamByScriptName(*block, "thickness", 800, value, error));
    EXPECT_EQ(value.ToText(), "325");
}

TEST(FormatFloat, ShortestTextThatReadsBack) {
    EXPECT_EQ(standin::FormatFloat(0.2f), "0.2");
    EXPECT_EQ(standin::FormatFloat(3000.0f), "3000");
    EXPECT_EQ(standin::FormatFloat(-180.0f), "-180");
    EXPECT_EQ(standin::FormatFloat(0.05f), "0.05");
}

}  // namespace
