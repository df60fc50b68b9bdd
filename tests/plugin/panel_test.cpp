// The map's editor panel, built headless by the host from template 101 and
// driven as a user would.
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>
#include <panels/panels.h>
#include <params/param_access.h>
#include <platform/shell.h>
#include <scene/scene_file.h>

#include <set>
#include <string>
#include <vector>

#include "tests/plugin/map_fixture.h"
#include "tests/plugin/shell_observer.h"

namespace nacrelle::testing {
namespace {

constexpr int kMinEdit = 1490, kMaxEdit = 1491, kMaxSpin = 1497, kMapButton = 1002;
constexpr int kUseMap = 1003, kHomepage = 1008, kArticle = 1009;
const std::set<int> kFollowTheSwitch = {kMaxEdit, kMaxSpin, kMapButton};

class Editor final : public IMtlParams {
public:
    void MtlChanged() override {}
    TimeValue GetTime() override { return 0; }
};

class PanelTest : public MapTest {
protected:
    void TearDown() override {
        for (ParamDlg* dlg : open_) dlg->DeleteThis();
        open_.clear();
        MapTest::TearDown();
    }

    standin::HeadlessPanel& Open(Texmap& m) {
        ParamDlg* dlg = m.CreateParamDlg(nullptr, &editor_);
        auto* panel = dynamic_cast<standin::HeadlessPanel*>(dlg);
        EXPECT_NE(panel, nullptr);
        open_.push_back(dlg);
        return *panel;
    }

    static bool Enabled(standin::HeadlessPanel& panel, int id) {
        standin::PanelRollout* rollout = panel.RolloutWith(id);
        EXPECT_NE(rollout, nullptr) << "control " << id;
        return rollout != nullptr && rollout->Control(id)->enabled;
    }

    /// Every control of the rollout is available except those in `off`.
    static void ExpectOnlyUnavailable(standin::HeadlessPanel& panel, const std::set<int>& off) {
        for (const standin::ControlView& c : panel.Rollout(0).Controls()) {
            EXPECT_EQ(c.enabled, off.count(c.id) == 0) << "control " << c.id;
            EXPECT_TRUE(c.visible) << "control " << c.id;
        }
    }

