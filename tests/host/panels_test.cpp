// Headless panels built from the test module's compiled dialog template: the
// controls it shows, simulated input as real controls deliver it, moving the
// panel between objects, and the user procedure's lifetime.
#include "panels/panels.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "max.h"
#include "scene_test_classes.h"
#include "modules/instance.h"
#include "scene/scene.h"
#include "platform/shell.h"
#include "test_module/test_module_ids.h"
#include "test_module_paths.h"

namespace {

using standin::HeadlessPanel;

enum : ParamID { kValue = 0, kEnabled = 1, kCount = 2 };

struct Message {
    UINT msg;
    WPARAM wParam;
    IParamMap2* map;
    int enabledWhenSent;  // parameter kEnabled as the procedure saw it
};

struct ProcLog {
    std::vector<Message> messages;
    std::vector<ReferenceTarget*> things;
    int released = 0;
    INT_PTR shellResult = 0;  // what ShellExecuteW answered last

    int Count(UINT msg) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [msg](const Message& m) { return m.msg == msg; }));
    }
};

class RecordingProc : public ParamMap2UserDlgProc {
public:
    explicit RecordingProc(ProcLog& log, INT_PTR answer = 0) : log_(log), answer_(answer) {}
    INT_PTR DlgProc(TimeValue, IParamMap2* map, HWND, UINT msg, WPARAM wParam, LPARAM) override {
        IParamBlock2* block = map ? map->GetParamBlock() : nullptr;
        log_.messages.push_back({msg, wParam, map, block ? block->GetInt(kEnabled) : -1});
        if (msg == WM_COMMAND && LOWORD(wParam) == IDC_LINK) {
            log_.shellResult = reinterpret_cast<INT_PTR>(ShellExecuteW(
                nullptr, nullptr, L"https://example.org/link", nullptr, nullptr, SW_SHOW));
        }
        return answer_;
    }
    void DeleteThis() override {
        ++log_.released;
        delete this;
    }
    void SetThing(ReferenceTarget* m) override { log_.things.push_back(m); }

private:
    ProcLog& log_;
    INT_PTR answer_;
};

/// A dialog added to a master panel, recording what the master does with it.
class RecordingDlg : public ParamDlg {
public:
    explicit RecordingDlg(int& released) : released_(released) {}
    Class_ID ClassID() override { return Class_ID(1, 2); }
    void SetThing(ReferenceTarget* m) override { thing = m; }
    ReferenceTarget* GetThing() override { return thing; }
    void SetTime(TimeValue t) override { time = t; }
    void ReloadDialog() override {}
    void DeleteThis() override {
        ++released_;
        delete this;
    }
    void ActivateDlg(BOOL) override {}

    ReferenceTarget* thing = nullptr;
    TimeValue time = 0;

private:
    int& released_;
};

class PanelOwner : public ReferenceTarget, public ISubMap {
public:
    explicit PanelOwner(ClassDesc2* cd) : cd_(cd) { cd_->MakeAutoParamBlocks(this); }

    SClass_ID SuperClassID() override { return cd_->SuperClassID(); }
    Class_ID ClassID() override { return cd_->ClassID(); }
    void GetClassName(MSTR& s, bool) const override { s = L"PanelOwner"; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? block_ : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override {
        return block_ && block_->ID() == id ? block_ : nullptr;
    }
    BOOL SetDlgThing(ParamDlg* dlg) override {
        offered.push_back(dlg);
        return TRUE;
    }
    ReferenceTarget* GetRefTarget() override { return this; }
    int MapSlotType(int) override { return MAPSLOT_TEXTURE; }

    IParamBlock2* Block() const { return block_; }
    std::vector<ParamDlg*> offered;

protected:
    void SetReference(int i, RefTargetHandle target) override {
        if (i == 0) block_ = static_cast<IParamBlock2*>(target);
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }

private:
    ClassDesc2* cd_;
    IParamBlock2* block_ = nullptr;
};

class PanelDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new PanelOwner(this); }
    const MCHAR* ClassName() override { return L"PanelOwner"; }
    const MCHAR* NonLocalizedClassName() override { return L"PanelOwner"; }
    SClass_ID SuperClassID() override { return 0x7E5D; }
    Class_ID ClassID() override { return Class_ID(0x5CE7E00D, 1); }
    const MCHAR* Category() override { return L"Tests"; }
    HINSTANCE HInstance() override { return instance; }

    HINSTANCE instance = nullptr;
};

std::shared_ptr<const standin::ModuleResources> TestModuleResources() {
    std::ifstream in(STANDIN_TEST_RESOURCE_IMAGE, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in), {}};
    return std::make_shared<const standin::ModuleResources>(image);
}

