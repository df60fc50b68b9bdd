// The render-thread mark and the record of violations of the evaluation rule.
#include "sdk/render_evaluation.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace standin {
namespace {

thread_local int evaluationDepth = 0;

// A few distinct texts at most: one per block parameter that a map reads.
constexpr std::size_t kMaxViolations = 256;

// Never destroyed: a render thread of a module still loaded at exit may
// report after the host's statics are gone.
struct Record {
    std::mutex mutex;
    std::vector<std::string> violations;
};

Record& record() {
    static Record* instance = new Record;
    return *instance;
}

}  // namespace

RenderEvaluationScope::RenderEvaluationScope() { ++evaluationDepth; }

RenderEvaluationScope::~RenderEvaluationScope() { --evaluationDepth; }

bool InRenderEvaluation() { return evaluationDepth > 0; }

void ReportEvaluationViolation(const std::string& what) {
    Record& r = record();
    const std::lock_guard<std::mutex> lock(r.mutex);
    if (std::find(r.violations.begin(), r.violations.end(), what) != r.violations.end()) return;
    if (r.violations.size() == kMaxViolations) return;
    r.violations.push_back(what);
    std::fprintf(stderr, "host: evaluation rule broken: %s\n", what.c_str());
}

std::vector<std::string> EvaluationViolations() {
    Record& r = record();
    const std::lock_guard<std::mutex> lock(r.mutex);
    return r.violations;
}

void ClearEvaluationViolations() {
    Record& r = record();
    const std::lock_guard<std::mutex> lock(r.mutex);
    r.violations.clear();
}

}  // namespace standin
