// The studio's undo history: differences that make the scenes back exactly,
// and bounds in steps and bytes that drop the oldest steps first.
#include "app/document/undo_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace nacrelle::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes scene(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return bytes;
}

Bytes edited(Bytes bytes, std::size_t at, std::size_t count, std::uint8_t value) {
    for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) bytes[i] = value;
    return bytes;
}

TEST(SceneDifference, MakesTheOtherSceneExactlyAndHoldsOnlyWhatDiffers) {
    const Bytes base = scene(100000, 7);
    Bytes inserted = base;
    inserted.insert(inserted.begin() + 500, 40, 0xAB);
    Bytes removed = base;
    removed.erase(removed.begin() + 99000, removed.end());
    struct Case {
        const char* what;
        Bytes to;
        std::size_t mostBytes;
    } cases[] = {
        {"the same", base, 200},
        {"one value", edited(base, 4000, 4, 0), 300},
        {"two values far apart", edited(edited(base, 10, 4, 0), 90000, 4, 0), 400},
        {"bytes inserted", inserted, 400},
        {"the end cut off", removed, 300},
        {"everything", scene(100000, 8), 100300},
        {"nothing at all", Bytes{}, 200},
    };
    for (const Case& c : cases) {
        const SceneDifference there = SceneDifference::between(base, c.to);
        EXPECT_EQ(there.applyTo(base), c.to) << c.what;
        EXPECT_LE(there.bytes(), c.mostBytes) << c.what;
        EXPECT_EQ(SceneDifference::between(c.to, base).applyTo(c.to), base) << c.what;
    }
}

TEST(UndoHistory, UndoesAndRedoesEveryStepExactly) {
    UndoHistory history;
    std::vector<Bytes> scenes{scene(5000, 1)};
    for (std::uint8_t i = 1; i <= 6; ++i) {
        // Values edited, and now and then the scene growing or shrinking.
        Bytes next = edited(scenes.back(), i * 300u, 8, i);
        if (i % 3 == 0) next.resize(next.size() + 100u * i, i);
        if (i == 5) next.resize(3000);
        history.record({scenes.back(), i, 0}, next);
        scenes.push_back(next);
    }
    for (std::size_t i = scenes.size() - 1; i > 0; --i) {
        const auto back = history.undo({scenes[i], i + 100, 0});
        ASSERT_TRUE(back) << i;
        EXPECT_EQ(back->scene, scenes[i - 1]) << i;
        EXPECT_EQ(back->version, i) << i;
    }
    EXPECT_FALSE(history.undo({scenes[0], 0, 0}));
    for (std::size_t i = 1; i < scenes.size(); ++i) {
        const auto forward = history.redo({scenes[i - 1], i, 0});
        ASSERT_TRUE(forward) << i;
        EXPECT_EQ(forward->scene, scenes[i]) << i;
        EXPECT_EQ(forward->version, i + 100) << i;
    }
    EXPECT_FALSE(history.redo({scenes.back(), 0, 0}));
}

TEST(UndoHistory, TakesTheSceneAsItIsWhenItChangedWithoutAStep) {
    // A drag records its first move; its later moves change the scene
    // without a step of their own.
    UndoHistory history;
    const Bytes start = scene(2000, 3);
    const Bytes firstMove = edited(start, 100, 4, 1);
    const Bytes lastMove = edited(start, 100, 4, 9);
    const Bytes typed = edited(lastMove, 1500, 4, 5);
    history.record({start, 1, 0}, firstMove);
    history.record({lastMove, 2, 0}, typed);
    EXPECT_EQ(history.undo({typed, 3, 0})->scene, lastMove);
    EXPECT_EQ(history.undo({lastMove, 2, 0})->scene, start);
    EXPECT_EQ(history.redo({start, 1, 0})->scene, lastMove);
    EXPECT_EQ(history.redo({lastMove, 2, 0})->scene, typed);
}

TEST(UndoHistory, IsBoundedInStepsAndBytesDroppingTheOldestFirst) {
    struct Case {
        const char* what;
        HistoryLimits limits;
        std::size_t edits;
        std::size_t editBytes;
        std::size_t keptSteps;
    } cases[] = {
        {"steps", {10, std::size_t{1} << 30}, 25, 4, 10},
        // Each step holds a whole 10,000-byte scene: 5 fit in 52,000 bytes.
        {"bytes", {500, 52000}, 25, 10000, 5},
        // A step larger than the bound stays: the newest can always be undone.
        {"one large step", {500, 1000}, 3, 10000, 1},
    };
    for (const Case& c : cases) {
        UndoHistory history(c.limits);
        std::vector<Bytes> scenes{scene(10000, 0)};
        for (std::size_t i = 1; i <= c.edits; ++i) {
            const Bytes next = edited(scenes.back(), 0, c.editBytes, static_cast<std::uint8_t>(i));
            history.record({scenes.back(), i, 0}, next);
            scenes.push_back(next);
        }
        EXPECT_EQ(history.undoSteps(), c.keptSteps) << c.what;
        // The differences kept, and the newest scene whole.
        EXPECT_LE(history.bytes(), std::max(c.limits.bytes, std::size_t{11000}) + 10000) << c.what;
        // The newest steps are those kept.
        for (std::size_t i = 0; i < c.keptSteps; ++i) {
            const std::size_t at = scenes.size() - 1 - i;
            EXPECT_EQ(history.undo({scenes[at], 0, 0})->scene, scenes[at - 1]) << c.what << i;
        }
        EXPECT_FALSE(history.undo({scenes[scenes.size() - 1 - c.keptSteps], 0, 0})) << c.what;
    }
}

}  // namespace
}  // namespace nacrelle::tools
