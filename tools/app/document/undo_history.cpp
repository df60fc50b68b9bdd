#include "app/document/undo_history.h"

#include <algorithm>

namespace nacrelle::tools {

namespace {

// Differing bytes closer than this make one run: a run costs more to keep
// than a few equal bytes.
constexpr std::size_t kJoinGap = 32;
// What a step costs beyond its bytes.
constexpr std::size_t kStepOverhead = 64;

}  // namespace

SceneDifference SceneDifference::between(const std::vector<std::uint8_t>& from,
                                         const std::vector<std::uint8_t>& to) {
    SceneDifference difference;
    difference.size_ = to.size();
    // What both share at the start and at the end stays; the middle differs.
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(from.size(), to.size());
    while (prefix < shorter && from[prefix] == to[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           from[from.size() - 1 - suffix] == to[to.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::size_t fromEnd = from.size() - suffix;
    const std::size_t toEnd = to.size() - suffix;
    if (from.size() != to.size()) {
        if (prefix < fromEnd || prefix < toEnd) {
            difference.runs_.push_back(
                {prefix, fromEnd - prefix, {to.begin() + prefix, to.begin() + toEnd}});
        }
        return difference;
    }
    // Same length: only the runs that differ (values edited in place).
    std::size_t at = prefix;
    while (at < toEnd) {
        if (from[at] == to[at]) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        std::size_t same = 0;
        for (std::size_t i = end; i < toEnd && same <= kJoinGap; ++i) {
            if (from[i] == to[i]) {
                ++same;
            } else {
                same = 0;
                end = i + 1;
            }
        }
        difference.runs_.push_back({at, end - at, {to.begin() + at, to.begin() + end}});
        at = end;
    }
    return difference;
}

std::vector<std::uint8_t> SceneDifference::applyTo(const std::vector<std::uint8_t>& from) const {
    std::vector<std::uint8_t> to;
    to.reserve(size_);
    // Given any other scene than its own, it still reads nothing outside it.
    std::size_t read = 0;
    for (const Run& run : runs_) {
        const std::size_t at = std::clamp(run.at, read, from.size());
        to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(read),
                  from.begin() + static_cast<std::ptrdiff_t>(at));
        to.insert(to.end(), run.with.begin(), run.with.end());
        read = std::min(from.size(), at + run.replaced);
    }
    to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(read), from.end());
    return to;
}

std::size_t SceneDifference::bytes() const {
    std::size_t total = sizeof *this;
    for (const Run& run : runs_) total += sizeof run + run.with.size();
    return total;
}

UndoHistory::UndoHistory(HistoryLimits limits) : limits_(limits) {}

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    newest_.clear();
    newest_.shrink_to_fit();
    stepBytes_ = 0;
}

void UndoHistory::record(const HistoryState& before, std::vector<std::uint8_t> after) {
    for (const Step& dropped : redo_) stepBytes_ -= dropped.back.bytes() + kStepOverhead;
    redo_.clear();
    rebase(undo_, before.scene);
    Step step{SceneDifference::between(after, before.scene), before.version, before.mapRoot};
    stepBytes_ += step.back.bytes() + kStepOverhead;
    undo_.push_back(std::move(step));
    newest_ = std::move(after);
    keepWithinLimits();
}

std::optional<HistoryState> UndoHistory::step(std::vector<Step>& from, std::vector<Step>& to,
                                              const HistoryState& now) {
    if (from.empty()) return std::nullopt;
    Step taken = std::move(from.back());
    from.pop_back();
    stepBytes_ -= taken.back.bytes() + kStepOverhead;
    rebase(to, now.scene);
    HistoryState reached{taken.back.applyTo(newest_), taken.version, taken.mapRoot};
    // The way back goes to the scene as it is now, whatever changed it
    // outside the history.
    Step back{SceneDifference::between(reached.scene, now.scene), now.version, now.mapRoot};
    stepBytes_ += back.back.bytes() + kStepOverhead;
    to.push_back(std::move(back));
    newest_ = reached.scene;
    keepWithinLimits();
    return reached;
}

std::optional<HistoryState> UndoHistory::undo(const HistoryState& now) {
    return step(undo_, redo_, now);
}

std::optional<HistoryState> UndoHistory::redo(const HistoryState& now) {
    return step(redo_, undo_, now);
}

std::size_t UndoHistory::bytes() const { return stepBytes_ + newest_.capacity(); }

void UndoHistory::keepWithinLimits() {
    // The oldest undo steps go first, then the farthest redo steps; the
    // newest step stays, however large.
    while (undo_.size() + redo_.size() > limits_.steps || stepBytes_ > limits_.bytes) {
        std::vector<Step>* list = undo_.size() > 1                          ? &undo_
                                  : undo_.size() + redo_.size() > 1 ? &redo_
                                                                    : nullptr;
        if (list == nullptr) break;
        stepBytes_ -= list->front().back.bytes() + kStepOverhead;
        list->erase(list->begin());
    }
}

void UndoHistory::rebase(std::vector<Step>& list, const std::vector<std::uint8_t>& scene) {
    // The newest step of `list` starts from newest_; when the scene was
    // changed outside the history meanwhile, it starts from `scene` now.
    if (list.empty() || scene == newest_) return;
    Step& top = list.back();
    const std::vector<std::uint8_t> target = top.back.applyTo(newest_);
    stepBytes_ -= top.back.bytes();
    top.back = SceneDifference::between(scene, target);
    stepBytes_ += top.back.bytes();
}

}  // namespace nacrelle::tools
