// Gradient (Perlin) noise: smooth, deterministic pseudo-random functions of
// position, the same on every machine and at every optimisation level.
#pragma once

namespace standin {

/// Four-dimensional gradient noise: a quintic-faded blend of pseudo-random
/// gradients at the corners of the unit lattice cell around (x, y, z, w).
/// Zero at every lattice point, continuous with continuous first and second
/// derivatives, and periodic with period 256 along each axis. Scaled so that
/// its extremes come close to -1 and 1, and clamped to [-1, 1]. Non-finite
/// input gives 0.
double GradientNoise4(double x, double y, double z, double w);

/// Fractal sum (fBm) of GradientNoise4 over `levels` octaves: octave i is
/// sampled at frequency 2^i, weighted 2^-i and shifted by a fixed offset so
/// that the octaves' lattices do not line up. A fractional `levels` adds its
/// last octave at the fractional weight, so that the pattern changes smoothly
/// as `levels` animates. Normalised by the total weight: within [-1, 1].
/// `levels` is limited to [1, kMaxNoiseLevels].
double FractalNoise4(double x, double y, double z, double w, double levels);

inline constexpr double kMaxNoiseLevels = 10.0;

}  // namespace standin
