// Interval arithmetic and host time.
#include "interval.h"

#include <gtest/gtest.h>

#include "maxapi.h"
#include "sdk/animation.h"

namespace {

constexpr TimeValue NegInf = TIME_NegInfinity;
constexpr TimeValue PosInf = TIME_PosInfinity;

TEST(Interval, ConstantsAndConstruction) {
    EXPECT_EQ(NegInf, static_cast<TimeValue>(0x80000000u));
    EXPECT_EQ(PosInf, 0x7fffffff);
    EXPECT_EQ(FOREVER.Start(), NegInf);
    EXPECT_EQ(FOREVER.End(), PosInf);
    EXPECT_EQ(NEVER.Start(), NegInf);
    EXPECT_EQ(NEVER.End(), NegInf);
    EXPECT_EQ(Interval(), NEVER);
    // Ends given the wrong way round are swapped.
    EXPECT_EQ(Interval(50, 10), Interval(10, 50));
    EXPECT_TRUE(FOREVER.IsInfinite());
    EXPECT_FALSE(FOREVER.Empty());
    EXPECT_TRUE(NEVER.Empty());
    EXPECT_FALSE(NEVER.IsInfinite());
    EXPECT_FALSE(Interval(0, 0).Empty());
}

TEST(Interval, Containment) {
    struct Case {
        Interval interval;
        TimeValue t;
        bool inside;
    };
    const Case cases[] = {
        {Interval(0, 100), 0, true},
        {Interval(0, 100), 100, true},
        {Interval(0, 100), 50, true},
        {Interval(0, 100), -1, false},
        {Interval(0, 100), 101, false},
        {Interval(7, 7), 7, true},
        {Interval(7, 7), 8, false},
        {FOREVER, 0, true},
        {FOREVER, PosInf, true},
        {FOREVER, NegInf + 1, true},
        {FOREVER, NegInf, false},  // the empty interval's start is never contained
        {NEVER, NegInf, false},
        {NEVER, 0, false},
        {Interval(NegInf, 10), NegInf, false},
        {Interval(NegInf, 10), -100000, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.interval.InInterval(c.t) != 0, c.inside)
            << "[" << c.interval.Start() << ", " << c.interval.End() << "] at " << c.t;
    }
    EXPECT_TRUE(Interval(0, 100).InInterval(Interval(10, 20)));
    EXPECT_FALSE(Interval(0, 100).InInterval(Interval(90, 110)));
    EXPECT_FALSE(Interval(0, 100).InInterval(NEVER));
}

TEST(Interval, Intersection) {
    struct Case {
        Interval a, b, expected;
    };
    const Case cases[] = {
        {Interval(0, 100), Interval(50, 150), Interval(50, 100)},
        {Interval(0, 100), Interval(20, 30), Interval(20, 30)},
        {Interval(0, 100), Interval(100, 200), Interval(100, 100)},
        {Interval(0, 100), Interval(101, 200), NEVER},  // disjoint: empty
        {Interval(0, 100), FOREVER, Interval(0, 100)},
        {FOREVER, FOREVER, FOREVER},
        {FOREVER, NEVER, NEVER},
        {Interval(0, 100), NEVER, NEVER},
        {NEVER, Interval(-5, 5), NEVER},
        {Interval(NegInf, 10), Interval(5, PosInf), Interval(5, 10)},
    };
    for (const Case& c : cases) {
        const Interval both = c.a & c.b;
        EXPECT_EQ(both, c.expected)
            << "[" << c.a.Start() << ", " << c.a.End() << "] & [" << c.b.Start() << ", "
            << c.b.End() << "] gave [" << both.Start() << ", " << both.End() << "]";
        EXPECT_EQ(c.b & c.a, c.expected);
        Interval narrowed = c.a;
        narrowed &= c.b;
        EXPECT_EQ(narrowed, c.expected);
    }
}

TEST(Interval, SettersAndDuration) {
    Interval i(10, 20);
    EXPECT_EQ(i.Duration(), 11);
    i.SetInfinite();
    EXPECT_EQ(i, FOREVER);
    EXPECT_EQ(i.Duration(), 0);  // 2^32 ticks wrap around in 32 bits, as on the host
    i.SetEmpty();
    EXPECT_EQ(i, NEVER);
    EXPECT_EQ(i.Duration(), 1);
    // Set stores its ends as given; only the constructor reorders them.
    i.Set(30, -30);
    EXPECT_EQ(i.Start(), 30);
    EXPECT_EQ(i.End(), -30);
    EXPECT_FALSE(i.InInterval(0));
    i.SetInstant(5);
    EXPECT_EQ(i, Interval(5, 5));
    EXPECT_EQ(i.Duration(), 1);
    EXPECT_EQ(Interval(-30, 30).Duration(), 61);
    EXPECT_EQ(Interval(1, PosInf).Duration(), PosInf);
}

TEST(HostTime, TicksAndFrames) {
    EXPECT_EQ(TIME_TICKSPERSEC, 4800);
    EXPECT_EQ(GetFrameRate(), 30);
    EXPECT_EQ(GetTicksPerFrame(), 160);
    EXPECT_EQ(standin::FrameToTime(10), 1600);
    EXPECT_EQ(standin::TimeToFrame(1600), 10);
    EXPECT_EQ(standin::TimeToFrame(1759), 10);
    EXPECT_EQ(standin::TimeToFrame(-1), -1);
    EXPECT_EQ(standin::TimeToFrame(-160), -1);
    EXPECT_EQ(standin::TimeToFrame(-161), -2);
    EXPECT_EQ(SecToTicks(2.0), 9600);
    EXPECT_DOUBLE_EQ(TicksToSec(2400), 0.5);

    SetFrameRate(25);
    EXPECT_EQ(GetTicksPerFrame(), 192);
    EXPECT_EQ(standin::FrameToTime(25), TIME_TICKSPERSEC);
    SetFrameRate(7);  // 4800 / 7 is no whole number of ticks: refused
    EXPECT_EQ(GetFrameRate(), 25);
    SetFrameRate(0);
    EXPECT_EQ(GetFrameRate(), 25);
    SetTicksPerFrame(80);
    EXPECT_EQ(GetFrameRate(), 60);
    SetFrameRate(30);
    EXPECT_EQ(GetTicksPerFrame(), 160);
}

TEST(HostTime, AnimateMode) {
    EXPECT_FALSE(Animating());
    {
        standin::AnimateScope scope;
        EXPECT_TRUE(Animating());
        SuspendAnimate();
        EXPECT_FALSE(Animating());
        ResumeAnimate();
        EXPECT_TRUE(Animating());
    }
    EXPECT_FALSE(Animating());
    AnimateOn();
    EXPECT_TRUE(Animating());
    AnimateOff();
    EXPECT_FALSE(Animating());
}

}  // namespace
