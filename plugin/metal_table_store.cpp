#include "plugin/metal_table_store.h"

#include <cmath>

const nacrelle::MetalFilmTable* MetalTableStore::tableFor(int metal, float n1, float n2) {
    if (!(std::isfinite(n1) && std::isfinite(n2) && n1 > 0.0f && n2 > 0.0f)) return nullptr;
    // The newest first: a map mostly updates to the values it had.
    for (auto table = tables_.rbegin(); table != tables_.rend(); ++table) {
        if ((*table)->isFor(metal, n1, n2)) return table->get();
    }
    if (tables_.size() >= kMaxTables) return nullptr;
    tables_.push_back(std::make_unique<const nacrelle::MetalFilmTable>(metal, n1, n2));
    return tables_.back().get();
}