class PanelTest : public testing::Test {
protected:
    explicit PanelTest(int dialog = IDD_TEST_PANEL)
        : instance_("StandInTest_sound.dlt", TestModuleResources()),
          // clang-format off
          blockDesc_(0, L"params", 0, &desc_, P_AUTO_CONSTRUCT + P_AUTO_UI,
              0,
              dialog, IDS_CLASS_NAME, 0, 0, nullptr,
              kValue, L"value", TYPE_FLOAT, P_ANIMATABLE, IDS_CATEGORY,
                  p_default, 250.0, p_range, 0.0, 3000.0,
                  p_ui, TYPE_SPINNER, EDITTYPE_FLOAT, IDC_VALUE_EDIT, IDC_VALUE_SPIN, 1.0,
                  p_end,
              kEnabled, L"enabled", TYPE_BOOL, 0, IDS_NON_ASCII,
                  p_default, FALSE,
                  p_ui, TYPE_SINGLECHEKBOX, IDC_ENABLE,
                  p_end,
              kCount, L"count", TYPE_INT, 0, IDS_LONG,
                  p_default, 3, p_range, 1, 10,
                  p_end,
              p_end)
    // clang-format on
    {
        desc_.instance = instance_.Get();
    }

    // Other suites install hooks of their own.
    void SetUp() override { standin::InstallHeadlessPanelHost(); }

    void TearDown() override {
        for (HeadlessPanel* panel : standin::OpenPanels()) panel->DeleteThis();
        scene_.Clear();
    }

    PanelOwner* NewOwner() {
        auto* owner = static_cast<PanelOwner*>(desc_.Create(FALSE));
        scene_.Add(owner);
        return owner;
    }

    HeadlessPanel* Open(PanelOwner* owner) {
        IAutoMParamDlg* master = desc_.CreateParamDlgs(nullptr, nullptr, owner);
        HeadlessPanel* panel = standin::AsHeadlessPanel(master);
        EXPECT_NE(panel, nullptr);
        return panel;
    }

    std::string Text(HeadlessPanel* panel, int id) { return panel->Rollout(0).Control(id)->text; }

    // Procedures may be released after the test body (when TearDown closes
    // the panels, or with the block definition): their logs live longer.
    ProcLog log_;
    ProcLog otherLog_;
    standin::InstanceHandle instance_;
    PanelDesc desc_;
    ParamBlockDesc2 blockDesc_;
    standin::Scene scene_;
};

#ifndef _WIN32
// Not on Windows: it reads strings of bare resources through LoadStringW, which there is the
// system's and knows only real modules.
TEST_F(PanelTest, ShowsTheTemplateControlsWithTheirValues) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->Problems().empty());
    ASSERT_EQ(panel->NumRollouts(), 1);
    standin::PanelRollout& rollout = panel->Rollout(0);
    EXPECT_EQ(rollout.Title(), "StandInTestClass");
    EXPECT_EQ(rollout.DialogId(), IDD_TEST_PANEL);
    EXPECT_EQ(owner->Block()->GetMap(0), &rollout);
    EXPECT_EQ(rollout.GetParamBlock(), owner->Block());
    EXPECT_EQ(panel->GetThing(), owner);

    struct Expected {
        int id;
        const char* className;
        const char* text;
        standin::ControlRect rect;
        standin::ControlKind kind;
        std::string value;
    };
    const Expected expected[] = {
        {IDC_VALUE_EDIT, "CustEdit", "250", {54, 18, 35, 10}, standin::ControlKind::Edit, "250"},
        {IDC_VALUE_SPIN,
         "SpinnerControl",
         "",
         {90, 18, 7, 10},
         standin::ControlKind::Spinner,
         "250"},
        {-1, "static", "Value (\u00b1%):", {4, 18, 45, 8}, standin::ControlKind::Static, ""},
        {IDC_ENABLE, "button", "", {105, 24, 9, 10}, standin::ControlKind::CheckBox, "0"},
        {-1, "button", "Group", {2, 7, 190, 36}, standin::ControlKind::GroupBox, ""},
        {IDC_LINK, "CustButton", "Link", {134, 60, 60, 11}, standin::ControlKind::Button, ""},
    };
    const std::vector<standin::ControlView> controls = rollout.Controls();
    ASSERT_EQ(controls.size(), std::size(expected));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(controls[i].id, expected[i].id);
        EXPECT_EQ(controls[i].className, expected[i].className);
        EXPECT_EQ(controls[i].text, expected[i].text);
        EXPECT_EQ(controls[i].rect.x, expected[i].rect.x);
        EXPECT_EQ(controls[i].rect.y, expected[i].rect.y);
        EXPECT_EQ(controls[i].rect.cx, expected[i].rect.cx);
        EXPECT_EQ(controls[i].rect.cy, expected[i].rect.cy);
        EXPECT_EQ(controls[i].kind, expected[i].kind);
        EXPECT_EQ(controls[i].ValueText(), expected[i].value);
        EXPECT_TRUE(controls[i].enabled);
        EXPECT_TRUE(controls[i].visible);
    }
}
#endif

