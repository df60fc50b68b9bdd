// Loading the test modules (tests/host/test_module) through the stand-in's
// loader: the entry points in order, the instance handle, strings and
// resources, class registration, and every kind of refused file.
#include "modules/module_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "iparamb2.h"
#include "plugapi.h"
#include "ref.h"
#include "sdk/class_directory.h"
#include "modules/instance.h"
#include "modules/resources.h"
#include "test_module/test_module_ids.h"
#include "test_module_paths.h"
#include "win_shim.h"

namespace {

struct ProbeEvent {
    std::string name;
    const void* detail;
};

std::vector<ProbeEvent>& Events() {
    static std::vector<ProbeEvent> events;
    return events;
}

}  // namespace

// The test module reports here (it finds the symbol in this program).
#ifdef _WIN32
#define STANDIN_TEST_PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_TEST_PROBE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
STANDIN_TEST_PROBE_EXPORT void StandInTestProbe(const char* event,
                                                                        const void* detail) {
    Events().push_back({event, detail});
}

namespace {

namespace fs = std::filesystem;

constexpr SClass_ID kTestSuperClassId = 0x900;
const Class_ID kTestClassId(0x51A7D1E5, 0x7E570001);

fs::path ModulePath(const std::string& variant) {
    return fs::path(STANDIN_TEST_MODULE_DIR) / ("StandInTest_" + variant + ".dlt");
}

/// The names of the events recorded since the last call, LibClassDesc with its index.
std::vector<std::string> TakeEvents() {
    std::vector<std::string> names;
    for (const auto& e : Events()) {
        names.push_back(e.name == "LibClassDesc"
                            ? "LibClassDesc(" +
                                  std::to_string(reinterpret_cast<std::intptr_t>(e.detail)) + ")"
                            : e.name);
    }
    Events().clear();
    return names;
}

const void* DetailOf(const std::string& name) {
    for (const auto& e : Events()) {
        if (e.name == name) return e.detail;
    }
    return nullptr;
}

std::wstring LoadString(HINSTANCE instance, UINT id, int capacity = 512) {
    std::vector<wchar_t> buffer(static_cast<std::size_t>(capacity));
    const int count = LoadStringW(instance, id, buffer.data(), capacity);
    return std::wstring(buffer.data(), static_cast<std::size_t>(count));
}

bool TestClassRegistered() {
    return standin::ClassDirectory::Instance().Find(kTestSuperClassId, kTestClassId) != nullptr;
}

const std::vector<std::string> kLoadEvents = {
    "static-init",      "DllMain(attach)", "LibVersion",   "LibDescription",
    "LibNumberClasses", "LibClassDesc(0)", "LibInitialize"};
const std::vector<std::string> kUnloadEvents = {"LibShutdown", "DllMain(detach)", "static-fini"};

class ModuleLoaderTest : public testing::Test {
protected:
    void SetUp() override {
        Events().clear();
        instancesBefore_ = standin::LiveInstanceCount();
        classesBefore_ = standin::ClassDirectory::Instance().Classes().size();
    }
    void TearDown() override {
        // Whatever a test loaded or refused, nothing of it may remain.
        EXPECT_EQ(standin::LiveInstanceCount(), instancesBefore_);
        EXPECT_EQ(standin::ClassDirectory::Instance().Classes().size(), classesBefore_);
    }

