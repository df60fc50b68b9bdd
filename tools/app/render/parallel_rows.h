// Runs a row function over all rows of an image on several threads. Rows are
// handed out one at a time from a shared counter, so uneven rows (the sphere
// against the background) balance themselves.
#pragma once

#include <functional>

namespace nacrelle::tools {

/// Calls `renderRow(y)` once for every y in [0, rows), on `threads` threads
/// (0 means one per core). `rowsDone(done)`, when given, is called from one
/// thread at a time about ten times a second and once at the end, for
/// progress. Returns when every row is done.
void forEachRow(int rows, int threads, const std::function<void(int)>& renderRow,
                const std::function<void(int done)>& rowsDone = {});

/// The number of threads that `threads` = 0 stands for.
int defaultThreadCount();

/// The most render threads a command takes: far beyond any machine's cores.
/// More only cost memory, and a thread that fails to start ends the program.
inline constexpr int kMaxRenderThreads = 256;

/// Refuses a --threads value outside 0 (one per core) to kMaxRenderThreads.
void checkThreadCount(int threads);

}  // namespace nacrelle::tools
