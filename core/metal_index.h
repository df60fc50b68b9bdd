// Complex refractive indices of the metals a film may lie on.
#pragma once

#include <complex>

namespace nacrelle {

/// The bases a film may lie on: 0 is the dielectric inner medium of the
/// film stack; 1 to 8 are metals, in the order their tables are stored.
enum BaseMetal : int {
    kBaseDielectric = 0,
    kBaseGold,
    kBaseSilver,
    kBaseCopper,
    kBaseAluminium,
    kBaseChromium,
    kBaseIron,
    kBaseTitanium,
    kBaseNiobium,
};
inline constexpr int kBaseMetalLast = kBaseNiobium;

/// True for the metals 1 to 8; false for the dielectric base and for any
/// other number a script or a file may hold.
inline constexpr bool isBaseMetal(int base) { return base >= kBaseGold && base <= kBaseMetalLast; }

/// Index n + ik (k >= 0 absorbs) of `metal` (1 to 8) at `lambda` nm,
/// interpolated linearly between the 5 nm rows of its table and held at the
/// table's ends outside 380 to 780 nm. Any other `metal` reads the nearest
/// metal's table rather than memory past it: callers check with isBaseMetal.
std::complex<double> metalIndex(int metal, double lambda);

/// The same at the table's own row `row` (0 for 380 nm, 80 for 780 nm),
/// held at the table's ends beyond them.
std::complex<double> metalIndexAtRow(int metal, int row);

}  // namespace nacrelle