    std::size_t instancesBefore_ = 0;
    std::size_t classesBefore_ = 0;
};

TEST_F(ModuleLoaderTest, CallsTheEntryPointsInOrder) {
    {
        standin::LoadedModule module(ModulePath("sound"));
        EXPECT_EQ(TakeEvents(), kLoadEvents);
    }
    EXPECT_EQ(TakeEvents(), kUnloadEvents);
}

TEST_F(ModuleLoaderTest, DeliversTheInstanceHandleThatLoadStringAccepts) {
    standin::LoadedModule module(ModulePath("sound"));
    const HINSTANCE instance = module.Instance();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(DetailOf("DllMain(attach)"), instance);
#ifndef _WIN32
    // Windows keeps a module's DisableThreadLibraryCalls to itself.
    EXPECT_TRUE(standin::ThreadLibraryCallsDisabled(instance));
#endif
    EXPECT_EQ(standin::InstanceModuleName(instance), ModulePath("sound").string());
    ASSERT_EQ(module.Classes().size(), 1u);
    EXPECT_EQ(module.Classes()[0]->HInstance(), instance);
    EXPECT_EQ(LoadString(instance, IDS_CLASS_NAME), L"StandInTestClass");

    const std::vector<std::string> problems = module.Unload();
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(module.Instance(), nullptr);
    EXPECT_EQ(DetailOf("DllMain(detach)"), instance);
    // The handle died with the module.
    EXPECT_EQ(LoadString(instance, IDS_CLASS_NAME), L"");
}

TEST_F(ModuleLoaderTest, LoadsStringsFromTheModulesCompiledResources) {
    standin::LoadedModule module(ModulePath("sound"));
    const HINSTANCE instance = module.Instance();
    EXPECT_EQ(module.Description(), L"Stand-in test module");
    EXPECT_EQ(LoadString(instance, IDS_NON_ASCII), L"Hue Shift (\u00B1\u00B0):");
    EXPECT_EQ(LoadString(instance, IDS_SURROGATES), L"Clef \U0001D11E and snowman \u2603");
    EXPECT_EQ(LoadString(instance, IDS_OTHER_BLOCK), L"In block three");
    EXPECT_EQ(LoadString(instance, 7), L"");    // missing from a present block
    EXPECT_EQ(LoadString(instance, 300), L"");  // no such block

    wchar_t small[10];
    EXPECT_EQ(LoadStringW(instance, IDS_LONG, small, 10), 9);
    EXPECT_EQ(std::wstring(small), L"A string ");

    // The descriptor's texts: the module's own loads and the host's GetRsrcString.
    ClassDesc* cd = module.Classes()[0];
    EXPECT_EQ(std::wstring(cd->ClassName()), L"StandInTestClass");
    EXPECT_EQ(std::wstring(cd->Category()), L"Tests");
    ASSERT_NE(cd->GetRsrcString(IDS_NON_ASCII), nullptr);
    EXPECT_EQ(std::wstring(cd->GetRsrcString(IDS_NON_ASCII)), L"Hue Shift (\u00B1\u00B0):");
}

TEST_F(ModuleLoaderTest, RegistersItsClassesWhileLoaded) {
    {
        standin::LoadedModule module(ModulePath("sound"));
        ClassDesc* cd = standin::ClassDirectory::Instance().Find(kTestSuperClassId, kTestClassId);
        ASSERT_NE(cd, nullptr);
        EXPECT_EQ(cd, module.Classes()[0]);
        EXPECT_EQ(standin::ClassDirectory::Instance().ModuleOf(cd), ModulePath("sound").string());

        // An object made by the module's code, freed through its DeleteThis.
        Animatable* object = standin::CreateInstance(cd);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->ClassID(), kTestClassId);
        EXPECT_EQ(DetailOf("object-created"), object);
        object->DeleteThis();
        EXPECT_EQ(DetailOf("object-destroyed"), object);
    }
    EXPECT_FALSE(TestClassRegistered());
}

TEST_F(ModuleLoaderTest, EmbedsExactlyTheCompiledResourceImage) {
    std::ifstream in(STANDIN_TEST_RESOURCE_IMAGE, std::ios::binary);
    const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    ASSERT_FALSE(image.empty());
    const standin::ModuleResources compiled(image);

    standin::LoadedModule module(ModulePath("sound"));
    const auto embedded = module.Resources();
    ASSERT_NE(embedded, nullptr);
    ASSERT_EQ(embedded->Entries().size(), compiled.Entries().size());
    std::vector<standin::ResourceEntry> want = compiled.Entries(), got = embedded->Entries();
#ifdef _WIN32
    // A DLL's resource section holds its entries sorted by type and name.
    const auto byTypeAndName = [](const standin::ResourceEntry& a, const standin::ResourceEntry& b) {
        const auto key = [](const standin::ResourceEntry& e) {
            return std::tuple(!e.type.isOrdinal, e.type.ordinal, e.type.name, !e.name.isOrdinal,
                              e.name.ordinal, e.name.name, e.languageId);
        };
        return key(a) < key(b);
    };
    std::sort(want.begin(), want.end(), byTypeAndName);
    std::sort(got.begin(), got.end(), byTypeAndName);
#endif
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].data, want[i].data);
        EXPECT_EQ(got[i].name, want[i].name);
    }
}

