// A RemapDir that clones each target once per cloning operation.
#pragma once

#include <map>

#include "ref.h"

namespace standin {

class CloneOnceRemapDir : public RemapDir {
public:
    RefTargetHandle FindMapping(RefTargetHandle from) override;
    void AddEntry(RefTargetHandle from, RefTargetHandle to) override;
    /// Number of originals cloned so far.
    int Count() const { return static_cast<int>(clones_.size()); }

private:
    std::map<RefTargetHandle, RefTargetHandle> clones_;
};

}  // namespace standin
