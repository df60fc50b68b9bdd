// The module as the host meets it: entry points, class identity, strings and
// the parameter-block definition.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <sdk/lifecycle_log.h>

#include <cmath>
#include <string>

#include "tests/plugin/module_fixture.h"

namespace nacrelle::testing {
namespace {

using ModuleEntry = ModuleTest;

TEST_F(ModuleEntry, AnswersTheHostsQueries) {
    EXPECT_EQ(module->Version(), 0x71484600u);
    EXPECT_EQ(GET_MAX_RELEASE(module->Version()), 29000u);
    EXPECT_EQ(module->Description(), L"Nacrelle coating Texmap.");

    ClassDesc2* cd = Descriptor();
    EXPECT_EQ(cd->ClassID(), Class_ID(0x53E2B189, 0x7502736B));
    EXPECT_EQ(cd->SuperClassID(), TEXMAP_CLASS_ID);
    EXPECT_EQ(cd->SuperClassID(), 3088u);
    EXPECT_STREQ(cd->InternalName(), L"Nacrelle");
    EXPECT_STREQ(cd->NonLocalizedClassName(), L"Nacrelle");
    EXPECT_STREQ(cd->ClassName(), L"Nacrelle");
    EXPECT_STREQ(cd->Category(), L"Standard");
    EXPECT_EQ(cd->IsPublic(), 1);
    EXPECT_EQ(cd->HInstance(), module->Instance());
}

TEST_F(ModuleEntry, ClassDescriptorByIndex) {
#ifdef _WIN32
    // The loaded module, found by its handle as the host holds it.
    const auto handle = reinterpret_cast<HMODULE>(module->Instance());
    ASSERT_NE(handle, nullptr);
    const auto dlsym = [](HMODULE library, const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(library, name));
    };
    const auto dlclose = [](HMODULE) {};
#else
    void* handle = dlopen(NACRELLE_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
#endif
    auto libClassDesc = reinterpret_cast<ClassDesc* (*)(int)>(dlsym(handle, "LibClassDesc"));
    auto libNumberClasses = reinterpret_cast<int (*)()>(dlsym(handle, "LibNumberClasses"));
    auto libInitialize = reinterpret_cast<int (*)()>(dlsym(handle, "LibInitialize"));
    auto libShutdown = reinterpret_cast<int (*)()>(dlsym(handle, "LibShutdown"));
    ASSERT_NE(libClassDesc, nullptr);
    EXPECT_EQ(libNumberClasses(), 1);
    EXPECT_EQ(libClassDesc(0), Descriptor());
    EXPECT_EQ(libClassDesc(0), libClassDesc(0));
    EXPECT_EQ(libClassDesc(1), nullptr);
    EXPECT_EQ(libClassDesc(-1), nullptr);
    EXPECT_EQ(libInitialize(), 1);
    EXPECT_EQ(libShutdown(), 1);
    // The block definition was built with the same descriptor.
    EXPECT_EQ(BlockDescriptor()->cd, Descriptor());
    dlclose(handle);
}

TEST_F(ModuleEntry, TextQueriesShareOneBuffer) {
    const MCHAR* name = Descriptor()->ClassName();
    const MCHAR* category = Descriptor()->Category();
    EXPECT_EQ(name, category);
    // A caller that kept the first pointer without copying now sees the category.
    EXPECT_STREQ(name, L"Standard");
}

TEST_F(ModuleEntry, StringTable) {
    const wchar_t* expected[] = {
        L"Nacrelle coating Texmap.", L"Standard", L"Nacrelle", L"Nacrelle Parameters",
        L"ThicknessMin", L"ThicknessMax", L"nMedium", L"nFilm", L"nInternal", L"ThicknessMap",
        L"UseThicknessMap", L"Gamma", L"HueShift", L"Saturation", L"Homepage", L"Base Article",
        L"Output"};
    for (UINT id = 1; id <= 17; ++id) {
        EXPECT_EQ(ModuleString(id), expected[id - 1]) << "string " << id;
    }
    wchar_t buffer[16];
    EXPECT_EQ(LoadStringW(module->Instance(), 18, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(module->Instance(), 0, buffer, 16), 0);
}

#ifndef _WIN32
// POSIX only: Windows runs DllMain whenever it loads a module, so no module
// exists there without its instance handle.
TEST(ModuleBeforeAttach, DescriptionIsNullWithoutInstanceHandle) {
    // Opened by hand, without the host's attach call, the module has no
    // instance handle and so no strings.
    void* handle = dlopen(NACRELLE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto libDescription = reinterpret_cast<const MCHAR* (*)()>(dlsym(handle, "LibDescription"));
    auto libClassDesc = reinterpret_cast<ClassDesc* (*)(int)>(dlsym(handle, "LibClassDesc"));
    ASSERT_NE(libDescription, nullptr);
    EXPECT_EQ(libDescription(), nullptr);
    EXPECT_EQ(libClassDesc(0)->ClassName(), nullptr);
    EXPECT_EQ(libClassDesc(0)->Category(), nullptr);
    EXPECT_STREQ(libClassDesc(0)->InternalName(), L"Nacrelle");
    dlclose(handle);
}
#endif

struct ExpectedParam {
    ParamID id;
    const wchar_t* scriptName;
    int type;  // a ParamType or a ParamType2
    int flags;
    StringResID displayName;
    const wchar_t* displayText;
    float defaultValue;
    float low, high;
    int controlType;
    std::vector<int> controls;
    float scale;
    int refno, subtexno;
};

TEST_F(ModuleEntry, ParameterBlockDefinition) {
    ParamBlockDesc2* pbd = BlockDescriptor();
    ASSERT_NE(pbd, nullptr);
    EXPECT_TRUE(pbd->DefinitionErrors().empty());
    EXPECT_EQ(pbd->ID, 0);
    EXPECT_EQ(pbd->int_name, MSTR(L"params"));
    EXPECT_EQ(pbd->local_name, 0);
    EXPECT_EQ(pbd->flags, P_AUTO_CONSTRUCT + P_AUTO_UI);
    EXPECT_EQ(pbd->flags, 6);
    EXPECT_EQ(pbd->ref_no, 0);
    const ParamMapInfo* ui = pbd->GetMapInfo(0);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(ui->dlg_template, 101);
    EXPECT_EQ(ui->title, 4);
    EXPECT_EQ(ui->flag_mask, 0);
    EXPECT_EQ(ui->rollup_flags, 0);

    const float none = NAN;
    const ExpectedParam expected[] = {
        {0, L"thicknessmax", TYPE_FLOAT, P_ANIMATABLE, 5, L"ThicknessMin", 250.0f, 0.0f, 3000.0f,
         TYPE_SPINNER, {1490, 1496}, 1.0f, -1, -1},
        {1, L"thicknessmin", TYPE_FLOAT, P_ANIMATABLE, 6, L"ThicknessMax", 350.0f, 0.0f, 3000.0f,
         TYPE_SPINNER, {1491, 1497}, 1.0f, -1, -1},
        {2, L"nmedium", TYPE_FLOAT, P_ANIMATABLE, 7, L"nMedium", 1.0f, 0.2f, 100.0f,
         TYPE_SPINNER, {1493, 1499}, 0.01f, -1, -1},
        {3, L"nfilm", TYPE_FLOAT, P_ANIMATABLE, 8, L"nFilm", 1.5f, 0.2f, 100.0f, TYPE_SPINNER,
         {1494, 1500}, 0.01f, -1, -1},
        {4, L"ninternal", TYPE_FLOAT, P_ANIMATABLE, 9, L"nInternal", 1.0f, 0.2f, 100.0f,
         TYPE_SPINNER, {1495, 1501}, 0.01f, -1, -1},
        {5, L"thicknessmap", TYPE_TEXMAP, P_OWNERS_REF, 10, L"ThicknessMap", none, none, none,
         TYPE_TEXMAPBUTTON, {1002}, 0.0f, 1, 0},
        {6, L"thicknessmapenabled", TYPE_BOOL, 0, 11, L"UseThicknessMap", 0.0f, none, none,
         TYPE_SINGLECHEKBOX, {1003}, 0.0f, -1, -1},
        {7, L"gamma", TYPE_FLOAT, P_ANIMATABLE, 12, L"Gamma", 1.0f, 0.05f, 20.0f, TYPE_SPINNER,
         {1492, 1498}, 0.01f, -1, -1},
        {8, L"hue", TYPE_FLOAT, P_ANIMATABLE, 13, L"HueShift", 0.0f, -180.0f, 180.0f,
         TYPE_SPINNER, {1502, 1503}, 0.1f, -1, -1},
        {9, L"sat", TYPE_FLOAT, P_ANIMATABLE, 14, L"Saturation", 0.0f, -100.0f, 100.0f,
         TYPE_SPINNER, {1504, 1505}, 0.1f, -1, -1},
        {10, L"output", TYPE_REFTARG, P_OWNERS_REF, 17, L"Output", none, none, none, -1, {}, 0.0f,
         2, -1},
    };
    ASSERT_EQ(pbd->Count(), 11);
    for (int index = 0; index < pbd->Count(); ++index) {
        const ExpectedParam& e = expected[index];
        const ParamDef& def = pbd->ParamDefAt(index);
        SCOPED_TRACE(::testing::Message() << "parameter " << e.id);
        EXPECT_EQ(def.ID, e.id);
        EXPECT_EQ(def.int_name, MSTR(e.scriptName));
        EXPECT_EQ(static_cast<int>(def.type), e.type);
        EXPECT_EQ(def.flags, e.flags);
        EXPECT_EQ(def.local_name, e.displayName);
        const MCHAR* displayText = Descriptor()->GetRsrcString(def.local_name);
        ASSERT_NE(displayText, nullptr);
        EXPECT_STREQ(displayText, e.displayText);
        if (def.type == TYPE_FLOAT) {
            EXPECT_TRUE(def.has_default);
            EXPECT_EQ(def.def.f, e.defaultValue);
            EXPECT_TRUE(def.has_range);
            EXPECT_EQ(def.range_low.f, e.low);
            EXPECT_EQ(def.range_high.f, e.high);
            EXPECT_EQ(def.edit_type, EDITTYPE_FLOAT);
            EXPECT_EQ(def.scale, e.scale);
        } else if (def.type == TYPE_BOOL) {
            EXPECT_TRUE(def.has_default);
            EXPECT_EQ(def.def.i, 0);
            EXPECT_FALSE(def.has_range);
        } else {
            EXPECT_FALSE(def.has_default);
            EXPECT_FALSE(def.has_range);
        }
        EXPECT_EQ(def.ctrl_type, e.controlType);
        EXPECT_EQ(def.ctrl_IDs, e.controls);
        EXPECT_EQ(def.refno, e.refno);
        EXPECT_EQ(def.subtexno, e.subtexno);
    }
    // Scripts that set "thicknessmax" address the "Min:" row, parameter 0.
    EXPECT_EQ(pbd->IndextoID(pbd->NameToIndex(L"thicknessmax")), 0);
    EXPECT_EQ(pbd->IndextoID(pbd->NameToIndex(L"thicknessmin")), 1);
}

TEST(ModuleUnload, BlockDescriptorGoesBeforeClassDescriptorAndReloadWorks) {
    for (int round = 0; round < 3; ++round) {
        standin::LoadedModule module(NACRELLE_MODULE_PATH);
        ASSERT_EQ(module.Classes().size(), 1u);
        EXPECT_EQ(module.Description(), L"Nacrelle coating Texmap.");
        standin::LifecycleLog::Clear();
        EXPECT_TRUE(module.Unload().empty());
        const std::vector<std::string> events = standin::LifecycleLog::Entries();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], "ParamBlockDesc2 destroyed: params");
        EXPECT_EQ(events[1], "ClassDesc2 destroyed: Nacrelle");
    }
}

}  // namespace
}  // namespace nacrelle::testing