TEST_F(ModuleLoaderTest, ReadsTheDialogsOfTheResourceScript) {
    standin::LoadedModule module(ModulePath("sound"));
    const auto resources = module.Resources();
    const standin::DialogTemplate* panel = resources->FindDialog(IDD_TEST_PANEL);
    ASSERT_NE(panel, nullptr);
    // The resource compiler adds WS_CAPTION (0x00C00000) for a CAPTION.
    EXPECT_EQ(panel->style, 0x50C00040u);
    EXPECT_EQ(panel->x, 10);
    EXPECT_EQ(panel->y, 20);
    EXPECT_EQ(panel->cx, 200);
    EXPECT_EQ(panel->cy, 100);
    EXPECT_EQ(panel->title, u"Test Panel");
    EXPECT_TRUE(panel->menu.IsEmpty());
    ASSERT_TRUE(panel->font.has_value());
    EXPECT_EQ(panel->font->pointSize, 8);
    EXPECT_EQ(panel->font->weight, 400);
    EXPECT_EQ(panel->font->italic, 1);
    EXPECT_EQ(panel->font->charset, 1);
    EXPECT_EQ(panel->font->typeface, u"MS Sans Serif");

    struct Expected {
        std::int32_t id;
        std::u16string windowClass;
        bool atom;
        std::u16string text;
        std::uint32_t style;
        std::uint32_t exStyle;
        std::uint32_t helpId;
        std::int16_t x, y, cx, cy;
    };
    const std::vector<Expected> expected = {
        {IDC_VALUE_EDIT, u"CustEdit", false, u"", 0x50010000, 0, 0, 54, 18, 35, 10},
        {IDC_VALUE_SPIN, u"SpinnerControl", false, u"", 0x50000000, 0x200, 77, 90, 18, 7, 10},
        {-1, u"Static", true, u"Value (\u00B1%):", 0x50020002, 0, 0, 4, 18, 45, 8},
        {IDC_ENABLE, u"Button", true, u"", 0x50010003, 0, 0, 105, 24, 9, 10},
        {-1, u"Button", true, u"Group", 0x50000007, 0, 0, 2, 7, 190, 36},
        {IDC_LINK, u"CustButton", false, u"Link", 0x50010000, 0, 0, 134, 60, 60, 11},
    };
    ASSERT_EQ(panel->controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const auto& c = panel->controls[i];
        const auto& e = expected[i];
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.ClassName(), e.windowClass);
        EXPECT_EQ(c.windowClass.isOrdinal, e.atom);
        EXPECT_EQ(c.Text(), e.text);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.exStyle, e.exStyle);
        EXPECT_EQ(c.helpId, e.helpId);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_TRUE(c.extra.empty());
    }

    // The resource compiler stores a dialog's text name in capitals.
    const auto* named = resources->FindDialog(standin::NameOrOrdinal::Name(u"NAMEDDIALOG"));
    ASSERT_NE(named, nullptr);
    EXPECT_FALSE(named->font.has_value());
    EXPECT_TRUE(named->menu.IsEmpty());
    EXPECT_EQ(named->windowClass, standin::NameOrOrdinal::Name(u"TestDialogClass"));
    ASSERT_EQ(named->controls.size(), 1u);
    EXPECT_TRUE(named->controls[0].HasClass(u"button"));
    EXPECT_EQ(named->controls[0].Text(), u"OK");
}

// ---- Refused modules -------------------------------------------------------------

struct RefusalCase {
    const char* variant;
    const char* reason;  // must appear in the message
    std::vector<std::string> events;
};

// gtest shows a case by its name in failure messages and test listings.
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.variant; }

