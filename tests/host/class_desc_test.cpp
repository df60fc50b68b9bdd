// Class descriptors: resource strings, the class directory, the panel host,
// user dialog procedures and the order in which descriptors are destroyed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "res_builder.h"
#include "sdk_test_classes.h"
#include "sdk/class_directory.h"
#include "modules/instance.h"
#include "sdk/lifecycle_log.h"
#include "params/panel_host.h"
#include "modules/resources.h"

namespace {

using sdktest::TestClassDesc;

// A user dialog procedure that records its release.
class CountingProc : public ParamMap2UserDlgProc {
public:
    explicit CountingProc(std::vector<std::string>& events, std::string name)
        : events_(events), name_(std::move(name)) {}
    INT_PTR DlgProc(TimeValue, IParamMap2*, HWND, UINT, WPARAM, LPARAM) override { return 0; }
    void DeleteThis() override {
        events_.push_back("released " + name_);
        delete this;
    }

private:
    std::vector<std::string>& events_;
    std::string name_;
};

// A panel hook that records what the descriptors ask of it.
class RecordingPanelHost : public standin::PanelHost {
public:
    explicit RecordingPanelHost(std::vector<std::string>& events) : events_(events) {}
    IAutoMParamDlg* CreateParamDlgs(ClassDesc2* cd, HWND, IMtlParams*,
                                    ReferenceTarget* obj) override {
        lastClass = cd;
        lastObject = obj;
        events_.push_back("create");
        return dialog;
    }
    void InvalidateUI(ClassDesc2*, ParamBlockDesc2* pbd, ParamID id, int tabIndex) override {
        events_.push_back("invalidate " + std::string(pbd ? "block" : "class") + " " +
                          std::to_string(id) + " " + std::to_string(tabIndex));
    }
    void SetUserDlgProc(ParamBlockDesc2*, MapID map, ParamMap2UserDlgProc* proc) override {
        events_.push_back("proc for map " + std::to_string(map) + (proc ? "" : " cleared"));
    }

    IAutoMParamDlg* dialog = reinterpret_cast<IAutoMParamDlg*>(0x2000);  // never dereferenced
    ClassDesc2* lastClass = nullptr;
    ReferenceTarget* lastObject = nullptr;

private:
    std::vector<std::string>& events_;
};

class WithPanelHost : public ::testing::Test {
protected:
    void SetUp() override { standin::SetPanelHost(&host); }
    void TearDown() override { standin::SetPanelHost(nullptr); }

    std::vector<std::string> events;
    RecordingPanelHost host{events};
};

#ifndef _WIN32
// Not on Windows: it reads strings of bare resources through LoadStringW, which there is the
// system's and knows only real modules.
std::shared_ptr<const standin::ModuleResources> Strings() {
    std::array<std::u16string, 16> block0;
    block0[4] = u"Test Parameters";
    block0[5] = u"Thickness";
    std::array<std::u16string, 16> block1;
    block1[0] = std::u16string(3000, u'x');  // string 16: longer than a first guess
    const auto image = restest::ResImage({
        {standin::NameOrOrdinal::Ordinal(standin::kResourceTypeString),
         standin::NameOrOrdinal::Ordinal(1), 0x0409, restest::StringBlock(block0)},
        {standin::NameOrOrdinal::Ordinal(standin::kResourceTypeString),
         standin::NameOrOrdinal::Ordinal(2), 0x0409, restest::StringBlock(block1)},
    });
    return std::make_shared<const standin::ModuleResources>(image);
}

TEST(ClassDesc, ResourceStringsComeFromTheReportedInstance) {
    const standin::InstanceHandle instance("strings", Strings());
    TestClassDesc cd;
    EXPECT_EQ(cd.GetRsrcString(5), nullptr);  // no instance reported yet

    cd.instance = instance.Get();
    const MCHAR* title = cd.GetRsrcString(4);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::wstring(title), L"Test Parameters");
    EXPECT_EQ(cd.GetRsrcString(4), title);  // the descriptor keeps the text
    EXPECT_EQ(std::wstring(cd.GetRsrcString(5)), L"Thickness");
    EXPECT_EQ(cd.GetRsrcString(6), nullptr);
    EXPECT_EQ(cd.GetRsrcString(-1), nullptr);
    EXPECT_EQ(cd.GetRsrcString(0x10000), nullptr);
    const MCHAR* longText = cd.GetRsrcString(16);
    ASSERT_NE(longText, nullptr);
    EXPECT_EQ(std::wstring(longText), std::wstring(3000, L'x'));
    // Earlier texts stay valid while others are loaded.
    EXPECT_EQ(std::wstring(title), L"Test Parameters");

