// A document's undo history, bounded in steps and in bytes.
//
// A step is kept as the bytes by which the scene before it differs from the
// scene after it (a typed value changes a few bytes of a scene of megabytes),
// never more than the whole scene. So only the newest scene is held whole;
// undoing applies the steps' differences one after another from it. When a
// bound is passed, the oldest steps go first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace nacrelle::tools {

/// What turns one scene's bytes into another's: the runs that differ.
class SceneDifference {
public:
    /// The difference that makes `to` out of `from`.
    static SceneDifference between(const std::vector<std::uint8_t>& from,
                                   const std::vector<std::uint8_t>& to);
    /// `from`, as given to between(), made into `to`.
    std::vector<std::uint8_t> applyTo(const std::vector<std::uint8_t>& from) const;
    /// Memory it holds.
    std::size_t bytes() const;

private:
    struct Run {
        std::size_t at = 0;       ///< where it starts in both scenes
        std::size_t replaced = 0; ///< bytes of `from` it replaces
        std::vector<std::uint8_t> with;
    };
    std::vector<Run> runs_;
    std::size_t size_ = 0;  ///< of `to`
};

/// A scene as the history gives it back: its bytes and what the caller
/// noted of it (its version, which root is the map edited).
struct HistoryState {
    std::vector<std::uint8_t> scene;
    std::uint64_t version = 0;
    std::size_t mapRoot = 0;
};

struct HistoryLimits {
    std::size_t steps = 500;
    std::size_t bytes = std::size_t{64} << 20;  ///< of the steps' differences
};

class UndoHistory {
public:
    explicit UndoHistory(HistoryLimits limits = {});

    /// A state no step leads back to: everything is forgotten.
    void clear();
    /// A new step from `before` to `after` (the scene's bytes now); the
    /// steps that could be redone are dropped. The scene may change after
    /// `after` without a step (the further moves of one drag): the next
    /// step, undo or redo takes the scene as it is then.
    void record(const HistoryState& before, std::vector<std::uint8_t> after);
    /// The scene before the newest step, which becomes a step to redo back
    /// to `now`; nullopt when there is nothing to undo.
    std::optional<HistoryState> undo(const HistoryState& now);
    /// The scene after the next step to redo; nullopt when there is none.
    std::optional<HistoryState> redo(const HistoryState& now);

    std::size_t undoSteps() const { return undo_.size(); }
    std::size_t redoSteps() const { return redo_.size(); }
    /// Memory the steps hold, the newest scene included.
    std::size_t bytes() const;

private:
    struct Step {
        SceneDifference back;  ///< from the newer scene to this step's
        std::uint64_t version = 0;
        std::size_t mapRoot = 0;
    };
    /// Moves the newest step of `from` to `to`: the scene it leads to, from
    /// the newest scene `now`.
    std::optional<HistoryState> step(std::vector<Step>& from, std::vector<Step>& to,
                                     const HistoryState& now);
    void keepWithinLimits();
    void rebase(std::vector<Step>& list, const std::vector<std::uint8_t>& scene);

    HistoryLimits limits_;
    std::vector<Step> undo_;  ///< oldest first
    std::vector<Step> redo_;  ///< farthest first
    /// The scene the newest undo step and the next redo step start from.
    std::vector<std::uint8_t> newest_;
    std::size_t stepBytes_ = 0;
};

}  // namespace nacrelle::tools
