// Host-wide animation settings: frame rate and the animate switch.
#include "maxapi.h"

// Host-wide settings of the user-interface thread, like the real host's.
namespace {
int ticksPerFrame = 160;
bool animateOn = false;
int animateSuspensions = 0;
}  // namespace

int GetFrameRate() { return TIME_TICKSPERSEC / ticksPerFrame; }

void SetFrameRate(int rate) {
    if (rate <= 0 || TIME_TICKSPERSEC % rate != 0) return;
    ticksPerFrame = TIME_TICKSPERSEC / rate;
}

int GetTicksPerFrame() { return ticksPerFrame; }

void SetTicksPerFrame(int ticks) {
    if (ticks <= 0 || TIME_TICKSPERSEC % ticks != 0) return;
    ticksPerFrame = ticks;
}

void AnimateOn() { animateOn = true; }
void AnimateOff() { animateOn = false; }
BOOL Animating() { return animateOn && animateSuspensions == 0; }
void SuspendAnimate() { ++animateSuspensions; }
void ResumeAnimate() {
    if (animateSuspensions > 0) --animateSuspensions;
}
