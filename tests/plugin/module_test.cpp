// The module as the host meets it: entry points, class identity, strings and
// the parameter-block definition.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <modules/instance.h>
#include <modules/resources.h>
#include <sdk/lifecycle_log.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "tests/plugin/module_fixture.h"
#include "tests/support/module_parameters.h"

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

/// The file and product version that the version resource must carry: the
/// project's version, as (major << 16 | minor, patch << 16).
constexpr std::uint32_t kVersionHigh = NACRELLE_VERSION_MAJOR << 16 | NACRELLE_VERSION_MINOR;
constexpr std::uint32_t kVersionLow = NACRELLE_VERSION_PATCH << 16;

#ifdef _WIN32
TEST_F(ModuleEntry, VersionResourceReadsBackThroughTheSystem) {
    // As the file's properties read it.
    const std::wstring file = std::filesystem::path(NACRELLE_MODULE_PATH).wstring();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource (error " << GetLastError() << ")";
    std::vector<std::uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, kVersionHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, kVersionLow);
    EXPECT_EQ(fixed->dwProductVersionMS, kVersionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, kVersionLow);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars)) {
            return std::wstring(L"<missing>");
        }
        return std::wstring(value, wcsnlen(value, chars));
    };
    EXPECT_EQ(text(L"FileDescription"), module->Description());
    EXPECT_EQ(text(L"FileVersion"), std::filesystem::path(NACRELLE_VERSION_TEXT).wstring());
    EXPECT_EQ(text(L"ProductVersion"), std::filesystem::path(NACRELLE_VERSION_TEXT).wstring());
    EXPECT_EQ(text(L"ProductName"), L"Nacrelle");
    EXPECT_EQ(text(L"LegalCopyright"), L"\u00A9 2026 the Nacrelle developers");
}
#else
TEST_F(ModuleEntry, VersionResourceCarriesTheProjectVersion) {
    // The compiled resource itself (Windows reads it through the system: the
    // Wine run of this suite checks that).
    const auto resources = standin::InstanceResources(module->Instance());
    ASSERT_NE(resources, nullptr);
    const standin::ResourceEntry* version = resources->Find(
        standin::NameOrOrdinal::Ordinal(16), standin::NameOrOrdinal::Ordinal(1));  // RT_VERSION
    ASSERT_NE(version, nullptr);
    const std::vector<std::uint8_t>& data = version->data;
    const std::uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    const auto fixed = std::search(data.begin(), data.end(), std::begin(signature), std::end(signature));
    ASSERT_GE(std::distance(fixed, data.end()), 16) << "no fixed file information";
    std::uint32_t words[4];
    std::memcpy(words, &*fixed, sizeof words);  // signature, structure version, MS, LS
    EXPECT_EQ(words[2], kVersionHigh);
    EXPECT_EQ(words[3], kVersionLow);
    // The description as the module gives it.
    std::u16string description;
    for (wchar_t c : module->Description()) description += static_cast<char16_t>(c);
    const std::string bytes(reinterpret_cast<const char*>(description.data()),
                            description.size() * 2);
    EXPECT_NE(std::string(data.begin(), data.end()).find(bytes), std::string::npos);
}

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

/// What the panel and the references make of each parameter, beyond the
/// block's contract (tests/support/module_parameters.h).
struct ExpectedBinding {
    int type;  // a ParamType or a ParamType2
    int flags;
    StringResID displayName;
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
    EXPECT_EQ(pbd->flags, P_AUTO_CONSTRUCT + P_AUTO_UI + P_MULTIMAP + P_VERSION);
    EXPECT_EQ(pbd->version, 1);
    EXPECT_EQ(pbd->ref_no, 0);
    // The main rollout (template 101) and the physical optics (102).
    for (const auto& [map, dialog, title] : {std::tuple{0, 101, 4}, std::tuple{1, 102, 40}}) {
        const ParamMapInfo* ui = pbd->GetMapInfo(static_cast<MapID>(map));
        ASSERT_NE(ui, nullptr);
        EXPECT_EQ(ui->dlg_template, dialog);
        EXPECT_EQ(ui->title, title);
        EXPECT_EQ(ui->flag_mask, 0);
        EXPECT_EQ(ui->rollup_flags, 0);
    }

