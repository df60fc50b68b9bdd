// Stand-in view of the reference graph, for tools and tests.
#pragma once

#include <vector>

#include "ref.h"

namespace standin {

/// The makers that reference `target`, one entry per reference slot.
std::vector<ReferenceMaker*> DependentsOf(const ReferenceTarget* target);

struct ReferenceAccess {
    static std::vector<ReferenceMaker*> Dependents(const ReferenceTarget* target);
};

}  // namespace standin
