// Which repetition of the film's colour sequence a thickness gives: its
// fringe order. The order counts whole waves of the model's green
// wavelength (510 nm) in the optical path difference between the rays
// reflected at the film's two faces, 2 n_film d cos(theta_film): order 1
// for a difference below one wave, order k for (k - 1) to k waves. Every
// colour of the sequence comes back about once a wave, so the first order
// holds the first colours of a thickening film, the second the next, and so
// on; at an angle the path shortens and a thickness falls to a lower order.
#pragma once

namespace nacrelle::tools {

/// The wavelength (nm) whose waves count the order: the model's green.
double fringeWavelength();

/// The optical path difference in nm of a film `thickness` nm thick of
/// index `nFilm`, seen at `angleDegrees` from the normal in a medium of
/// index `nMedium`. Beyond the film's critical angle no wave runs through
/// the film, and the difference is 0.
double opticalPathDifference(double thickness, double angleDegrees, double nMedium,
                             double nFilm);

/// The fringe order of an optical path difference: 1 + floor(path / 510).
int fringeOrderOfPath(double opticalPath);

/// The thickness (nm) at which `order` begins at `angleDegrees`: where
/// `order` - 1 whole waves fit the optical path. Infinite beyond the film's
/// critical angle, for orders above 1.
double orderStartThickness(int order, double angleDegrees, double nMedium, double nFilm);

}  // namespace nacrelle::tools
