// Loads the built Nacrelle.dlt through the host's loader for a test and
// unloads it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <iparamb2.h>
#include <max.h>
#include <modules/module_loader.h>

#include <memory>
#include <string>

namespace nacrelle::testing {

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The module's one class descriptor.
    ClassDesc2* Descriptor() const;
    /// The map's parameter-block definition (block 0).
    ParamBlockDesc2* BlockDescriptor() const;
    /// A string of the module's string table, "" when missing.
    std::wstring ModuleString(UINT id) const;

    std::unique_ptr<standin::LoadedModule> module;
};

}  // namespace nacrelle::testing
