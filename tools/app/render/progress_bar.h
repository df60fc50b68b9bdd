// A progress bar on standard error, shown only when standard error is a
// terminal and the work has taken long enough to be worth watching.
#pragma once

#include <chrono>
#include <string>

namespace nacrelle::tools {

class ProgressBar {
public:
    ProgressBar(std::string label, int total);
    ~ProgressBar();

    /// Reports that `done` of the total units are finished.
    void update(int done);

private:
    std::string label_;
    int total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace nacrelle::tools
