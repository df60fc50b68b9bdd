// A closed span of host time. FOREVER spans all times, NEVER is empty.
#pragma once

#include <cstdint>

#include "maxheap.h"
#include "maxtypes.h"

class Interval : public MaxHeapOperators {
public:
    /// Builds [start, end]; the ends are swapped when end < start.
    Interval(TimeValue start, TimeValue end) {
        if (end < start) {
            start_ = end;
            end_ = start;
        } else {
            start_ = start;
            end_ = end;
        }
    }
    /// An empty interval (equal to NEVER).
    Interval() : start_(TIME_NegInfinity), end_(TIME_NegInfinity) {}

    TimeValue Start() const { return start_; }
    TimeValue End() const { return end_; }
    /// end - start + 1 in 32-bit arithmetic, as the host computes it: the
    /// count of ticks for an ordinary interval, 1 for NEVER, and 0 for
    /// FOREVER, whose 2^32 ticks wrap around.
    int Duration() const {
        return static_cast<int>(static_cast<std::uint32_t>(end_) -
                                static_cast<std::uint32_t>(start_) + 1u);
    }

    /// Stores the ends as given, without reordering them.
    void Set(TimeValue start, TimeValue end) {
        start_ = start;
        end_ = end;
    }
    void SetStart(TimeValue start) { start_ = start; }
    void SetEnd(TimeValue end) { end_ = end; }
    void SetEmpty() { start_ = end_ = TIME_NegInfinity; }
    void SetInfinite() {
        start_ = TIME_NegInfinity;
        end_ = TIME_PosInfinity;
    }
    void SetInstant(TimeValue t) { start_ = end_ = t; }

    /// Non-zero when this is the empty interval.
    int Empty() const { return start_ == TIME_NegInfinity && end_ == TIME_NegInfinity; }
    /// True when this spans all times.
    bool IsInfinite() const {
        return start_ == TIME_NegInfinity && end_ == TIME_PosInfinity;
    }
    /// Non-zero when start <= t <= end; the empty interval contains nothing, so
    /// TIME_NegInfinity itself is never contained.
    int InInterval(TimeValue t) const {
        return t != TIME_NegInfinity && start_ <= t && t <= end_;
    }
    /// Non-zero when `other` is non-empty and lies wholly inside this interval.
    int InInterval(const Interval& other) const {
        return !other.Empty() && InInterval(other.start_) && InInterval(other.end_);
    }

    /// Intersection: the larger start and the smaller end; empty when they cross.
    Interval operator&(const Interval& other) const {
        Interval result;
        result.start_ = start_ > other.start_ ? start_ : other.start_;
        result.end_ = end_ < other.end_ ? end_ : other.end_;
        if (result.end_ < result.start_) {
            result.start_ = result.end_ = TIME_NegInfinity;
        }
        return result;
    }
    Interval& operator&=(const Interval& other) { return *this = *this & other; }

    bool operator==(const Interval& other) const {
        return start_ == other.start_ && end_ == other.end_;
    }
    bool operator!=(const Interval& other) const { return !(*this == other); }

private:
    TimeValue start_;
    TimeValue end_;
};

#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
#define NEVER Interval(TIME_NegInfinity, TIME_NegInfinity)
