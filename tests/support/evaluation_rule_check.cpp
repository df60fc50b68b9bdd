// Linked into the suites that evaluate maps: a read of a parameter block
// while a render evaluates (which the host names on standard error as it
// happens) fails the test program. A test that breaks the rule on purpose
// clears the record itself.
#include <gtest/gtest.h>
#include <sdk/render_evaluation.h>

namespace {

class EvaluationRuleCheck : public ::testing::Environment {
public:
    void TearDown() override {
        for (const std::string& violation : standin::EvaluationViolations()) {
            ADD_FAILURE() << "evaluation rule broken: " << violation;
        }
    }
};

[[maybe_unused]] ::testing::Environment* const registered =
    ::testing::AddGlobalTestEnvironment(new EvaluationRuleCheck);

}  // namespace