TEST_F(PanelTest, TypedValuesAreClampedAndMalformedOnesRefused) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    struct Typed {
        const char* text;
        bool applied;
        float value;        // of the parameter afterwards
        const char* shown;  // in the field afterwards
    };
    const Typed cases[] = {
        {"5000", true, 3000.0f, "3000"},   {"-5", true, 0.0f, "0"},
        {"12.5", true, 12.5f, "12.5"},     {" 42 ", true, 42.0f, "42"},
        {"+7", true, 7.0f, "7"},           {"1e3", true, 1000.0f, "1000"},
        {"abc", false, 1000.0f, "1000"},   {"", false, 1000.0f, "1000"},
        {"1.2.3", false, 1000.0f, "1000"}, {"nan", false, 1000.0f, "1000"},
        {"inf", false, 1000.0f, "1000"},   {"1e999", false, 1000.0f, "1000"},
        {"4 2", false, 1000.0f, "1000"},
    };
    for (const Typed& c : cases) {
        SCOPED_TRACE(c.text);
        const standin::InputResult result = panel->TypeText(IDC_VALUE_EDIT, c.text);
        EXPECT_EQ(result.applied, c.applied) << result.error;
        if (!c.applied) {
            EXPECT_NE(result.error.find("\"" + std::string(c.text) + "\" is "), std::string::npos)
                << result.error;
        }
        EXPECT_EQ(owner->Block()->GetFloat(kValue), c.value);
        EXPECT_EQ(Text(panel, IDC_VALUE_EDIT), c.shown);
    }
    EXPECT_FALSE(panel->TypeText(IDC_LINK, "1"));  // no edit field
    EXPECT_FALSE(panel->TypeText(4242, "1"));      // no such control
}

TEST_F(PanelTest, SpinnerDragsByItsScaleWithinTheRange) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ASSERT_TRUE(panel->DragSpinner(IDC_VALUE_SPIN, 3));
    EXPECT_EQ(owner->Block()->GetFloat(kValue), 253.0f);
    EXPECT_EQ(Text(panel, IDC_VALUE_EDIT), "253");
    ASSERT_TRUE(panel->DragSpinner(IDC_VALUE_SPIN, -1000));
    EXPECT_EQ(owner->Block()->GetFloat(kValue), 0.0f);
    EXPECT_FALSE(panel->DragSpinner(IDC_VALUE_EDIT, 1));  // an edit is no spinner
}

TEST_F(PanelTest, CheckBoxStoresItsStateBeforeTheCommand) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ProcLog& log = log_;
    blockDesc_.SetUserDlgProc(0, new RecordingProc(log, 0));
    EXPECT_EQ(log.Count(WM_INITDIALOG), 1);

    for (const int state : {1, 0}) {
        SCOPED_TRACE(state);
        log.messages.clear();
        const standin::InputResult result = panel->ClickCheckBox(IDC_ENABLE);
        ASSERT_TRUE(result) << result.error;
        EXPECT_EQ(result.procResult, 0);
        EXPECT_EQ(owner->Block()->GetInt(kEnabled), state);
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(log.messages[0].msg, static_cast<UINT>(WM_COMMAND));
        EXPECT_EQ(LOWORD(log.messages[0].wParam), IDC_ENABLE);
        EXPECT_EQ(HIWORD(log.messages[0].wParam), BN_CLICKED);
        EXPECT_EQ(log.messages[0].map, panel->GetMap());
        EXPECT_EQ(log.messages[0].enabledWhenSent, state);  // stored first, then sent
        EXPECT_EQ(panel->Rollout(0).Control(IDC_ENABLE)->ValueText(), std::to_string(state));
    }
}

TEST_F(PanelTest, EnableAndShowReachEveryControlOfTheParameterAndNoOther) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    IParamMap2* map = owner->Block()->GetMap(0);
    ASSERT_NE(map, nullptr);

    map->Enable(kValue, FALSE);
    for (const standin::ControlView& control : panel->Rollout(0).Controls()) {
        const bool bound = control.id == IDC_VALUE_EDIT || control.id == IDC_VALUE_SPIN;
        EXPECT_EQ(control.enabled, !bound) << control.id;
        EXPECT_TRUE(control.visible);
    }
    const standin::InputResult refused = panel->TypeText(IDC_VALUE_EDIT, "7");
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.error.find("unavailable"), std::string::npos);
    EXPECT_FALSE(panel->DragSpinner(IDC_VALUE_SPIN, 1));
    EXPECT_EQ(owner->Block()->GetFloat(kValue), 250.0f);
    EXPECT_TRUE(panel->ClickCheckBox(IDC_ENABLE));  // other controls still answer

    map->Enable(kValue, TRUE);
    EXPECT_TRUE(panel->TypeText(IDC_VALUE_EDIT, "7"));

    map->Show(kEnabled, FALSE);
    EXPECT_FALSE(panel->Rollout(0).Control(IDC_ENABLE)->visible);
    EXPECT_TRUE(panel->Rollout(0).Control(IDC_VALUE_EDIT)->visible);
    EXPECT_FALSE(panel->ClickCheckBox(IDC_ENABLE));
}