    // A block's display names come through the same query.
    const auto desc = sdktest::MakeTestBlockDesc(&cd);
    auto* owner = static_cast<sdktest::Owner*>(cd.Create(FALSE));
    EXPECT_EQ(owner->Block()->GetLocalName(sdktest::kThickness), L"Thickness");
    EXPECT_TRUE(owner->Block()->GetLocalName(sdktest::kIndex).isNull());  // string 6: none
    owner->DeleteMe();
}
#endif

TEST(ClassDirectory, RegistersFindsCreatesAndUnregisters) {
    standin::ClassDirectory& directory = standin::ClassDirectory::Instance();
    TestClassDesc first(L"FirstMap", Class_ID(0xA1, 0xB1));
    TestClassDesc second(L"SecondMap", Class_ID(0xA2, 0xB2), 0x7E57);
    const auto before = directory.Classes().size();
    directory.Register(&first, "first.dlt");
    directory.Register(&second, "second.dlt");
    EXPECT_EQ(directory.Classes().size(), before + 2);

    EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA1, 0xB1)), &first);
    EXPECT_EQ(directory.Find(0x7E57, Class_ID(0xA2, 0xB2)), &second);
    EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA2, 0xB2)), nullptr);  // wrong family
    EXPECT_EQ(directory.FindByName(L"secondmap"), &second);
    EXPECT_EQ(directory.FindByName(L"Third"), nullptr);
    EXPECT_EQ(directory.ModuleOf(&first), "first.dlt");

    // Another descriptor with the same identity is refused, with a reason.
    TestClassDesc clash(L"Clash", Class_ID(0xA1, 0xB1));
    EXPECT_EQ(directory.RegistrationConflict(&clash),
              "class Clash has class ID (0xA1, 0xB1), already registered by class FirstMap from "
              "first.dlt");
    directory.Register(&clash, "clash.dlt");
    EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA1, 0xB1)), &first);
    EXPECT_EQ(directory.ModuleOf(&clash), "");
    EXPECT_EQ(directory.RegistrationConflict(&first), "");

    Animatable* made = directory.Create(TEXMAP_CLASS_ID, Class_ID(0xA1, 0xB1));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(first.creates, 1);
    EXPECT_EQ(made->ClassID(), Class_ID(0xA1, 0xB1));
    static_cast<ReferenceTarget*>(made)->DeleteMe();
    EXPECT_EQ(directory.Create(TEXMAP_CLASS_ID, Class_ID(9, 9)), nullptr);

    directory.Unregister(&first);
    EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA1, 0xB1)), nullptr);
    {
        TestClassDesc shortLived(L"ShortLived", Class_ID(0xA3, 0xB3));
        directory.Register(&shortLived, "short.dlt");
        EXPECT_NE(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA3, 0xB3)), nullptr);
    }  // a destroyed descriptor leaves the directory by itself
    EXPECT_EQ(directory.Find(TEXMAP_CLASS_ID, Class_ID(0xA3, 0xB3)), nullptr);
    directory.Unregister(&second);
    EXPECT_EQ(directory.Classes().size(), before);
}

