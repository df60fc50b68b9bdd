// Counts the heap allocations of the whole process: this program's, the
// host's and those of a loaded module, whose calls to the global allocation
// operators all reach the replacements in allocation_counter.cpp.
#pragma once

namespace nacrelle::testing {

/// Counts every allocation made, on any thread, from its construction until
/// Stop (or its destruction). One at a time.
class AllocationCount {
public:
    AllocationCount();
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

    /// Ends the count and returns it.
    long Stop();
};

}  // namespace nacrelle::testing