TEST_F(PanelTest, ControlsFollowChangesMadeElsewhereWhenAskedTo) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    owner->Block()->SetValue(kValue, 0, 777.0f);
    EXPECT_EQ(Text(panel, IDC_VALUE_EDIT), "250");  // not asked yet
    desc_.InvalidateUI(&blockDesc_, kValue);
    EXPECT_EQ(Text(panel, IDC_VALUE_EDIT), "777");
    EXPECT_EQ(panel->Rollout(0).Control(IDC_VALUE_SPIN)->ValueText(), "777");

    owner->Block()->SetValue(kEnabled, 0, TRUE);
    desc_.InvalidateUI(&blockDesc_, kValue);  // another parameter: the box stays
    EXPECT_EQ(panel->Rollout(0).Control(IDC_ENABLE)->ValueText(), "0");
    desc_.InvalidateUI();
    EXPECT_EQ(panel->Rollout(0).Control(IDC_ENABLE)->ValueText(), "1");
}

TEST_F(PanelTest, SetThingMovesThePanelToAnotherObject) {
    PanelOwner* first = NewOwner();
    PanelOwner* second = NewOwner();
    second->Block()->SetValue(kValue, 0, 1234.0f);
    HeadlessPanel* panel = Open(first);
    ProcLog& log = log_;
    blockDesc_.SetUserDlgProc(0, new RecordingProc(log));
    int released = 0;
    auto* added = new RecordingDlg(released);
    panel->AddDlg(added);

    panel->SetThing(second);
    EXPECT_EQ(panel->GetThing(), second);
    EXPECT_EQ(first->Block()->GetMap(0), nullptr);
    EXPECT_EQ(second->Block()->GetMap(0), panel->GetMap());
    EXPECT_EQ(panel->GetMap()->GetParamBlock(), second->Block());
    EXPECT_EQ(Text(panel, IDC_VALUE_EDIT), "1234");
    ASSERT_EQ(log.things.size(), 1u);
    EXPECT_EQ(log.things[0], second);
    ASSERT_EQ(second->offered.size(), 1u);
    EXPECT_EQ(second->offered[0], added);
    EXPECT_TRUE(first->offered.empty());

    ASSERT_TRUE(panel->TypeText(IDC_VALUE_EDIT, "10"));
    EXPECT_EQ(second->Block()->GetFloat(kValue), 10.0f);
    EXPECT_EQ(first->Block()->GetFloat(kValue), 250.0f);

    // An object of another class is not this panel's to show.
    scenetest::ConstMap* other = new scenetest::ConstMap;
    scene_.Add(other);
    panel->SetThing(other);
    EXPECT_EQ(panel->GetThing(), second);
}

TEST_F(PanelTest, ClosingReleasesTheProcedureAndTheAddedDialogsAndDetachesTheMap) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* first = Open(owner);
    HeadlessPanel* second = Open(owner);  // the same object, twice
    ProcLog& log = log_;
    blockDesc_.SetUserDlgProc(0, new RecordingProc(log));
    EXPECT_EQ(log.Count(WM_INITDIALOG), 2);  // once per open panel
    int released = 0;
    first->AddDlg(new RecordingDlg(released));

    first->DeleteThis();
    EXPECT_EQ(released, 1);
    EXPECT_EQ(log.released, 0);  // still serves the second panel
    EXPECT_EQ(owner->Block()->GetMap(0), second->GetMap());
    EXPECT_TRUE(second->ClickCheckBox(IDC_ENABLE));
    EXPECT_EQ(log.Count(WM_COMMAND), 1);

    second->DeleteThis();
    EXPECT_EQ(log.released, 1);
    EXPECT_EQ(owner->Block()->GetMap(0), nullptr);
    EXPECT_EQ(blockDesc_.GetUserDlgProc(0), nullptr);
    EXPECT_TRUE(standin::OpenPanels().empty());
}

TEST_F(PanelTest, ANewProcedureReplacesAndReleasesTheOldOne) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ProcLog& oldLog = log_;
    ProcLog& newLog = otherLog_;
    blockDesc_.SetUserDlgProc(0, new RecordingProc(oldLog));
    blockDesc_.SetUserDlgProc(0, new RecordingProc(newLog, 5));
    EXPECT_EQ(oldLog.released, 1);
    EXPECT_EQ(newLog.Count(WM_INITDIALOG), 1);
    EXPECT_EQ(panel->PressButton(IDC_LINK).procResult, 5);
    EXPECT_EQ(oldLog.Count(WM_COMMAND), 0);
}

#ifndef _WIN32
// Not on Windows: the module calls the system's ShellExecuteW there, which the stand-in's shell
// handler does not see (the plug-in's panel test watches it instead).
TEST_F(PanelTest, ButtonsSendCommandsAndOpenedAddressesAreRecorded) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ProcLog& log = log_;
    blockDesc_.SetUserDlgProc(0, new RecordingProc(log));
    {
        standin::ScopedShellHandler none(nullptr);
        const standin::InputResult result = panel->PressButton(IDC_LINK);
        ASSERT_TRUE(result) << result.error;
        EXPECT_LE(log.shellResult, 32);  // nothing can open it: ShellExecuteW says so
    }
    std::vector<std::string> handled;
    standin::ScopedShellHandler handler([&](std::string address) { handled.push_back(address); });
    ASSERT_TRUE(panel->PressButton(IDC_LINK));
    EXPECT_GT(log.shellResult, 32);
    ASSERT_EQ(log.Count(WM_COMMAND), 2);
    EXPECT_EQ(log.messages.back().wParam, MAKEWPARAM(IDC_LINK, BN_CLICKED));
    EXPECT_EQ(panel->OpenedAddresses(),
              (std::vector<std::string>{"https://example.org/link", "https://example.org/link"}));
    EXPECT_EQ(handled, std::vector<std::string>{"https://example.org/link"});  // passed on
    EXPECT_FALSE(panel->PressButton(IDC_VALUE_EDIT));
}
#endif

