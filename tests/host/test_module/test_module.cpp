// A small plug-in module for the loader tests. It is built several times: the
// sound module, and variants that each break one rule of a module (selected
// by a TEST_MODULE_* definition), so that the tests can watch the loader
// refuse them. The module reports what happens to it through a probe that the
// test program exports; loaded by anything else, it reports nothing.
#include <cstdint>
#include <stdexcept>

#include "iparamb2.h"
#include "maxtypes.h"
#include "plugapi.h"
#include "ref.h"
#include "test_module_ids.h"
#include "win_shim.h"

#define TEST_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

// Weak: resolved against the test program when it exports the probe.
#ifdef _WIN32
namespace {

// Windows has no weak symbols across modules: the probe is looked up in the
// program that loaded the module.
void Record(const char* event, const void* detail = nullptr) {
    using Probe = void (*)(const char*, const void*);
    const auto probe = reinterpret_cast<Probe>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "StandInTestProbe")));
    if (probe != nullptr) probe(event, detail);
}
#else
extern "C" void StandInTestProbe(const char* event, const void* detail) __attribute__((weak));

namespace {

void Record(const char* event, const void* detail = nullptr) {
    if (StandInTestProbe != nullptr) StandInTestProbe(event, detail);
}
#endif

// A super class of its own: objects of this class are no texture maps.
constexpr SClass_ID kTestSuperClassId = 0x900;
#ifdef TEST_MODULE_SECOND
// A second, unrelated module: a class of its own.
constexpr Class_ID kTestClassId(0x51A7D1E5, 0x7E570002);
#define TEST_CLASS_INTERNAL_NAME _M("StandInTestClassTwo")
#else
constexpr Class_ID kTestClassId(0x51A7D1E5, 0x7E570001);
#define TEST_CLASS_INTERNAL_NAME _M("StandInTestClass")
#endif
constexpr ParamID kValueParam = 0;

HINSTANCE moduleInstance = nullptr;
// One buffer for every string the module hands out, as the plug-in does.
MCHAR stringBuffer[512];

const MCHAR* LoadModuleString(UINT id) {
    if (moduleInstance == nullptr) return nullptr;
    return LoadStringW(moduleInstance, id, stringBuffer, 512) > 0 ? stringBuffer : nullptr;
}

/// Runs code when the module's static objects are built and destroyed, so
/// that the tests can see dlopen and dlclose really happen.
struct StaticLifetime {
    StaticLifetime() { Record("static-init"); }
    ~StaticLifetime() { Record("static-fini"); }
} staticLifetime;

class TestObject : public ReferenceTarget {
public:
    TestObject() { Record("object-created", this); }
    ~TestObject() override { Record("object-destroyed", this); }
    SClass_ID SuperClassID() override { return kTestSuperClassId; }
    Class_ID ClassID() override { return kTestClassId; }

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

class TestClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return TRUE; }
    void* Create(BOOL /*loading*/) override { return new TestObject; }
    const MCHAR* ClassName() override { return LoadModuleString(IDS_CLASS_NAME); }
    const MCHAR* NonLocalizedClassName() override { return TEST_CLASS_INTERNAL_NAME; }
    SClass_ID SuperClassID() override { return kTestSuperClassId; }
    Class_ID ClassID() override { return kTestClassId; }
    const MCHAR* Category() override { return LoadModuleString(IDS_CATEGORY); }
    const MCHAR* InternalName() override { return TEST_CLASS_INTERNAL_NAME; }
    HINSTANCE HInstance() override { return moduleInstance; }
};

ClassDesc2* GetTestClassDesc() {
    static TestClassDesc classDesc;
    return &classDesc;
}

// One block with one float parameter; the malformed variant slips an item
// with no known tag into it.
// clang-format off
ParamBlockDesc2 testBlock(0, _M("params"), 0, GetTestClassDesc(), 0,
    kValueParam, _M("value"), TYPE_FLOAT, P_ANIMATABLE, IDS_CLASS_NAME,
        p_default, 1.5,
        p_range, 0.0, 10.0,
#ifdef TEST_MODULE_MALFORMED_BLOCK
        12345,
#endif
        p_end,
    p_end);
// clang-format on

}  // namespace

TEST_MODULE_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, ULONG reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        Record("DllMain(attach)", instance);
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
#ifdef TEST_MODULE_ATTACH_FAILS
        return FALSE;
#endif
    } else if (reason == DLL_PROCESS_DETACH) {
        Record("DllMain(detach)", instance);
    }
    return TRUE;
}

TEST_MODULE_EXPORT const MCHAR* LibDescription() {
    Record("LibDescription");
    return LoadModuleString(IDS_DESCRIPTION);
}

TEST_MODULE_EXPORT int LibNumberClasses() {
    Record("LibNumberClasses");
#if defined(TEST_MODULE_NO_CLASSES)
    return 0;
#elif defined(TEST_MODULE_NULL_CLASS)
    return 2;
#else
    return 1;
#endif
}

TEST_MODULE_EXPORT ClassDesc* LibClassDesc(int i) {
    Record("LibClassDesc", reinterpret_cast<const void*>(static_cast<std::intptr_t>(i)));
#ifdef TEST_MODULE_THROWS
    throw std::runtime_error("the test module's descriptor cannot be built");
#endif
    return i == 0 ? GetTestClassDesc() : nullptr;
}

TEST_MODULE_EXPORT ULONG LibVersion() {
    Record("LibVersion");
#ifdef TEST_MODULE_WRONG_VERSION
    // A module built for release 28000, API 68, SDK revision 2.
    return (28000u << 16) + (68u << 8) + 2u;
#else
    return VERSION_3DSMAX;
#endif
}

TEST_MODULE_EXPORT int LibInitialize() {
    Record("LibInitialize");
#ifdef TEST_MODULE_INIT_FAILS
    return FALSE;
#else
    return TRUE;
#endif
}

#ifndef TEST_MODULE_NO_LIBSHUTDOWN
TEST_MODULE_EXPORT int LibShutdown() {
    Record("LibShutdown");
    return TRUE;
}
#endif
