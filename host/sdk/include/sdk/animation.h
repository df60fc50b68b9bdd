// Stand-in helpers around host time and animate mode.
#pragma once

#include "maxapi.h"

namespace standin {

/// The time of the start of `frame` at the current frame rate.
inline TimeValue FrameToTime(int frame) { return frame * GetTicksPerFrame(); }
/// The frame that contains time `t` at the current frame rate (rounds down).
inline int TimeToFrame(TimeValue t) {
    const int ticks = GetTicksPerFrame();
    return t >= 0 ? t / ticks : -((-(t + 1)) / ticks) - 1;
}

/// Turns animate mode on for the lifetime of the scope and restores the
/// previous mode afterwards.
class AnimateScope {
public:
    AnimateScope() : wasOn_(Animating()) { AnimateOn(); }
    ~AnimateScope() {
        if (!wasOn_) AnimateOff();
    }
    AnimateScope(const AnimateScope&) = delete;
    AnimateScope& operator=(const AnimateScope&) = delete;

private:
    BOOL wasOn_;
};

}  // namespace standin