    Editor editor_;
    std::vector<ParamDlg*> open_;
};

TEST_F(PanelTest, SwitchOffMakesMaxRowAndMapButtonUnavailable) {
    standin::HeadlessPanel& panel = Open(*map);
    EXPECT_TRUE(panel.Problems().empty());
    EXPECT_EQ(panel.Rollout(0).DialogId(), 101);
    EXPECT_EQ(panel.Rollout(0).Title(), "Nacrelle Parameters");
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
    // The output filter's own panel is appended.
    ASSERT_EQ(panel.NumDlgs(), 1);
    EXPECT_EQ(panel.GetDlg(0)->GetThing(), map->GetReference(2));
}

TEST_F(PanelTest, TickingAndUntickingTheCheckBox) {
    standin::HeadlessPanel& panel = Open(*map);
    ASSERT_TRUE(panel.ClickCheckBox(kUseMap));
    EXPECT_EQ(Block(*map).GetInt(6), 1);
    ExpectOnlyUnavailable(panel, {});
    ASSERT_TRUE(panel.ClickCheckBox(kUseMap));
    EXPECT_EQ(Block(*map).GetInt(6), 0);
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
}

TEST_F(PanelTest, AssignedMapStaysWhileTheButtonIsUnavailable) {
    standin::HeadlessPanel& panel = Open(*map);
    ASSERT_TRUE(panel.ClickCheckBox(kUseMap));
    auto* noise = static_cast<Texmap*>(standin::CreateInstance(standin::GreyNoiseDesc()));
    ASSERT_TRUE(panel.AssignMap(kMapButton, noise));
    EXPECT_EQ(map->GetSubTexmap(0), noise);
    ASSERT_TRUE(panel.ClickCheckBox(kUseMap));
    EXPECT_FALSE(Enabled(panel, kMapButton));
    EXPECT_EQ(map->GetSubTexmap(0), noise);
    EXPECT_NE(panel.RolloutWith(kMapButton)->Control(kMapButton)->text, "None");
}

TEST_F(PanelTest, MovingThePanelBetweenMapsFollowsTheirSwitches) {
    Texmap& other = NewMap();
    Block(*map).SetValue(6, 0, TRUE);
    standin::HeadlessPanel& panel = Open(*map);
    EXPECT_TRUE(Enabled(panel, kMaxEdit));

    panel.SetThing(&other);
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
    EXPECT_EQ(panel.GetDlg(0)->GetThing(), other.GetReference(2));

    panel.SetThing(map);
    ExpectOnlyUnavailable(panel, {});
    EXPECT_EQ(panel.GetDlg(0)->GetThing(), map->GetReference(2));
}

TEST_F(PanelTest, PhysicalOpticsRolloutAndAMetalBaseTakingTheInternalIndexsPlace) {
    constexpr int kSpectral = 1010, kBase = 1012, kInternalEdit = 1495, kInternalSpin = 1501;
    standin::HeadlessPanel& panel = Open(*map);
    ASSERT_EQ(panel.NumRollouts(), 2);
    EXPECT_EQ(panel.Rollout(1).DialogId(), 102);
    EXPECT_EQ(panel.Rollout(1).Title(), "Physical Optics");
    ASSERT_TRUE(panel.ClickCheckBox(kSpectral));
    EXPECT_EQ(Block(*map).GetInt(11), 1);

    ASSERT_TRUE(panel.SelectItem(kBase, 7));
    EXPECT_EQ(Block(*map).GetInt(13), 7);
    EXPECT_EQ(panel.RolloutWith(kBase)->Control(kBase)->text, "Titanium");
    std::set<int> off = kFollowTheSwitch;
    off.insert({kInternalEdit, kInternalSpin});
    ExpectOnlyUnavailable(panel, off);
    // A panel opened on a map whose base is a metal starts that way too.
    Texmap& other = NewMap();
    Block(other).SetValue(13, 0, 2);
    panel.SetThing(&other);
    ExpectOnlyUnavailable(panel, off);
    panel.SetThing(map);
    ASSERT_TRUE(panel.SelectItem(kBase, 0));
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
}

TEST_F(PanelTest, LinkButtonsOpenTheirPagesWhateverTheNotificationCode) {
    ShellObserver shell;
    standin::HeadlessPanel& panel = Open(*map);
    standin::PanelRollout& rollout = panel.Rollout(0);
    std::size_t clicks = 0;
    for (WORD code : {WORD(0), WORD(1), WORD(0x0300), WORD(0xFFFF)}) {
        EXPECT_EQ(rollout.SendToUserProc(WM_COMMAND, MAKEWPARAM(kHomepage, code), 0), 0);
        shell.Opened(++clicks);  // in order, where opening is asynchronous
        EXPECT_EQ(rollout.SendToUserProc(WM_COMMAND, MAKEWPARAM(kArticle, code), 0), 0);
        shell.Opened(++clicks);
    }
    std::vector<std::string> opened = shell.Opened(8);
    ASSERT_EQ(opened.size(), 8u);
    EXPECT_EQ(opened[0], "https://nacrelle.org/");
    EXPECT_EQ(opened[1], "https://en.wikipedia.org/wiki/Thin-film_interference");
    for (std::size_t i = 2; i < opened.size(); ++i) EXPECT_EQ(opened[i], opened[i % 2]);

    const standin::InputResult pressed = panel.PressButton(kArticle);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(pressed.procResult.value_or(-1), 0);
    EXPECT_EQ(shell.Opened(9).size(), 9u);
}

TEST_F(PanelTest, OtherMessagesAndCommandsChangeNothing) {
    ShellObserver shell;
    standin::HeadlessPanel& panel = Open(*map);
    standin::PanelRollout& rollout = panel.Rollout(0);
    for (int id : {kMinEdit, kMapButton, 1496, 0, 0xFFFF}) {
        EXPECT_EQ(rollout.SendToUserProc(WM_COMMAND, MAKEWPARAM(id, 0), 0), 0) << id;
    }
    for (UINT msg : {UINT(WM_INITDIALOG), UINT(0x0200), UINT(0x0110 + 2)}) {
        EXPECT_EQ(rollout.SendToUserProc(msg, kHomepage, 0), 0) << msg;
    }
    EXPECT_TRUE(shell.Opened().empty());
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
    EXPECT_EQ(Block(*map).GetInt(6), 0);
}

TEST_F(PanelTest, FilterPanelHandOverRecognisesOnlyTheLatestBuild) {
    // No panel built yet in this module instance.
    Texmap& other = NewMap();
    standin::HeadlessPanel& first = Open(*map);
    ParamDlg* firstFilter = first.GetDlg(0);
    EXPECT_TRUE(map->SetDlgThing(firstFilter));
    standin::HeadlessPanel& second = Open(other);
    ParamDlg* secondFilter = second.GetDlg(0);
    EXPECT_FALSE(map->SetDlgThing(firstFilter));
    EXPECT_TRUE(map->SetDlgThing(secondFilter));
    EXPECT_EQ(secondFilter->GetThing(), map->GetReference(2));
}

TEST(PanelHandOver, NothingIsRecognisedBeforeAnyPanel) {
    standin::LoadedModule module(NACRELLE_MODULE_PATH);
    standin::Scene scene;
    auto* map = static_cast<Texmap*>(standin::CreateInstance(module.Classes().at(0)));
    scene.Add(map);
    auto* noise = static_cast<Texmap*>(standin::CreateInstance(standin::GreyNoiseDesc()));
    scene.Add(noise);
    Editor editor;
    ParamDlg* unrelated = noise->CreateParamDlg(nullptr, &editor);
    EXPECT_FALSE(map->SetDlgThing(unrelated));
    EXPECT_FALSE(map->SetDlgThing(nullptr));
    unrelated->DeleteThis();
    scene.Clear();
}

TEST_F(PanelTest, SlotNames) {
    for (bool localized : {true, false}) {
        EXPECT_EQ(map->GetSubTexmapSlotName(0, localized), MSTR(L"ThicknessMap"));
        EXPECT_EQ(map->GetSubTexmapSlotName(1, localized), MSTR());
    }
}

struct TypedValue {
    int control;
    const char* text;
    ParamID param;
    float expected;
};

TEST_F(PanelTest, TypedValuesAreClampedToTheirRanges) {
    standin::HeadlessPanel& panel = Open(*map);
    const TypedValue typed[] = {
        {kMinEdit, "5000", 0, 3000.0f}, {1494, "0.1", 3, 0.2f},     {1492, "0", 7, 0.05f},
        {1502, "-200", 8, -180.0f},     {1504, "150", 9, 100.0f},   {kMinEdit, "-3", 0, 0.0f},
        {1493, "1.33", 2, 1.33f},
    };
    for (const TypedValue& t : typed) {
        ASSERT_TRUE(panel.TypeText(t.control, t.text)) << t.text;
        EXPECT_EQ(Block(*map).GetFloat(t.param), t.expected) << t.text;
        EXPECT_EQ(panel.RolloutWith(t.control)->Control(t.control)->number.value_or(-1),
                  static_cast<double>(t.expected));
    }
    EXPECT_FALSE(panel.TypeText(kMinEdit, "abc"));
    EXPECT_EQ(Block(*map).GetFloat(0), 0.0f);
}

TEST_F(PanelTest, ScriptNameThicknessmaxDrivesTheMinRow) {
    standin::HeadlessPanel& panel = Open(*map);
    std::string error;
    ASSERT_TRUE(standin::SetParamByScriptName(Block(*map), "thicknessmax", "100", 0, error));
    EXPECT_EQ(panel.RolloutWith(kMinEdit)->Control(kMinEdit)->number.value_or(-1), 100.0);
    EXPECT_EQ(panel.RolloutWith(kMaxEdit)->Control(kMaxEdit)->number.value_or(-1), 350.0);
}

// The enabled states follow the block whatever changes it, not only a click
// on the panel: a script (any value it may store), a reset to the defaults as
// a preset starts with, and a loaded map the panel moves to.
TEST_F(PanelTest, EnabledStatesFollowEveryChangeOfTheBlock) {
    constexpr int kInternalEdit = 1495, kPhysicalPhase = 1011;
    standin::HeadlessPanel& panel = Open(*map);
    const auto script = [&](const char* name, double value) {
        std::string error;
        ASSERT_TRUE(standin::SetParamAsScript(Block(*map), name, value, 0, error)) << error;
    };
    struct Step {
        const char* name;
        double value;
        bool maxRow, internal;
    };
    const Step steps[] = {
        {"thicknessmapenabled", 1, true, true},
        {"basemetal", 3, true, false},
        {"thicknessmapenabled", -7, true, false},  // any non-zero integer is on
        {"basemetal", 9, true, true},              // outside the list: the dielectric base
        {"basemetal", -1, true, true},
        {"basemetal", 8, true, false},
        {"thicknessmapenabled", 0, false, false},
    };
    for (const Step& step : steps) {
        script(step.name, step.value);
        EXPECT_EQ(Enabled(panel, kMaxEdit), step.maxRow) << step.name << " = " << step.value;
        EXPECT_EQ(Enabled(panel, kMapButton), step.maxRow) << step.name << " = " << step.value;
        EXPECT_EQ(Enabled(panel, kInternalEdit), step.internal) << step.name << " = " << step.value;
        // A metal takes exact phases whatever the switch says.
        EXPECT_EQ(Enabled(panel, kPhysicalPhase), step.internal) << step.name << " = " << step.value;
    }

    script("thicknessmapenabled", 1);
    map->Reset();
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
    EXPECT_TRUE(Enabled(panel, kInternalEdit));

    script("thicknessmapenabled", 1);
    script("basemetal", 2);
    std::unique_ptr<standin::Scene> loaded =
        standin::ReadSceneBytes(standin::WriteSceneBytes(*scene, "saved.ncs"), "saved.ncs");
    map->Reset();
    auto* reloaded = dynamic_cast<Texmap*>(loaded->Roots().front());
    ASSERT_NE(reloaded, nullptr);
    panel.SetThing(reloaded);
    EXPECT_TRUE(Enabled(panel, kMaxEdit));
    EXPECT_FALSE(Enabled(panel, kInternalEdit));
    panel.SetThing(map);
}

/// A parameter map showing a block that has no owner.
class OwnerlessMap final : public IParamMap2 {
public:
    explicit OwnerlessMap(IParamBlock2* block) : block_(block) {}
    IParamBlock2* GetParamBlock() override { return block_; }
    HWND GetHWnd() override { return nullptr; }
    MapID GetMapID() override { return 0; }
    void Invalidate() override {}
    void Invalidate(ParamID, int) override {}
    void Enable(ParamID, BOOL, int) override { ++changes; }
    void Show(ParamID, BOOL, int) override { ++changes; }
    void SetUserDlgProc(ParamMap2UserDlgProc*) override {}
    ParamMap2UserDlgProc* GetUserDlgProc() override { return nullptr; }
    int changes = 0;

private:
    IParamBlock2* block_;
};

TEST_F(PanelTest, CheckBoxCommandForABlockWithoutOwnerChangesNothing) {
    standin::HeadlessPanel& panel = Open(*map);
    ParamMap2UserDlgProc* proc = BlockDescriptor()->GetUserDlgProc(0);
    ASSERT_NE(proc, nullptr);
    IParamBlock2* orphan = CreateParameterBlock2(BlockDescriptor(), nullptr);
    ASSERT_NE(orphan, nullptr);
    OwnerlessMap ownerless(orphan);
    EXPECT_EQ(proc->DlgProc(0, &ownerless, nullptr, WM_COMMAND, MAKEWPARAM(kUseMap, 0), 0), 0);
    OwnerlessMap empty(nullptr);
    EXPECT_EQ(proc->DlgProc(0, &empty, nullptr, WM_COMMAND, MAKEWPARAM(kUseMap, 0), 0), 0);
    EXPECT_EQ(proc->DlgProc(0, nullptr, nullptr, WM_COMMAND, MAKEWPARAM(kUseMap, 0), 0), 0);
    EXPECT_EQ(ownerless.changes, 0);
    ExpectOnlyUnavailable(panel, kFollowTheSwitch);
    orphan->DeleteMe();
}

}  // namespace
}  // namespace nacrelle::testing