TEST_F(PanelTest, APanelKeepsItsObjectAliveUntilItCloses) {
    scenetest::liveNodes = 0;
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    IParamBlock2* block = owner->Block();
    scene_.Remove(owner);  // only the panel holds it now
    EXPECT_TRUE(panel->TypeText(IDC_VALUE_EDIT, "300"));
    EXPECT_EQ(block->GetFloat(kValue), 300.0f);
    panel->DeleteThis();  // frees the owner and its block (checked by the sanitizers)
    EXPECT_TRUE(standin::OpenPanels().empty());
}

#ifndef _WIN32
// Not on Windows: it reads strings of bare resources through LoadStringW, which there is the
// system's and knows only real modules.
TEST_F(PanelTest, DumpAndJsonShowEveryControl) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    owner->Block()->GetMap(0)->Enable(kValue, FALSE);
    const std::string dump = panel->DumpText();
    EXPECT_NE(dump.find("rollout \"StandInTestClass\" from dialog 101"), std::string::npos) << dump;
    EXPECT_NE(dump.find("1001 CustEdit \"250\" 54,18 35x10 disabled visible value=250"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("-1 static \"Value (\u00b1%):\" 4,18 45x8 enabled visible"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("1004 CustButton \"Link\""), std::string::npos) << dump;

    const std::string json = panel->ToJson();
    EXPECT_NE(json.find("{\"id\":1001,\"class\":\"CustEdit\",\"text\":\"250\",\"rect\":[54,18,35,"
                        "10],\"enabled\":false,\"visible\":true,\"value\":250}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"id\":1003,\"class\":\"button\",\"text\":\"\",\"rect\":[105,24,9,10],"
                        "\"enabled\":true,\"visible\":true,\"value\":false}"),
              std::string::npos)
        << json;
}
#endif

TEST_F(PanelTest, BlockPanelsGenerateARowPerParameter) {
    PanelDesc ownerDesc;
    // clang-format off
    ParamBlockDesc2 desc(0, L"output", 0, &ownerDesc, P_AUTO_CONSTRUCT, 0,
        0, L"amount", TYPE_FLOAT, P_ANIMATABLE, 0, p_default, 1.0, p_range, 0.0, 10.0, p_end,
        1, L"invert", TYPE_BOOL, 0, 0, p_default, FALSE, p_end,
        2, L"map", TYPE_TEXMAP, 0, 0, p_end,
        p_end);
    // clang-format on
    auto* owner = static_cast<PanelOwner*>(ownerDesc.Create(FALSE));
    scene_.Add(owner);
    HeadlessPanel* panel =
        standin::AsHeadlessPanel(standin::CreateBlockParamDlg(owner->Block(), nullptr, nullptr));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetThing(), owner);
    const int amount = standin::kGeneratedControlBase;
    const int invert = standin::kGeneratedControlBase + 2;
    const int map = standin::kGeneratedControlBase + 4;
    standin::PanelRollout& rollout = panel->Rollout(0);
    EXPECT_EQ(rollout.Control(amount)->kind, standin::ControlKind::Edit);
    EXPECT_EQ(rollout.Control(amount)->text, "1");
    EXPECT_EQ(rollout.Control(amount + 1)->kind, standin::ControlKind::Spinner);
    EXPECT_EQ(rollout.Control(invert)->kind, standin::ControlKind::CheckBox);
    EXPECT_EQ(rollout.Control(invert)->text, "invert");
    EXPECT_EQ(rollout.Control(map)->text, "None");

    EXPECT_TRUE(panel->TypeText(amount, "25"));
    EXPECT_EQ(owner->Block()->GetFloat(0), 10.0f);
    EXPECT_TRUE(panel->ClickCheckBox(invert));
    EXPECT_EQ(owner->Block()->GetInt(1), TRUE);

    auto* grey = new scenetest::ConstMap;
    grey->SetName(L"Grey");
    EXPECT_TRUE(panel->AssignMap(map, grey));
    EXPECT_EQ(owner->Block()->GetReferenceTarget(2), grey);
    EXPECT_EQ(rollout.Control(map)->text, "Grey");
    EXPECT_TRUE(panel->AssignMap(map, nullptr));  // frees the map: nothing else holds it
    EXPECT_EQ(rollout.Control(map)->text, "None");
    panel->DeleteThis();
    scene_.Clear();
}