const RefusalCase kRefusals[] = {
    {"wrong_version",
     "built for another host version: release 28000, API 68, SDK revision 2 (0x6D604402); "
     "this host is release 29000, API 70, SDK revision 0 (0x71484600)",
     {"static-init", "DllMain(attach)", "LibVersion", "DllMain(detach)", "static-fini"}},
#ifdef _WIN32
    // Windows runs DllMain as it loads the module, before the host looks for
    // the entry points.
    {"no_libshutdown", "missing entry point LibShutdown",
     {"static-init", "DllMain(attach)", "DllMain(detach)", "static-fini"}},
#else
    {"no_libshutdown", "missing entry point LibShutdown", {"static-init", "static-fini"}},
#endif
    {"no_classes",
     "the module declares no classes (LibNumberClasses returned 0)",
     {"static-init", "DllMain(attach)", "LibVersion", "LibDescription", "LibNumberClasses",
      "DllMain(detach)", "static-fini"}},
    {"null_class",
     "LibClassDesc(1) returned null, although LibNumberClasses reported 2 classes",
     {"static-init", "DllMain(attach)", "LibVersion", "LibDescription", "LibNumberClasses",
      "LibClassDesc(0)", "LibClassDesc(1)", "DllMain(detach)", "static-fini"}},
    {"throws",
     "LibClassDesc(0) threw an exception: the test module's descriptor cannot be built",
     {"static-init", "DllMain(attach)", "LibVersion", "LibDescription", "LibNumberClasses",
      "LibClassDesc(0)", "DllMain(detach)", "static-fini"}},
    {"attach_fails",
     "DllMain returned FALSE for DLL_PROCESS_ATTACH",
     {"static-init", "DllMain(attach)", "DllMain(detach)", "static-fini"}},
    {"init_fails",
     "LibInitialize returned FALSE",
     {"static-init", "DllMain(attach)", "LibVersion", "LibDescription", "LibNumberClasses",
      "LibClassDesc(0)", "LibInitialize", "DllMain(detach)", "static-fini"}},
    {"malformed_block",
     "class \"StandInTestClass\" (LibClassDesc(0)) has a malformed parameter block definition: ",
     {"static-init", "DllMain(attach)", "LibVersion", "LibDescription", "LibNumberClasses",
      "LibClassDesc(0)", "DllMain(detach)", "static-fini"}},
};

class RefusedModule : public ModuleLoaderTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedModule, IsRefusedWithFileAndReasonAndLeavesNothingBehind) {
    const fs::path file = ModulePath(GetParam().variant);
    try {
        standin::LoadedModule module(file);
        FAIL() << "loaded " << file;
    } catch (const standin::ModuleLoadError& e) {
        EXPECT_EQ(e.File(), file);
        EXPECT_NE(e.Reason().find(GetParam().reason), std::string::npos) << e.Reason();
        EXPECT_EQ(std::string(e.what()),
                  "cannot load module \"" + file.string() + "\": " + e.Reason());
    }
    // Detached and closed: its static destructors ran, and nothing is registered.
    EXPECT_EQ(TakeEvents(), GetParam().events);
    EXPECT_FALSE(TestClassRegistered());
}

INSTANTIATE_TEST_SUITE_P(Variants, RefusedModule, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.variant); });

/// A scratch directory for files made by a test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        path_ = fs::path(testing::TempDir()) /
                ("standin-loader-" +
                 std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

    fs::path Write(const std::string& name, const std::vector<char>& bytes) const {
        const fs::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    fs::path path_;
};

std::vector<char> ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

std::vector<char> SoundModuleBytes() { return ReadFile(ModulePath("sound")); }

#ifdef _WIN32
/// Where the "PE\0\0" signature of a DLL's bytes starts (e_lfanew).
std::size_t PeHeaderOffset(const std::vector<char>& bytes) {
    std::size_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = (offset << 8) | static_cast<unsigned char>(bytes.at(0x3C + i));
    return offset;
}
#endif

struct FileCase {
    const char* name;
    std::function<fs::path(const ScratchDir&)> make;
    const char* reason;
};

// gtest shows a case by its name in failure messages and test listings.
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const FileCase kNonModules[] = {
    {"Missing", [](const ScratchDir& d) { return d.Path() / "absent.dlt"; }, "no such file"},
    {"Directory", [](const ScratchDir& d) { return d.Path(); }, "it is a directory"},
    {"Empty", [](const ScratchDir& d) { return d.Write("empty.dlt", {}); },
     "the file is empty, not a module"},
#ifdef _WIN32
    {"Text",
     [](const ScratchDir& d) {
         const std::string text = "This is a text file, not a plug-in.\n";
         return d.Write("text.dlt", std::vector<char>(text.begin(), text.end()));
     },
     "not a module: the file does not start with an MZ header"},
    // The system loader would map these and crash on touching the missing bytes.
    {"TruncatedInsideSections",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.resize(4096);
         return d.Write("truncated.dlt", bytes);
     },
     "truncated module: section "},
    {"TruncatedInsidePeHeader",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.resize(PeHeaderOffset(bytes) + 10);
         return d.Write("truncated.dlt", bytes);
     },
     "truncated module: the PE header is incomplete"},
    {"OtherArchitecture",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(PeHeaderOffset(bytes) + 4) = static_cast<char>(0x64);  // Machine: AArch64
         bytes.at(PeHeaderOffset(bytes) + 5) = static_cast<char>(0xAA);
         return d.Write("aarch64.dlt", bytes);
     },
     "built for another architecture (AArch64, 64-bit); this host is x86-64, 64-bit"},
    {"ThirtyTwoBit",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(PeHeaderOffset(bytes) + 24) = 0x0B;  // optional header magic: PE32
         bytes.at(PeHeaderOffset(bytes) + 25) = 0x01;
         return d.Write("pe32.dlt", bytes);
     },
     "not a module: the file is no PE32+ image"},
    {"Executable",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(PeHeaderOffset(bytes) + 23) &= ~0x20;  // Characteristics: not a DLL
         return d.Write("executable.dlt", bytes);
     },
     "not a module: the file is a Windows executable, not a DLL"},