    const ExpectedBinding expected[] = {
        {TYPE_FLOAT, P_ANIMATABLE, 5, TYPE_SPINNER, {1490, 1496}, 1.0f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 6, TYPE_SPINNER, {1491, 1497}, 1.0f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 7, TYPE_SPINNER, {1493, 1499}, 0.01f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 8, TYPE_SPINNER, {1494, 1500}, 0.01f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 9, TYPE_SPINNER, {1495, 1501}, 0.01f, -1, -1},
        {TYPE_TEXMAP, P_OWNERS_REF, 10, TYPE_TEXMAPBUTTON, {1002}, 0.0f, 1, 0},
        {TYPE_BOOL, 0, 11, TYPE_SINGLECHEKBOX, {1003}, 0.0f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 12, TYPE_SPINNER, {1492, 1498}, 0.01f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 13, TYPE_SPINNER, {1502, 1503}, 0.1f, -1, -1},
        {TYPE_FLOAT, P_ANIMATABLE, 14, TYPE_SPINNER, {1504, 1505}, 0.1f, -1, -1},
        {TYPE_REFTARG, P_OWNERS_REF, 17, -1, {}, 0.0f, 2, -1},
        {TYPE_BOOL, 0, 41, TYPE_SINGLECHEKBOX, {1010}, 0.0f, -1, -1},
        {TYPE_BOOL, 0, 42, TYPE_SINGLECHEKBOX, {1011}, 0.0f, -1, -1},
        {TYPE_INT, 0, 43, TYPE_INTLISTBOX, {1012}, 0.0f, -1, -1},
    };
    static_assert(std::size(expected) == std::size(nacrelle::testing::kModuleParameters));
    ASSERT_EQ(pbd->Count(), 14);
    for (int index = 0; index < pbd->Count(); ++index) {
        const ExpectedBinding& e = expected[index];
        const nacrelle::testing::ModuleParameter& p = nacrelle::testing::kModuleParameters[index];
        const ParamDef& def = pbd->ParamDefAt(index);
        SCOPED_TRACE(::testing::Message() << "parameter " << p.id);
        EXPECT_EQ(def.ID, p.id);
        EXPECT_EQ(def.int_name, MSTR::FromUTF8(p.scriptName));
        EXPECT_EQ(def.IsAnimatable() != 0, p.animatable);
        EXPECT_EQ(static_cast<int>(def.type), e.type);
        EXPECT_EQ(def.flags, e.flags);
        EXPECT_EQ(def.local_name, e.displayName);
        const MCHAR* displayText = Descriptor()->GetRsrcString(def.local_name);
        ASSERT_NE(displayText, nullptr);
        EXPECT_EQ(MSTR(displayText), MSTR::FromUTF8(p.displayName));
        if (def.type == TYPE_FLOAT) {
            EXPECT_TRUE(def.has_default);
            EXPECT_EQ(def.def.f, p.defaultValue);
            EXPECT_TRUE(def.has_range);
            EXPECT_EQ(def.range_low.f, p.low);
            EXPECT_EQ(def.range_high.f, p.high);
            EXPECT_EQ(def.edit_type, EDITTYPE_FLOAT);
            EXPECT_EQ(def.scale, e.scale);
        } else if (def.type == TYPE_BOOL) {
            EXPECT_TRUE(def.has_default);
            EXPECT_EQ(def.def.i, 0);
            EXPECT_FALSE(def.has_range);
        } else if (def.type == TYPE_INT) {
            EXPECT_TRUE(def.has_default);
            EXPECT_EQ(def.def.i, static_cast<int>(p.defaultValue));
            EXPECT_EQ(def.range_low.i, static_cast<int>(p.low));
            EXPECT_EQ(def.range_high.i, static_cast<int>(p.high));
            // The drop-down's items: the dielectric base, then the eight metals.
            std::vector<std::string> items;
            for (const StringResID item : def.list_items) {
                items.push_back(MSTR(Descriptor()->GetRsrcString(item)).ToUTF8());
            }
            EXPECT_EQ(items, (std::vector<std::string>{"Internal IOR", "Gold", "Silver", "Copper",
                                                       "Aluminium", "Chromium", "Iron",
                                                       "Titanium", "Niobium"}));
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