/// A block whose UI spans two rollouts, the second with a drop-down list.
class MultiMapPanelTest : public testing::Test {
protected:
    enum : MapID { kMain = 0, kOptions = 1 };
    enum : ParamID { kOption = 3, kKind = 4 };

    MultiMapPanelTest()
        : instance_("StandInTest_sound.dlt", TestModuleResources()),
          // clang-format off
          blockDesc_(0, L"params", 0, &desc_, P_AUTO_CONSTRUCT + P_AUTO_UI + P_MULTIMAP,
              0,
              2,
              kMain, IDD_TEST_PANEL, IDS_CLASS_NAME, 0, 0, nullptr,
              kOptions, IDD_TEST_OPTIONS, IDS_OPTIONS, 0, 0, nullptr,
              kValue, L"value", TYPE_FLOAT, P_ANIMATABLE, IDS_CATEGORY,
                  p_default, 250.0, p_range, 0.0, 3000.0,
                  p_ui, kMain, TYPE_SPINNER, EDITTYPE_FLOAT, IDC_VALUE_EDIT, IDC_VALUE_SPIN, 1.0,
                  p_end,
              kEnabled, L"enabled", TYPE_BOOL, 0, IDS_NON_ASCII,
                  p_default, FALSE,
                  p_ui, kMain, TYPE_SINGLECHEKBOX, IDC_ENABLE,
                  p_end,
              kOption, L"option", TYPE_BOOL, 0, IDS_LONG,
                  p_default, TRUE,
                  p_ui, kOptions, TYPE_SINGLECHEKBOX, IDC_OPTION,
                  p_end,
              kKind, L"kind", TYPE_INT, 0, IDS_LONG,
                  p_default, 1, p_range, 0, 2,
                  p_ui, kOptions, TYPE_INTLISTBOX, IDC_KIND, 3,
                      IDS_ITEM_PLAIN, IDS_ITEM_GOLD, IDS_ITEM_STEEL,
                  p_end,
              p_end)
    // clang-format on
    {
        desc_.instance = instance_.Get();
    }

    void SetUp() override { standin::InstallHeadlessPanelHost(); }

    void TearDown() override {
        for (HeadlessPanel* panel : standin::OpenPanels()) panel->DeleteThis();
        scene_.Clear();
    }

    HeadlessPanel* Open() {
        owner_ = static_cast<PanelOwner*>(desc_.Create(FALSE));
        scene_.Add(owner_);
        HeadlessPanel* panel =
            standin::AsHeadlessPanel(desc_.CreateParamDlgs(nullptr, nullptr, owner_));
        EXPECT_NE(panel, nullptr);
        return panel;
    }

    ProcLog mainLog_;
    ProcLog optionsLog_;
    standin::InstanceHandle instance_;
    PanelDesc desc_;
    ParamBlockDesc2 blockDesc_;
    standin::Scene scene_;
    PanelOwner* owner_ = nullptr;
};

TEST_F(MultiMapPanelTest, EachRolloutBindsTheParametersOfItsMapOnly) {
    HeadlessPanel* panel = Open();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->Problems().empty()) << panel->Problems().front();
    ASSERT_EQ(panel->NumRollouts(), 2);
    standin::PanelRollout& main = panel->Rollout(0);
    standin::PanelRollout& options = panel->Rollout(1);
    EXPECT_EQ(main.DialogId(), IDD_TEST_PANEL);
    EXPECT_EQ(options.DialogId(), IDD_TEST_OPTIONS);
    EXPECT_EQ(main.GetMapID(), kMain);
    EXPECT_EQ(options.GetMapID(), kOptions);
    EXPECT_EQ(owner_->Block()->GetMap(kMain), &main);
    EXPECT_EQ(owner_->Block()->GetMap(kOptions), &options);

    EXPECT_EQ(main.Control(IDC_VALUE_EDIT)->param, kValue);
    EXPECT_EQ(main.Control(IDC_ENABLE)->param, kEnabled);
    EXPECT_FALSE(main.HasControl(IDC_KIND));
    EXPECT_FALSE(options.HasControl(IDC_VALUE_EDIT));
    EXPECT_EQ(options.Control(IDC_OPTION)->param, kOption);
    EXPECT_EQ(options.Control(IDC_OPTION)->ValueText(), "1");
    const standin::ControlView kind = *options.Control(IDC_KIND);
    EXPECT_EQ(kind.param, kKind);
    EXPECT_EQ(kind.kind, standin::ControlKind::DropDown);
    EXPECT_EQ(kind.className, "combobox");
    EXPECT_EQ(kind.ValueText(), "1");
    // The fixture's resources are bare, with no module the system knows: the
    // host reads their strings itself, on Windows too.
    EXPECT_EQ(kind.items, (std::vector<std::string>{"Plain", "Gold", "Tempered \u201csteel\u201d"}));

    // Input by ID reaches whichever rollout holds the control.
    ASSERT_TRUE(panel->ClickCheckBox(IDC_OPTION));
    EXPECT_EQ(owner_->Block()->GetInt(kOption), FALSE);
    ASSERT_TRUE(panel->TypeText(IDC_VALUE_EDIT, "12"));
    EXPECT_EQ(owner_->Block()->GetFloat(kValue), 12.0f);
}

