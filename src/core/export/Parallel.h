// Splitting a loop over independent items between the processor's cores.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <span>
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

// How many background threads PipelinePieces uses at most: one per core.
inline std::size_t PipelineWorkers() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 16);
}

// Makes pieces 0 .. count − 1 on up to PipelineWorkers() background threads and hands them, in
// order, to use(i, slot) on the calling thread, which meanwhile may write out what is made:
// make(i, slot, worker) fills the slot slots[i % slots.size()] for piece i, worker (below
// PipelineWorkers()) naming the thread, for scratch memory of its own. At most slots.size()
// pieces are made or waiting at a time, so memory stays bounded; with two slots a thread, a
// thread that has to wait for a core does not hold up the others. use returns false to stop:
// no further piece is used, and the result is false. Without threads (one core, or none to be
// had) everything runs on the calling thread. make and use must not throw; make must touch
// only its slot, its scratch and data that nothing changes meanwhile.
template <typename Slot, typename Make, typename Use>
bool PipelinePieces(std::size_t count, std::span<Slot> slots, Make&& make, Use&& use) {
    const std::size_t workers =
        std::min({PipelineWorkers(), slots.size() / 2, count > 1 ? count : std::size_t{0}});
    if (workers < 2 || slots.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            make(i, slots[0], std::size_t{0});
            if (!use(i, slots[0])) {
                return false;
            }
        }
        return true;
    }
    std::mutex mutex;
    std::condition_variable madeOne, usedOne;
    std::vector<std::size_t> made(slots.size(), 0); // per slot: 1 + the piece it holds, or 0
    std::size_t next = 0;                           // the next piece to be claimed by a thread
    std::size_t used = 0;                           // pieces used so far
    bool stop = false;
    auto work = [&](std::size_t worker) {
        std::unique_lock lock(mutex);
        while (!stop && next < count) {
            const std::size_t i = next++;
            usedOne.wait(lock, [&] { return stop || used + slots.size() > i; });
            if (stop) {
                break;
            }
            lock.unlock();
            make(i, slots[i % slots.size()], worker);
            lock.lock();
            made[i % slots.size()] = i + 1;
            madeOne.notify_one();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(workers);
    try {
        for (std::size_t w = 0; w < workers; ++w) {
            threads.emplace_back(work, w);
        }
    } catch (...) {
        // Fewer threads than asked: the ones started do all the pieces.
    }
    bool ok = true;
    if (threads.empty()) {
        for (std::size_t i = 0; i < count && ok; ++i) {
            make(i, slots[0], std::size_t{0});
            ok = use(i, slots[0]);
        }
        return ok;
    }
    for (std::size_t i = 0; i < count && ok; ++i) {
        Slot& slot = slots[i % slots.size()];
        {
            std::unique_lock lock(mutex);
            madeOne.wait(lock, [&] { return made[i % slots.size()] == i + 1; });
        }
        ok = use(i, slot);
        std::lock_guard lock(mutex);
        made[i % slots.size()] = 0;
        used = i + 1;
        stop = !ok;
        usedOne.notify_all();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return ok;
}

} // namespace rolvet
