// Metal indices from the tables compiled in from core/data/metals_nk_5nm.csv.
#include "core/metal_index.h"

#include <cmath>

#include "core/spectral_data.h"

namespace nacrelle {

namespace data = spectral_data;

std::complex<double> metalIndexAtRow(int metal, int row) {
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
