// The remap directory a clone uses to copy each target once.
#include "sdk/remap_dir.h"

namespace standin {

RefTargetHandle CloneOnceRemapDir::FindMapping(RefTargetHandle from) {
    auto it = clones_.find(from);
    return it == clones_.end() ? nullptr : it->second;
}

void CloneOnceRemapDir::AddEntry(RefTargetHandle from, RefTargetHandle to) {
    if (from && to) clones_[from] = to;
}

}  // namespace standin
