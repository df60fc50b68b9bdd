// The spectral metal tables of one map, kept for as long as the map lives.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/metal_film_table.h"

/// An interactive renderer may update a map while its threads still read the
/// table of the update before, so a table is never freed or changed while
/// the map lives. Each is built once per metal and pair of indices: a film
/// whose index goes back and forth, or a map updated for another time with
/// the same values, finds the table it had.
class MetalTableStore {
public:
    /// Enough for an index dragged or animated through many values; about
    /// 87 KB each.
    static constexpr std::size_t kMaxTables = 64;

    /// The table of a film of index `n2` on `metal` seen from `n1`: a kept
    /// one, or a new one. Null once kMaxTables are kept, or for indices that
    /// are not positive finite numbers; the colour is then summed exactly,
    /// as where a table does not serve.
    const nacrelle::MetalFilmTable* tableFor(int metal, float n1, float n2);

private:
    std::vector<std::unique_ptr<const nacrelle::MetalFilmTable>> tables_;
};
