#include "app/render/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "common/errors.h"

namespace nacrelle::tools {

int defaultThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

void forEachRow(int rows, int threads, const std::function<void(int)>& renderRow,
                const std::function<void(int)>& rowsDone) {
    if (threads <= 0) threads = defaultThreadCount();
    threads = std::max(1, std::min(threads, rows));

    std::atomic<int> nextRow{0};
    std::atomic<int> finished{0};
    // The thread that finishes the last row wakes the progress reporter, so
    // that a short render does not wait out the reporter's interval.
    std::mutex allDoneMutex;
    std::condition_variable allDone;
    auto worker = [&] {
        for (int y = nextRow++; y < rows; y = nextRow++) {
            renderRow(y);
            if (++finished == rows) {
                const std::lock_guard<std::mutex> lock(allDoneMutex);
                allDone.notify_all();
            }
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads - 1));
    for (int i = 1; i < threads; ++i) pool.emplace_back(worker);

    if (rowsDone) {
        // The calling thread reports progress while the pool works, and then
        // takes rows itself once the pool has them all in hand.
        std::thread reporter([&] {
            std::unique_lock<std::mutex> lock(allDoneMutex);
            while (finished.load() < rows) {
                rowsDone(finished.load());
                allDone.wait_for(lock, std::chrono::milliseconds(100),
                                 [&] { return finished.load() >= rows; });
            }
        });
        worker();
        reporter.join();
        for (std::thread& t : pool) t.join();
        rowsDone(rows);
    } else {
        worker();
        for (std::thread& t : pool) t.join();
    }
}

void checkThreadCount(int threads) {
    if (threads < 0 || threads > kMaxRenderThreads) {
        throw BadValue("--threads " + std::to_string(threads) +
                       " must lie between 0 (one per core) and " +
                       std::to_string(kMaxRenderThreads));
    }
}

}  // namespace nacrelle::tools
