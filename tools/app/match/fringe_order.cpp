#include "app/match/fringe_order.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/thin_film.h"

namespace nacrelle::tools {
namespace {

/// cos(theta_film) by Snell's law; 0 at and beyond the critical angle.
double filmCosine(double angleDegrees, double nMedium, double nFilm) {
    const double sine = nMedium / nFilm * std::sin(angleDegrees * std::numbers::pi / 180.0);
    return std::sqrt(std::max(0.0, 1.0 - sine * sine));
}

}  // namespace

double fringeWavelength() { return static_cast<double>(kWavelengthGreen); }

double opticalPathDifference(double thickness, double angleDegrees, double nMedium,
                             double nFilm) {
    return 2.0 * nFilm * thickness * filmCosine(angleDegrees, nMedium, nFilm);
}

int fringeOrderOfPath(double opticalPath) {
    return 1 + static_cast<int>(std::floor(opticalPath / fringeWavelength()));
}

double orderStartThickness(int order, double angleDegrees, double nMedium, double nFilm) {
    const double waves = static_cast<double>(order - 1) * fringeWavelength();
    const double perNanometre = 2.0 * nFilm * filmCosine(angleDegrees, nMedium, nFilm);
    if (waves == 0.0) return 0.0;
    if (perNanometre == 0.0) return std::numeric_limits<double>::infinity();
    return waves / perNanometre;
}

}  // namespace nacrelle::tools
