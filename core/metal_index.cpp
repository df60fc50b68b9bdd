// Metal indices from the tables compiled in from core/data/metals_nk_5nm.csv.
#include "core/metal_index.h"

#include <algorithm>
#include <cmath>

#include "core/spectral_data.h"

namespace nacrelle {

namespace data = spectral_data;

std::complex<double> metalIndexAtRow(int metal, int row) {
    // Bounded here as well as where the map takes its values, so that no
    // path can read outside the table whatever number reaches it.
    metal = std::clamp(metal, static_cast<int>(kBaseGold), kBaseMetalLast);
    row = std::clamp(row, 0, data::kWavelengthCount - 1);
    const double* entry = data::kMetalIndex[row] + 2 * (metal - 1);
    return {entry[0], entry[1]};
}

std::complex<double> metalIndex(int metal, double lambda) {
    const double position = (lambda - data::kFirstWavelength) / data::kWavelengthStep;
    if (!(position > 0.0)) return metalIndexAtRow(metal, 0);
    const int last = data::kWavelengthCount - 1;
    if (position >= last) return metalIndexAtRow(metal, last);
    const int row = static_cast<int>(position);
    const double t = position - row;
    return (1.0 - t) * metalIndexAtRow(metal, row) + t * metalIndexAtRow(metal, row + 1);
}

}  // namespace nacrelle
