#include "tests/plugin/module_fixture.h"

namespace nacrelle::testing {

void ModuleTest::SetUp() {
    module = std::make_unique<standin::LoadedModule>(NACRELLE_MODULE_PATH);
    ASSERT_EQ(module->Classes().size(), 1u);
}

void ModuleTest::TearDown() { module.reset(); }

ClassDesc2* ModuleTest::Descriptor() const {
    return static_cast<ClassDesc2*>(module->Classes().at(0));
}

ParamBlockDesc2* ModuleTest::BlockDescriptor() const {
    return Descriptor()->GetParamBlockDescByID(0);
}

std::wstring ModuleTest::ModuleString(UINT id) const {
    wchar_t buffer[512];
    const int length = LoadStringW(module->Instance(), id, buffer, 512);
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

}  // namespace nacrelle::testing