TEST_F(MultiMapPanelTest, PickingAnItemStoresItsIndexThenTellsThatRolloutsProcedure) {
    HeadlessPanel* panel = Open();
    ASSERT_NE(panel, nullptr);
    blockDesc_.SetUserDlgProc(kMain, new RecordingProc(mainLog_));
    blockDesc_.SetUserDlgProc(kOptions, new RecordingProc(optionsLog_, 7));
    mainLog_.messages.clear();
    optionsLog_.messages.clear();
    IParamMap2* optionsMap = owner_->Block()->GetMap(kOptions);

    for (const int item : {2, 0, 1}) {
        SCOPED_TRACE(item);
        const standin::InputResult result = panel->SelectItem(IDC_KIND, item);
        ASSERT_TRUE(result) << result.error;
        EXPECT_EQ(result.procResult, 7);
        EXPECT_EQ(owner_->Block()->GetInt(kKind), item);
        EXPECT_EQ(panel->Rollout(1).Control(IDC_KIND)->ValueText(), std::to_string(item));
        ASSERT_EQ(optionsLog_.messages.size(), 1u);
        EXPECT_EQ(optionsLog_.messages[0].msg, static_cast<UINT>(WM_COMMAND));
        EXPECT_EQ(LOWORD(optionsLog_.messages[0].wParam), IDC_KIND);
        EXPECT_EQ(HIWORD(optionsLog_.messages[0].wParam), CBN_SELCHANGE);
        EXPECT_EQ(optionsLog_.messages[0].map, optionsMap);
        optionsLog_.messages.clear();
    }
    EXPECT_TRUE(mainLog_.messages.empty());

    // A value set elsewhere shows once the rollout is told.
    owner_->Block()->SetValue(kKind, 0, 2);
    optionsMap->Invalidate(kKind);
    EXPECT_EQ(panel->Rollout(1).Control(IDC_KIND)->ValueText(), "2");

    struct Refused {
        int id;
        int item;
        const char* error;
    };
    const Refused refusedCases[] = {
        {IDC_KIND, 3, "item 3 is not in the list of control 1006 (items 0 to 2)"},
        {IDC_KIND, -1, "item -1 is not in the list of control 1006 (items 0 to 2)"},
        {IDC_OPTION, 0, "control 1005 is no drop-down list bound to a parameter"},
        {4242, 0, "no control 4242"},
    };
    for (const Refused& c : refusedCases) {
        SCOPED_TRACE(c.error);
        const standin::InputResult result = panel->SelectItem(c.id, c.item);
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_EQ(owner_->Block()->GetInt(kKind), 2);
    }
    EXPECT_TRUE(optionsLog_.messages.empty());
}

TEST_F(MultiMapPanelTest, ADisabledListTakesNoPick) {
    HeadlessPanel* panel = Open();
    ASSERT_NE(panel, nullptr);
    IParamMap2* optionsMap = owner_->Block()->GetMap(kOptions);
    optionsMap->Enable(kKind, FALSE);
    EXPECT_FALSE(panel->Rollout(1).Control(IDC_KIND)->enabled);
    EXPECT_TRUE(panel->Rollout(1).Control(IDC_OPTION)->enabled);
    const standin::InputResult result = panel->SelectItem(IDC_KIND, 2);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, "control 1006 is unavailable");
    EXPECT_EQ(owner_->Block()->GetInt(kKind), 1);
    optionsMap->Enable(kKind, TRUE);
    EXPECT_TRUE(panel->SelectItem(IDC_KIND, 2));
    EXPECT_EQ(owner_->Block()->GetInt(kKind), 2);
}

#ifndef _WIN32
// Not on Windows: the items are strings of bare resources (see above).
TEST_F(MultiMapPanelTest, TheListShowsItsItemsFromTheModulesStrings) {
    HeadlessPanel* panel = Open();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Rollout(1).Title(), "Options");
    const standin::ControlView kind = *panel->Rollout(1).Control(IDC_KIND);
    EXPECT_EQ(kind.items, (std::vector<std::string>{"Plain", "Gold", "Tempered \u201csteel\u201d"}));
    EXPECT_EQ(kind.text, "Gold");
    ASSERT_TRUE(panel->SelectItem(IDC_KIND, 2));
    EXPECT_EQ(panel->Rollout(1).Control(IDC_KIND)->text, "Tempered \u201csteel\u201d");

    panel->Rollout(1).Enable(kKind, FALSE);
    const std::string dump = panel->DumpText();
    EXPECT_NE(dump.find("rollout \"Options\" from dialog 102"), std::string::npos) << dump;
    EXPECT_NE(dump.find("1006 combobox \"Tempered \u201csteel\u201d\" 40,18 100x60 disabled visible "
                        "value=2 items=\"Plain\",\"Gold\",\"Tempered \u201csteel\u201d\"\n"),
              std::string::npos)
        << dump;
    const std::string json = panel->ToJson();
    EXPECT_NE(json.find("\"enabled\":false,\"visible\":true,\"value\":2,\"items\":[\"Plain\","
                        "\"Gold\",\"Tempered \u201csteel\u201d\"]}"),
              std::string::npos)
        << json;
}

