// The host's threading rule for maps, held: while a render evaluates maps,
// a map may read only its own fields and its references, never a parameter
// block (on the real host an animated value is a controller, and evaluating
// one from several render threads at once is a data race inside the host).
// The stand-in's renderers mark the threads that evaluate; a block read on
// such a thread is recorded as a violation and named on standard error once.
#pragma once

#include <string>
#include <vector>

namespace standin {

/// Marks the calling thread as evaluating maps for a render while it lives.
/// Scopes nest; each render thread opens its own.
class RenderEvaluationScope {
public:
    RenderEvaluationScope();
    ~RenderEvaluationScope();
    RenderEvaluationScope(const RenderEvaluationScope&) = delete;
    RenderEvaluationScope& operator=(const RenderEvaluationScope&) = delete;
};

/// True while the calling thread is inside a RenderEvaluationScope. Reads a
/// thread-local flag: it allocates and locks nothing.
bool InRenderEvaluation();

/// Records a breach of the rule, `what` naming what was read; the first
/// report of each distinct text is also written to standard error.
void ReportEvaluationViolation(const std::string& what);

/// The violations recorded since the last clear (each distinct text once,
/// oldest first).
std::vector<std::string> EvaluationViolations();
void ClearEvaluationViolations();

}  // namespace standin