#else
    {"Text",
     [](const ScratchDir& d) {
         const std::string text = "This is a text file, not a plug-in.\n";
         return d.Write("text.dlt", std::vector<char>(text.begin(), text.end()));
     },
     "not a module: the file does not start with an ELF header"},
    // The system loader would map these and crash on touching the missing bytes.
    {"TruncatedInsideSegments",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.resize(4096);
         return d.Write("truncated.dlt", bytes);
     },
     "truncated module: segment "},
    {"TruncatedInsideProgramHeaders",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.resize(100);
         return d.Write("truncated.dlt", bytes);
     },
     "truncated module: its program headers end past the end of the file (the file has 100 "
     "bytes)"},
    {"TruncatedInsideElfHeader",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.resize(40);
         return d.Write("truncated.dlt", bytes);
     },
     "truncated module: the ELF header is incomplete"},
    {"OtherArchitecture",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(18) = static_cast<char>(183);  // e_machine: AArch64
         bytes.at(19) = 0;
         return d.Write("aarch64.dlt", bytes);
     },
     "built for another architecture (AArch64, 64-bit, little-endian); this host is "},
    {"ThirtyTwoBit",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(4) = 1;  // EI_CLASS: 32-bit
         return d.Write("elf32.dlt", bytes);
     },
     ", 32-bit, little-endian); this host is "},
    {"Executable",
     [](const ScratchDir& d) {
         auto bytes = SoundModuleBytes();
         bytes.at(16) = 2;  // e_type: executable
         return d.Write("executable.dlt", bytes);
     },
     "not a module: the file is an ELF executable, not a shared library"},
#endif
    {"LibraryWithoutEntryPoints", [](const ScratchDir&) { return fs::path(STANDIN_HOST_LIBRARY); },
     "not a plug-in module: it exports none of the entry points"},
};

class NonModuleFile : public ModuleLoaderTest, public testing::WithParamInterface<FileCase> {};

TEST_P(NonModuleFile, IsRefusedWithFileAndReason) {
    const ScratchDir scratch;
    const fs::path file = GetParam().make(scratch);
    try {
        standin::LoadedModule module(file);
        FAIL() << "loaded " << file;
    } catch (const standin::ModuleLoadError& e) {
        EXPECT_EQ(e.File(), file);
        EXPECT_NE(e.Reason().find(GetParam().reason), std::string::npos) << e.Reason();
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos);
    }
    EXPECT_TRUE(TakeEvents().empty());
    // The host keeps running: a sound module still loads.
    standin::LoadedModule module(ModulePath("sound"));
    EXPECT_TRUE(TestClassRegistered());
}

INSTANTIATE_TEST_SUITE_P(Files, NonModuleFile, testing::ValuesIn(kNonModules),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModuleLoaderTest, RefusesTheSameModuleTwiceWithoutAttachingItAgain) {
    standin::LoadedModule first(ModulePath("sound"));
    TakeEvents();
    const ScratchDir scratch;
    const fs::path sameFileOtherPath =
        ModulePath("sound").parent_path() / "." / ModulePath("sound").filename();
    try {
        standin::LoadedModule second(sameFileOtherPath);
        FAIL() << "loaded twice";
    } catch (const standin::ModuleLoadError& e) {
        EXPECT_NE(e.Reason().find("this module is already loaded (from \"" +
                                  ModulePath("sound").string() + "\")"),
                  std::string::npos)
            << e.Reason();
    }
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(LoadString(first.Instance(), IDS_CATEGORY), L"Tests");
    EXPECT_TRUE(TestClassRegistered());
}

