// Splitting a loop over independent items between the processor's cores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace rolvet {

// Calls work(begin, end) on contiguous parts of 0 .. count − 1, on up to as many threads as the
// processor has cores, each part at least `grain` items (smaller loops stay on this thread,
// where starting a thread would cost more than it saves). work must not throw, and parts must not
// write to the same memory. Returns when every part is done.
template <typename Work> void ParallelFor(std::size_t count, std::size_t grain, Work&& work) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t parts = std::clamp<std::size_t>(count / std::max<std::size_t>(grain, 1), 1,
                                                      std::min<std::size_t>(cores, 16));
    if (parts == 1) {
        work(std::size_t{0}, count);
        return;
    }
    auto part = [&work, parts, count](std::size_t p) {
        work(count * p / parts, count * (p + 1) / parts);
    };
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    std::size_t p = 1;
    try {
        for (; p < parts; ++p) {
            threads.emplace_back(part, p);
        }
    } catch (...) {
        // No thread to be had: the parts left run here.
        for (; p < parts; ++p) {
            part(p);
        }
    }
    part(0);
    for (std::thread& thread : threads) {
        thread.join();
    }
}

} // namespace rolvet
