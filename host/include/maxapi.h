// Host-wide time settings and the animate mode.
#pragma once

#include "maxtypes.h"
#include "win_shim.h"

/// Frames a second (30 unless changed).
int GetFrameRate();
/// Sets frames a second. A rate that does not divide TIME_TICKSPERSEC into a
/// whole number of ticks (or is not positive) is refused and changes nothing.
void SetFrameRate(int rate);
/// Ticks a frame at the current frame rate (160 at 30 frames a second).
int GetTicksPerFrame();
/// Sets ticks a frame; a value that is not a positive divisor of
/// TIME_TICKSPERSEC is refused and changes nothing.
void SetTicksPerFrame(int ticks);

inline TimeValue SecToTicks(double seconds) {
    return static_cast<TimeValue>(seconds * TIME_TICKSPERSEC);
}
inline double TicksToSec(TimeValue ticks) { return static_cast<double>(ticks) / TIME_TICKSPERSEC; }

/// Animate mode: while on, setting an animatable parameter sets a key.
void AnimateOn();
void AnimateOff();
BOOL Animating();
/// Turns animate mode off until the matching ResumeAnimate (calls nest).
void SuspendAnimate();
void ResumeAnimate();