TEST_F(ModuleLoaderTest, RefusesAModuleWhoseClassIsAlreadyRegistered) {
    standin::LoadedModule sound(ModulePath("sound"));
    TakeEvents();
    try {
        standin::LoadedModule copy(ModulePath("copy"));
        FAIL() << "loaded a second class with the same identity";
    } catch (const standin::ModuleLoadError& e) {
        EXPECT_NE(e.Reason().find("class \"StandInTestClass\" (LibClassDesc(0)) cannot be "
                                  "registered: "),
                  std::string::npos)
            << e.Reason();
        EXPECT_NE(e.Reason().find(ModulePath("sound").string()), std::string::npos) << e.Reason();
    }
    // Refused before LibInitialize.
    EXPECT_EQ(TakeEvents(),
              (std::vector<std::string>{"static-init", "DllMain(attach)", "LibVersion",
                                        "LibDescription", "LibNumberClasses", "LibClassDesc(0)",
                                        "DllMain(detach)", "static-fini"}));
    EXPECT_EQ(standin::ClassDirectory::Instance().ModuleOf(sound.Classes()[0]),
              ModulePath("sound").string());
}

TEST_F(ModuleLoaderTest, LoadsAndUnloadsAHundredTimesWithoutLeftovers) {
    for (int i = 0; i < 100; ++i) {
        standin::LoadedModule module(ModulePath("sound"));
        ASSERT_EQ(LoadString(module.Instance(), IDS_CATEGORY), L"Tests");
    }
    const auto events = TakeEvents();
    // Each round really opened and closed the library: its statics were
    // built and destroyed every time.
    EXPECT_EQ(std::count(events.begin(), events.end(), "static-init"), 100);
    EXPECT_EQ(std::count(events.begin(), events.end(), "static-fini"), 100);
    EXPECT_EQ(std::count(events.begin(), events.end(), "LibShutdown"), 100);
}

TEST_F(ModuleLoaderTest, KeepsModulesAndUnloadsTheLastLoadedFirst) {
    standin::ModuleLoader loader;
    loader.Load(ModulePath("sound"));
    const HINSTANCE second = loader.Load(ModulePath("second")).Instance();
    EXPECT_EQ(loader.Modules().size(), 2u);
    EXPECT_EQ(standin::ClassDirectory::Instance().Classes().size(), classesBefore_ + 2);

    std::string error;
    EXPECT_EQ(loader.TryLoad(ModulePath("wrong_version"), error), nullptr);
    EXPECT_NE(error.find("built for another host version"), std::string::npos) << error;
    EXPECT_EQ(loader.Modules().size(), 2u);

    const fs::path otherSpelling =
        ModulePath("second").parent_path() / "." / ModulePath("second").filename();
    EXPECT_EQ(loader.Find(otherSpelling), loader.Modules()[1].get());
    EXPECT_EQ(loader.Find(ModulePath("copy")), nullptr);

    TakeEvents();
    loader.UnloadAll();
    EXPECT_TRUE(loader.Modules().empty());
    // DllMain(detach) of the second module came first.
    std::vector<const void*> detached;
    for (const auto& e : Events()) {
        if (e.name == "DllMain(detach)") detached.push_back(e.detail);
    }
    ASSERT_EQ(detached.size(), 2u);
    EXPECT_EQ(detached[0], second);
}

TEST_F(ModuleLoaderTest, UnloadsOneModuleByFile) {
    standin::ModuleLoader loader;
    loader.Load(ModulePath("sound"));
    EXPECT_FALSE(loader.Unload(ModulePath("second")));
    EXPECT_TRUE(loader.Unload(ModulePath("sound")));
    EXPECT_FALSE(loader.Unload(ModulePath("sound")));
    EXPECT_TRUE(loader.Modules().empty());
    EXPECT_FALSE(TestClassRegistered());
}

TEST_F(ModuleLoaderTest, MovesOwnershipOfALoadedModule) {
    standin::LoadedModule first(ModulePath("sound"));
    const HINSTANCE instance = first.Instance();
    standin::LoadedModule second(std::move(first));
    EXPECT_FALSE(first.IsLoaded());
    EXPECT_EQ(second.Instance(), instance);
    EXPECT_EQ(LoadString(instance, IDS_CATEGORY), L"Tests");
    TakeEvents();
    first = std::move(second);
    EXPECT_TRUE(TakeEvents().empty());  // nothing unloaded by the move
    EXPECT_EQ(first.Instance(), instance);
}

}  // namespace
