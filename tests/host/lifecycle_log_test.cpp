// The host's lifecycle log: a bounded record of what was created and destroyed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/lifecycle_log.h"

namespace {

TEST(LifecycleLog, KeepsTheLatestEventsUpToItsCapacity) {
    standin::LifecycleLog::Clear();
    const std::size_t recorded = standin::LifecycleLog::kCapacity + 10;
    for (std::size_t i = 0; i < recorded; ++i) {
        standin::LifecycleLog::Record("event " + std::to_string(i));
    }
    const std::vector<std::string> entries = standin::LifecycleLog::Entries();
    ASSERT_EQ(entries.size(), standin::LifecycleLog::kCapacity);
    EXPECT_EQ(entries.front(), "event 10");
    EXPECT_EQ(entries.back(), "event " + std::to_string(recorded - 1));
    standin::LifecycleLog::Clear();
    EXPECT_TRUE(standin::LifecycleLog::Entries().empty());
}

}  // namespace
