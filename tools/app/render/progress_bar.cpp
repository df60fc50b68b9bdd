#include "app/render/progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace nacrelle::tools {

namespace {

// Renders that finish sooner than this never show a bar.
constexpr auto kShowAfter = std::chrono::milliseconds(500);
constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar(std::string label, int total)
    : label_(std::move(label)), total_(total > 0 ? total : 1),
      enabled_(isatty(STDERR_FILENO) != 0), start_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    if (shown_) std::fputs("\n", stderr);
}

void ProgressBar::update(int done) {
    if (!enabled_) return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < kShowAfter) return;
    shown_ = true;
    const int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / total_);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar,
                 static_cast<int>(static_cast<long long>(done) * 100 / total_));
    std::fflush(stderr);
}

}  // namespace nacrelle::tools
