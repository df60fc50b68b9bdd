#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "sdk/animation.h"
#include "sdk/class_directory.h"
#include "maps/output_filter.h"
#include "panels/panels.h"
#include "sdk/remap_dir.h"
#include "scene/scene.h"
#include "maps/standard_texture_output.h"
#include "stdmat.h"

namespace {

using standin::OutputFilterSettings;
using standin::StandardTextureOutput;

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

::testing::AssertionResult sameBits(const AColor& a, const AColor& b) {
    for (int i = 0; i < 4; ++i) {
        if (bits(a[i]) != bits(b[i])) {
            return ::testing::AssertionFailure() << "component " << i << ": 0x" << std::hex
                                                 << bits(a[i]) << " vs 0x" << bits(b[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

// Colours that arithmetic with 1 and 0 would not all leave alone.
std::vector<AColor> awkwardColours() {
    const float inf = std::numeric_limits<float>::infinity();
    const float denormal = std::numeric_limits<float>::denorm_min();
    const float payloadNaN = std::bit_cast<float>(0x7fc12345u);
    return {
        AColor(0.2f, 0.5f, 0.9f, 1.0f),
        AColor(-0.0f, 0.0f, -0.0f, -0.0f),
        AColor(denormal, -denormal, 1e-40f, 0.5f),
        AColor(3.0e38f, -3.0e38f, 123456.789f, 2.0f),
        AColor(inf, -inf, payloadNaN, 0.0f),
        AColor(-0.25f, 1.5f, 0.1f, 0.3f),
        AColor(std::nextafter(1.0f, 2.0f), std::nextafter(0.0f, 1.0f), 0.3333333f, 1.0f),
    };
}

TEST(OutputFilter, DefaultsLeaveEveryColourBitForBit) {
    const OutputFilterSettings defaults;
    for (const AColor& c : awkwardColours()) {
        EXPECT_TRUE(sameBits(standin::FilterColour(defaults, c), c));
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(bits(standin::FilterMono(defaults, c[i])), bits(c[i]));
        }
        const Point3 p(c.r, c.g, c.b);
        const Point3 q = standin::FilterPerturbation(defaults, p);
        EXPECT_EQ(bits(q.x), bits(p.x));
        EXPECT_EQ(bits(q.y), bits(p.y));
        EXPECT_EQ(bits(q.z), bits(p.z));
    }
    // A negative-zero offset is the default too.
    OutputFilterSettings negativeZero;
    negativeZero.rgbOffset = -0.0f;
    EXPECT_TRUE(sameBits(standin::FilterColour(negativeZero, AColor(-0.0f, 1.0f, 2.0f, 3.0f)),
                         AColor(-0.0f, 1.0f, 2.0f, 3.0f)));
}

struct SettingCase {
    const char* name;
    OutputFilterSettings settings;
    AColor input;
    AColor expected;
};

OutputFilterSettings with(void (*change)(OutputFilterSettings&)) {
    OutputFilterSettings s;
    change(s);
    return s;
}

TEST(OutputFilter, EachSettingChangesTheColourAsUsersExpect) {
    const AColor c(0.2f, 0.5f, 0.9f, 0.7f);
    const AColor wide(-0.5f, 1.5f, 0.25f, 2.0f);
    const SettingCase cases[] = {
        {"output amount scales the colour, not alpha",
         with([](OutputFilterSettings& s) { s.outputAmount = 0.5f; }), c,
         AColor(0.1f, 0.25f, 0.45f, 0.7f)},
        {"RGB level multiplies", with([](OutputFilterSettings& s) { s.rgbLevel = 2.0f; }), c,
         AColor(0.4f, 1.0f, 1.8f, 0.7f)},
        {"RGB offset adds", with([](OutputFilterSettings& s) { s.rgbOffset = 0.25f; }), c,
         AColor(0.2f + 0.25f, 0.5f + 0.25f, 0.9f + 0.25f, 0.7f)},
        {"invert turns the colour over", with([](OutputFilterSettings& s) { s.invert = true; }), c,
         AColor(1.0f - 0.2f, 0.5f, 1.0f - 0.9f, 0.7f)},
        {"clamp limits all four components", with([](OutputFilterSettings& s) { s.clamp = true; }),
         wide, AColor(0.0f, 1.0f, 0.25f, 1.0f)},
        {"alpha from RGB intensity is the mean",
         with([](OutputFilterSettings& s) { s.alphaFromRgb = true; }), c,
         AColor(0.2f, 0.5f, 0.9f, (0.2f + 0.5f + 0.9f) / 3.0f)},
        // Level, offset, amount, invert, clamp, alpha: in that order.
        {"all together, in order", with([](OutputFilterSettings& s) {
             s.rgbLevel = 2.0f;
             s.rgbOffset = -0.5f;
             s.outputAmount = 0.5f;
             s.invert = true;
             s.clamp = true;
             s.alphaFromRgb = true;
         }),
         c,
         // r: (0.4 - 0.5) * 0.5 = -0.05, inverted 1.05, clamped 1
         // g: (1.0 - 0.5) * 0.5 = 0.25, inverted 0.75
         // b: (1.8 - 0.5) * 0.5 = 0.65, inverted 0.35
         AColor(
             1.0f, 1.0f - (1.0f - 0.5f) * 0.5f, 1.0f - (0.9f * 2.0f - 0.5f) * 0.5f,
             (1.0f + (1.0f - (1.0f - 0.5f) * 0.5f) + (1.0f - (0.9f * 2.0f - 0.5f) * 0.5f)) / 3.0f)},
    };
    for (const SettingCase& sc : cases) {
        SCOPED_TRACE(sc.name);
        EXPECT_TRUE(sameBits(standin::FilterColour(sc.settings, sc.input), sc.expected));
        // A mono value goes through the same steps as one channel (alpha aside).
        const AColor filtered = standin::FilterColour(sc.settings, sc.input);
        EXPECT_EQ(bits(standin::FilterMono(sc.settings, sc.input.g)), bits(filtered.g));
    }
}

TEST(OutputFilter, PerturbationFollowsAmountAndInvertOnly) {
    OutputFilterSettings s;
    s.outputAmount = 0.5f;
    s.rgbLevel = 3.0f;
    s.rgbOffset = 1.0f;
    s.clamp = true;
    EXPECT_EQ(standin::FilterPerturbation(s, Point3(2.0f, -4.0f, 8.0f)), Point3(1.0f, -2.0f, 4.0f));
    s.invert = true;
    EXPECT_EQ(standin::FilterPerturbation(s, Point3(2.0f, -4.0f, 8.0f)),
              Point3(-1.0f, 2.0f, -4.0f));
}

// ---- The filter object ------------------------------------------------------------------

class TextureOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        output = static_cast<StandardTextureOutput*>(GetNewDefaultTextureOutput());
    }
    void TearDown() override {
        if (output) output->DeleteMe();
    }

    AColor filteredAt(TimeValue t, AColor c) {
        Interval valid = FOREVER;
        output->Update(t, valid);
        return output->Filter(c);
    }

    StandardTextureOutput* output = nullptr;
};

TEST_F(TextureOutputTest, IsTheStandardFilterAtDefaults) {
    EXPECT_EQ(output->SuperClassID(), static_cast<SClass_ID>(TEXOUTPUT_CLASS_ID));
    EXPECT_EQ(output->ClassID(), Class_ID(STDTEXOUT_CLASS_ID, 0));
    EXPECT_EQ(standin::ClassDirectory::Instance().Find(TEXOUTPUT_CLASS_ID,
                                                       Class_ID(STDTEXOUT_CLASS_ID, 0)),
              standin::StandardTextureOutputDesc());
    EXPECT_TRUE(standin::ParamBlockDefinitionErrors(standin::StandardTextureOutputDesc()).empty());
    EXPECT_EQ(output->GetOutputLevel(0), 1.0f);
    EXPECT_EQ(output->GetRGBAmt(0), 1.0f);
    EXPECT_EQ(output->GetRGBOff(0), 0.0f);
    EXPECT_FALSE(output->GetInvert());
    EXPECT_FALSE(output->GetClamp());
    EXPECT_FALSE(output->GetAlphaFromRGB());
    // Before and after an update, the default filter changes nothing.
    for (const AColor& c : awkwardColours()) {
        EXPECT_TRUE(sameBits(output->Filter(c), c));
        EXPECT_TRUE(sameBits(filteredAt(4800, c), c));
        EXPECT_EQ(bits(output->Filter(c.g)), bits(c.g));
    }
    EXPECT_EQ(output->Validity(0), FOREVER);
}

TEST_F(TextureOutputTest, SettingsCountAtOnceAndReset) {
    const AColor c(0.2f, 0.5f, 0.9f, 0.7f);
    output->SetOutputLevel(0, 0.5f);
    EXPECT_TRUE(sameBits(output->Filter(c), AColor(0.1f, 0.25f, 0.45f, 0.7f)));
    output->SetRGBAmt(2.0f, 0);
    output->SetRGBOff(0.25f, 0);
    EXPECT_EQ(output->GetRGBAmt(0), 2.0f);
    EXPECT_EQ(output->GetRGBOff(0), 0.25f);

    output->SetFlag(TEXOUT_INVERT | TEXOUT_CLAMP | TEXOUT_ALPHA_RGB, 1);
    EXPECT_TRUE(output->GetInvert());
    EXPECT_TRUE(output->GetClamp());
    EXPECT_TRUE(output->GetAlphaFromRGB());
    output->SetFlag(TEXOUT_INVERT, 0);
    EXPECT_FALSE(output->GetInvert());
    EXPECT_TRUE(output->GetClamp());
    output->SetInvert(TRUE);
    EXPECT_TRUE(output->CachedSettings().invert);

    output->Reset();
    EXPECT_EQ(output->GetOutputLevel(0), 1.0f);
    EXPECT_FALSE(output->GetInvert());
    EXPECT_FALSE(output->GetClamp());
    EXPECT_FALSE(output->GetAlphaFromRGB());
    EXPECT_TRUE(sameBits(output->Filter(c), c));
}

// The object skips the steps while its settings are the defaults: each
// setting must end that at once, and going back to the default resume it.
TEST_F(TextureOutputTest, EachSettingLeavesAndRejoinsThePassThrough) {
    struct Toggle {
        const char* name;
        void (*change)(StandardTextureOutput&);
        void (*restore)(StandardTextureOutput&);
    };
    const Toggle toggles[] = {
        {"output amount", [](StandardTextureOutput& o) { o.SetOutAmt(0.5f, 0); },
         [](StandardTextureOutput& o) { o.SetOutAmt(1.0f, 0); }},
        {"RGB level", [](StandardTextureOutput& o) { o.SetRGBAmt(2.0f, 0); },
         [](StandardTextureOutput& o) { o.SetRGBAmt(1.0f, 0); }},
        {"RGB offset", [](StandardTextureOutput& o) { o.SetRGBOff(0.25f, 0); },
         [](StandardTextureOutput& o) { o.SetRGBOff(0.0f, 0); }},
        {"invert", [](StandardTextureOutput& o) { o.SetInvert(TRUE); },
         [](StandardTextureOutput& o) { o.SetInvert(FALSE); }},
        {"clamp", [](StandardTextureOutput& o) { o.SetClamp(TRUE); },
         [](StandardTextureOutput& o) { o.SetClamp(FALSE); }},
        {"alpha from RGB", [](StandardTextureOutput& o) { o.SetAlphaFromRGB(TRUE); },
         [](StandardTextureOutput& o) { o.SetAlphaFromRGB(FALSE); }},
    };
    const AColor c(0.2f, 0.5f, 1.5f, 0.7f);
    for (const Toggle& toggle : toggles) {
        SCOPED_TRACE(toggle.name);
        toggle.change(*output);
        EXPECT_FALSE(standin::ChangesNothing(output->CachedSettings()));
        const AColor filtered = output->Filter(c);
        EXPECT_FALSE(sameBits(filtered, c));
        EXPECT_TRUE(sameBits(filtered, standin::FilterColour(output->CachedSettings(), c)));
        toggle.restore(*output);
        EXPECT_TRUE(standin::ChangesNothing(output->CachedSettings()));
        EXPECT_TRUE(sameBits(output->Filter(c), c));
    }
}

TEST_F(TextureOutputTest, AnimatedAmountFollowsUpdateTime) {
    const TimeValue frame = GetTicksPerFrame();
    {
        standin::AnimateScope animate;
        output->SetOutputLevel(0, 0.0f);
        output->SetOutputLevel(10 * frame, 1.0f);
    }
    const AColor c(0.8f, 0.4f, 0.2f, 1.0f);
    EXPECT_TRUE(sameBits(filteredAt(0, c), AColor(0.0f, 0.0f, 0.0f, 1.0f)));
    const AColor half = filteredAt(5 * frame, c);
    EXPECT_FLOAT_EQ(half.r, 0.4f);
    EXPECT_FLOAT_EQ(half.b, 0.1f);
    Interval valid = FOREVER;
    output->Update(5 * frame, valid);
    EXPECT_EQ(valid, Interval(5 * frame, 5 * frame));
    EXPECT_TRUE(sameBits(filteredAt(20 * frame, c), c));
    EXPECT_EQ(output->Validity(20 * frame), Interval(10 * frame, TIME_PosInfinity));
}

TEST_F(TextureOutputTest, OwnerHearsSettingChanges) {
    // The filter passes its block's change on: a map holding it refreshes too.
    struct Listener : ReferenceMaker {
        ReferenceTarget* held = nullptr;
        int changes = 0;
        int NumRefs() override { return 1; }
        RefTargetHandle GetReference(int) override { return held; }
        void SetReference(int, RefTargetHandle t) override { held = t; }
        RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage m,
                                   BOOL) override {
            if (m == REFMSG_CHANGE) ++changes;
            return REF_SUCCEED;
        }
    };
    Listener listener;
    ASSERT_EQ(listener.ReplaceReference(0, output), REF_SUCCEED);
    output->SetClamp(TRUE);
    EXPECT_EQ(listener.changes, 1);
    listener.DeleteAllRefsFromMe();  // frees the filter
    output = nullptr;
}

TEST_F(TextureOutputTest, CloneSharesNothing) {
    output->SetOutputLevel(0, 0.25f);
    output->SetInvert(TRUE);
    output->SetName(L"Glow output");
    output->SetGBufID(9);
    standin::CloneOnceRemapDir remap;
    auto* clone = static_cast<StandardTextureOutput*>(output->Clone(remap));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone->GetReference(0), nullptr);
    EXPECT_NE(clone->GetReference(0), output->GetReference(0));
    EXPECT_EQ(clone->GetName(), MSTR(L"Glow output"));
    EXPECT_EQ(clone->GetGBufID(), 9u);
    const AColor c(0.2f, 0.4f, 0.6f, 1.0f);
    EXPECT_TRUE(sameBits(clone->Filter(c), output->Filter(c)));

    clone->SetOutputLevel(0, 1.0f);
    clone->SetInvert(FALSE);
    EXPECT_EQ(output->GetOutputLevel(0), 0.25f);
    EXPECT_TRUE(output->GetInvert());
    EXPECT_TRUE(sameBits(clone->Filter(c), c));

    output->DeleteMe();
    output = nullptr;
    EXPECT_TRUE(sameBits(clone->Filter(c), c));  // the clone lives on alone
    clone->DeleteMe();
}

TEST_F(TextureOutputTest, OwnPanelEditsTheSettings) {
    // The panel references the filter while open: the scene keeps it after.
    standin::Scene scene;
    ASSERT_TRUE(scene.Add(output));
    ParamDlg* dlg = output->CreateParamDlg(nullptr, nullptr);
    standin::HeadlessPanel* panel = standin::AsHeadlessPanel(dlg);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetThing(), output);
    // One generated row per setting, in definition order.
    const int amountEdit = standin::kGeneratedControlBase + 2 * standin::texout_output_amount;
    const int invertBox = standin::kGeneratedControlBase + 2 * standin::texout_invert;
    ASSERT_TRUE(panel->TypeText(amountEdit, "0.5"));
    const AColor c(0.2f, 0.5f, 0.9f, 0.7f);
    EXPECT_TRUE(sameBits(output->Filter(c), AColor(0.1f, 0.25f, 0.45f, 0.7f)));
    ASSERT_TRUE(panel->ClickCheckBox(invertBox));
    EXPECT_TRUE(output->GetInvert());
    // Typed values are limited to the setting's range.
    ASSERT_TRUE(panel->TypeText(amountEdit, "-4"));
    EXPECT_EQ(output->GetOutputLevel(0), 0.0f);
    dlg->DeleteThis();
    EXPECT_TRUE(scene.Contains(output));
    output = nullptr;  // the scene's now
}

}  // namespace