TEST_F(WithPanelHost, PanelRequestsGoThroughTheHook) {
    TestClassDesc cd;
    const auto desc = sdktest::MakeTestBlockDesc(&cd);
    auto* owner = static_cast<sdktest::Owner*>(cd.Create(FALSE));

    EXPECT_EQ(cd.CreateParamDlgs(nullptr, nullptr, owner), host.dialog);
    EXPECT_EQ(host.lastClass, &cd);
    EXPECT_EQ(host.lastObject, owner);
    cd.InvalidateUI();
    cd.InvalidateUI(desc.get());
    cd.InvalidateUI(desc.get(), sdktest::kMap);
    cd.InvalidateUI(desc.get(), sdktest::kMap, 0);
    desc->InvalidateUI(sdktest::kMap);  // the block descriptor passes it on
    EXPECT_EQ(events, (std::vector<std::string>{"create", "invalidate class -1 -1",
                                                "invalidate block -1 -1", "invalidate block 4 -1",
                                                "invalidate block 4 0", "invalidate block 4 -1"}));

    // Reset refreshes the block's panel only when asked to.
    events.clear();
    cd.Reset(owner, FALSE);
    EXPECT_TRUE(events.empty());
    cd.Reset(owner);
    EXPECT_EQ(events, std::vector<std::string>{"invalidate block -1 -1"});
    owner->DeleteMe();

    // Without a hook: no panel and no refresh.
    standin::SetPanelHost(nullptr);
    events.clear();
    EXPECT_EQ(cd.CreateParamDlgs(nullptr, nullptr, nullptr), nullptr);
    cd.InvalidateUI(desc.get(), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(WithPanelHost, UserDialogProceduresAreOwnedAndReleasedByTheHost) {
    TestClassDesc cd;
    auto* initial = new CountingProc(events, "initial");
    auto desc = sdktest::MakeTestBlockDesc(&cd, initial);
    EXPECT_EQ(desc->GetUserDlgProc(0), initial);

    // Each panel build installs a new procedure: the old one is released
    // after the open panels have moved to the new one.
    auto* first = new CountingProc(events, "first");
    cd.SetUserDlgProc(desc.get(), 0, first);
    EXPECT_EQ(events, (std::vector<std::string>{"proc for map 0", "released initial"}));
    EXPECT_EQ(desc->GetUserDlgProc(), first);

    events.clear();
    cd.SetUserDlgProc(desc.get(), first);  // the same one again: nothing happens
    EXPECT_TRUE(events.empty());

    auto* second = new CountingProc(events, "second");
    desc->SetUserDlgProc(second);
    EXPECT_EQ(events, (std::vector<std::string>{"proc for map 0", "released first"}));

    // A procedure for a map the block does not have is released at once.
    events.clear();
    desc->SetUserDlgProc(3, new CountingProc(events, "stray"));
    EXPECT_EQ(events, std::vector<std::string>{"released stray"});

    // The descriptor's end releases the one still stored.
    events.clear();
    desc.reset();
    EXPECT_EQ(events, (std::vector<std::string>{"proc for map 0 cleared", "released second"}));
}

TEST(ClassDesc2, BlockDescriptorIsDestroyedBeforeItsClassDescriptor) {
    standin::LifecycleLog::Clear();
    {
        // As in a module: the class descriptor first (built on first use by the
        // block definition), so exit destroys the block descriptor first.
        TestClassDesc cd(L"Nacrelle");
        const auto desc = sdktest::MakeTestBlockDesc(&cd);
    }
    EXPECT_EQ(standin::LifecycleLog::Entries(),
              (std::vector<std::string>{"ParamBlockDesc2 destroyed: params",
                                        "ClassDesc2 destroyed: Nacrelle"}));

    // The other order must not reach into the destroyed class descriptor.
    standin::LifecycleLog::Clear();
    auto cd = std::make_unique<TestClassDesc>(L"Early");
    auto desc = sdktest::MakeTestBlockDesc(cd.get());
    cd.reset();
    EXPECT_EQ(desc->cd, nullptr);
    desc.reset();
    EXPECT_EQ(standin::LifecycleLog::Entries(),
              (std::vector<std::string>{"ClassDesc2 destroyed: Early",
                                        "ParamBlockDesc2 destroyed: params"}));
    standin::LifecycleLog::Clear();
}

TEST(ClassDesc2, AutoBlockWithoutASlotInTheOwnerIsNotKept) {
    // An owner with no reference 0: the block it cannot hold is freed again.
    class NoRefs : public ReferenceTarget {
    protected:
        RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                                   BOOL) override {
            return REF_SUCCEED;
        }
    };
    TestClassDesc cd;
    const auto desc = sdktest::MakeTestBlockDesc(&cd);
    NoRefs owner;
    cd.MakeAutoParamBlocks(&owner);  // LeakSanitizer watches for the block
    EXPECT_EQ(owner.NumRefs(), 0);
}

}  // namespace
