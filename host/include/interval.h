// A closed span of host time. FOREVER spans all times, NEVER is empty.
#pragma once

#include "maxheap.h"
#include "maxtypes.h"

class Interval : public MaxHeapOperators {
public:
    /// Builds [start, end]; the ends are swapped when end < start.
    constexpr Interval(TimeValue start, TimeValue end)
        : start_(end < start ? end : start), end_(end < start ? start : end) {}
    /// An empty interval (equal to NEVER).
    constexpr Interval() : start_(TIME_NegInfinity), end_(TIME_NegInfinity) {}

    constexpr TimeValue Start() const { return start_; }
    constexpr TimeValue End() const { return end_; }
    /// Number of ticks covered (end - start + 1); 0 for an empty interval and
    /// TIME_PosInfinity when the true count does not fit an int (FOREVER).
    constexpr int Duration() const {
        if (Empty()) return 0;
        const long long ticks = static_cast<long long>(end_) - start_ + 1;
        return ticks > TIME_PosInfinity ? TIME_PosInfinity : static_cast<int>(ticks);
    }

    void Set(TimeValue start, TimeValue end) { *this = Interval(start, end); }
    void SetStart(TimeValue start) { start_ = start; }
    void SetEnd(TimeValue end) { end_ = end; }
    void SetEmpty() { start_ = end_ = TIME_NegInfinity; }
    void SetInfinite() {
        start_ = TIME_NegInfinity;
        end_ = TIME_PosInfinity;
    }
    void SetInstant(TimeValue t) { start_ = end_ = t; }

    /// Non-zero when this is the empty interval.
    constexpr int Empty() const { return start_ == TIME_NegInfinity && end_ == TIME_NegInfinity; }
    /// Non-zero when this spans all times.
    constexpr int IsInfinite() const {
        return start_ == TIME_NegInfinity && end_ == TIME_PosInfinity;
    }
    /// Non-zero when start <= t <= end; the empty interval contains nothing, so
    /// TIME_NegInfinity itself is never contained.
    constexpr int InInterval(TimeValue t) const {
        return t != TIME_NegInfinity && start_ <= t && t <= end_;
    }
    /// Non-zero when `other` is non-empty and lies wholly inside this interval.
    constexpr int InInterval(const Interval& other) const {
        return !other.Empty() && InInterval(other.start_) && InInterval(other.end_);
    }

    /// Intersection: the larger start and the smaller end; empty when they cross.
    constexpr Interval operator&(const Interval& other) const {
        Interval result;
        result.start_ = start_ > other.start_ ? start_ : other.start_;
        result.end_ = end_ < other.end_ ? end_ : other.end_;
        if (result.end_ < result.start_) {
            result.start_ = result.end_ = TIME_NegInfinity;
        }
        return result;
    }
    Interval& operator&=(const Interval& other) { return *this = *this & other; }

    constexpr bool operator==(const Interval& other) const {
        return start_ == other.start_ && end_ == other.end_;
    }
    constexpr bool operator!=(const Interval& other) const { return !(*this == other); }

private:
    TimeValue start_;
    TimeValue end_;
};

#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
#define NEVER Interval(TIME_NegInfinity, TIME_NegInfinity)