TEST_F(MultiMapPanelTest, ListsThatCannotShowAreReported) {
    PanelDesc otherDesc;
    otherDesc.instance = instance_.Get();
    // clang-format off
    ParamBlockDesc2 desc(0, L"params", 0, &otherDesc, P_AUTO_CONSTRUCT + P_AUTO_UI + P_MULTIMAP,
        0,
        1,
        kOptions, IDD_TEST_OPTIONS, IDS_OPTIONS, 0, 0, nullptr,
        kOption, L"option", TYPE_INT, 0, IDS_LONG,
            p_ui, kOptions, TYPE_INT_COMBOBOX, IDC_OPTION, 2, IDS_ITEM_PLAIN, IDS_ITEM_GOLD,
            p_end,
        kKind, L"kind", TYPE_INT, 0, IDS_LONG,
            p_ui, kOptions, TYPE_INTLISTBOX, IDC_KIND, 2, IDS_ITEM_PLAIN, IDS_ITEM_MISSING,
            p_end,
        p_end);
    // clang-format on
    ASSERT_FALSE(desc.HasDefinitionErrors()) << desc.DefinitionErrors().front();
    auto* owner = static_cast<PanelOwner*>(otherDesc.Create(FALSE));
    scene_.Add(owner);
    HeadlessPanel* panel =
        standin::AsHeadlessPanel(otherDesc.CreateParamDlgs(nullptr, nullptr, owner));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Problems(),
              (std::vector<std::string>{
                  "parameter \"option\" (ID 3): control 1005 in dialog 102 is a button, not a "
                  "combo box",
                  "parameter \"kind\" (ID 4): the text of list item 1 (string 54) is not among "
                  "the module's strings"}));
    EXPECT_EQ(panel->Rollout(0).Control(IDC_OPTION)->param, -1);
    EXPECT_EQ(panel->Rollout(0).Control(IDC_KIND)->items,
              (std::vector<std::string>{"Plain", ""}));
    EXPECT_TRUE(panel->SelectItem(IDC_KIND, 1));  // still a value the user can pick
    EXPECT_EQ(owner->Block()->GetInt(kKind), 1);
    EXPECT_EQ(panel->Rollout(0).Control(IDC_KIND)->text, "");
    panel->DeleteThis();
    scene_.Clear();
}

TEST_F(MultiMapPanelTest, GeneratedRolloutsShowListsAsDropDowns) {
    PanelDesc otherDesc;
    otherDesc.instance = instance_.Get();
    // clang-format off
    ParamBlockDesc2 desc(0, L"output", 0, &otherDesc, P_AUTO_CONSTRUCT, 0,
        0, L"amount", TYPE_FLOAT, 0, 0, p_default, 1.0, p_end,
        1, L"kind", TYPE_INT, 0, IDS_OPTIONS, p_default, 2,
            p_ui, TYPE_INT_COMBOBOX, 0, 3, IDS_ITEM_PLAIN, IDS_ITEM_GOLD, IDS_ITEM_STEEL, p_end,
        p_end);
    // clang-format on
    auto* owner = static_cast<PanelOwner*>(otherDesc.Create(FALSE));
    scene_.Add(owner);
    HeadlessPanel* panel =
        standin::AsHeadlessPanel(standin::CreateBlockParamDlg(owner->Block(), nullptr, nullptr));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->Problems().empty());
    const int kind = standin::kGeneratedControlBase + 2;
    const standin::ControlView list = *panel->Rollout(0).Control(kind);
    EXPECT_EQ(list.kind, standin::ControlKind::DropDown);
    EXPECT_EQ(list.items, (std::vector<std::string>{"Plain", "Gold", "Tempered \u201csteel\u201d"}));
    EXPECT_EQ(list.text, "Tempered \u201csteel\u201d");
    EXPECT_FALSE(panel->Rollout(0).HasControl(kind + 1));  // no spinner beside it
    EXPECT_TRUE(panel->SelectItem(kind, 0));
    EXPECT_EQ(owner->Block()->GetInt(1), 0);
    EXPECT_EQ(panel->Rollout(0).Control(kind)->text, "Plain");
    panel->DeleteThis();
    scene_.Clear();
}
#endif

class MissingTemplatePanelTest : public PanelTest {
protected:
    MissingTemplatePanelTest() : PanelTest(999) {}
};

TEST_F(MissingTemplatePanelTest, AMissingTemplateIsReported) {
    PanelOwner* owner = NewOwner();
    HeadlessPanel* panel = Open(owner);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->NumRollouts(), 0);
    ASSERT_EQ(panel->Problems().size(), 1u);
    EXPECT_EQ(panel->Problems()[0], "dialog 999 is not in the resources of StandInTest_sound.dlt");
    EXPECT_EQ(owner->Block()->GetMap(0), nullptr);
}

}  // namespace
