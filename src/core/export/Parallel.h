// Splitting a loop over independent items between the processor's cores.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace rolvet {

// Calls work(begin, end) on contiguous parts of 0 .. count − 1, on up to as many threads as the
// processor has cores, each part at least `grain` items (smaller loops stay on this thread,
// where starting a thread would cost more than it saves). Each thread works through a stretch
// of its own, a few parts long, and then takes the parts nobody has started from the far ends
// of the others' stretches: a thread that another program holds up or that meets slower items
// delays the others little, and threads seldom work side by side on neighbouring memory. work
// must not throw, and parts must not write to the same memory. Returns when every part is done.
template <typename Work> void ParallelFor(std::size_t count, std::size_t grain, Work&& work) {
    constexpr std::size_t kPartsPerThread = 4;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t most = count / std::max<std::size_t>(grain, 1);
    const std::size_t threads = std::clamp<std::size_t>(most, 1, std::min<std::size_t>(cores, 16));
    if (threads == 1) {
        work(std::size_t{0}, count);
        return;
    }
    const std::size_t parts = std::min(most, threads * kPartsPerThread);
    const auto taken = std::make_unique<std::atomic<bool>[]>(parts);
    const auto stretch = [parts, threads](std::size_t t) { return parts * t / threads; };
    auto run = [&](std::size_t own) {
        const auto part = [&](std::size_t p) {
            if (!taken[p].exchange(true)) {
                work(count * p / parts, count * (p + 1) / parts);
            }
        };
        for (std::size_t p = stretch(own); p < stretch(own + 1); ++p) {
            part(p);
        }
        for (std::size_t t = 1; t < threads; ++t) {
            const std::size_t other = (own + t) % threads;
            for (std::size_t p = stretch(other + 1); p-- > stretch(other);) {
                part(p);
            }
        }
    };
    std::vector<std::thread> started;
    try {
        started.reserve(threads - 1);
        while (started.size() < threads - 1) {
            started.emplace_back(run, started.size() + 1);
        }
    } catch (...) {
        // No thread to be had: the parts left run on the threads there are.
    }
    run(0);
    for (std::thread& thread : started) {
        thread.join();
    }
}

// How many background threads PipelinePieces starts at most: one per core besides the calling
// thread's, which makes pieces too whenever it has nothing to write.
inline std::size_t PipelineWorkers() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 17) - 1;
}

// The threads that make pieces in PipelinePieces, the calling thread included: worker numbers
// stay below this.
inline std::size_t PipelineThreads() {
    return PipelineWorkers() + 1;
}

// Makes pieces 0 .. count − 1 on up to PipelineWorkers() background threads and hands them, in
// order, to use(i, slot) on the calling thread, which meanwhile may write out what is made:
// make(i, slot, worker) fills the slot buffers[i % buffers.size()] for piece i, worker (below
// PipelineThreads()) naming the thread, for scratch memory of its own. At most buffers.size()
// pieces are made or waiting at a time, so memory stays bounded. While the piece it needs next
// is still being made elsewhere, the calling thread makes the next piece nobody has taken yet,
// so no core idles while there is work and a background thread still waiting for a core delays
// nothing. use returns false to stop: no further piece is used, and the result is false. With
// fewer than four buffers or two pieces, on one core, or with no threads to be had, everything
// runs on the calling thread. make and use must not throw; make must touch only its slot, its
// scratch and data that nothing changes meanwhile.
template <typename Slot, typename Make, typename Use>
bool PipelinePieces(std::size_t count, std::span<Slot> buffers, Make&& make, Use&& use) {
    const std::size_t own = PipelineThreads() - 1; // the calling thread's worker number
    const std::size_t workers = std::min({PipelineWorkers(), buffers.size() / 2, count / 2});
    if (workers < 1 || buffers.size() < 4 || std::thread::hardware_concurrency() < 2) {
        for (std::size_t i = 0; i < count; ++i) {
            make(i, buffers[0], own);
            if (!use(i, buffers[0])) {
                return false;
            }
        }
        return true;
    }
    // What the threads share. Background threads keep it alive and never wait to be joined: once
    // every piece is claimed they touch nothing of the caller's and end when they next run.
    struct Shared {
        std::mutex mutex;
        std::condition_variable madeOne, usedOne;
        std::vector<std::size_t> made; // per slot: 1 + the piece it holds, or 0
        std::size_t next = 0;          // the next piece to be claimed
        std::size_t used = 0;          // pieces used so far
        std::size_t making = 0;        // background threads inside make
        bool stop = false;
    };
    const auto shared = std::make_shared<Shared>();
    shared->made.assign(buffers.size(), 0);
    const std::size_t count_ = count;
    auto work = [shared, count_, buffers, &make](std::size_t worker) {
        Shared& s = *shared;
        std::unique_lock lock(s.mutex);
        while (true) {
            // A piece is claimed only once its slot is free, so that an unclaimed piece is
            // there for the calling thread whenever it has a slot to make it in.
            s.usedOne.wait(lock, [&] {
                return s.stop || s.next >= count_ || s.used + buffers.size() > s.next;
            });
            if (s.stop || s.next >= count_) {
                break;
            }
            const std::size_t i = s.next++;
            ++s.making;
            lock.unlock();
            make(i, buffers[i % buffers.size()], worker);
            lock.lock();
            --s.making;
            s.made[i % buffers.size()] = i + 1;
            s.madeOne.notify_all();
        }
    };
    std::size_t started = 0;
    try {
        for (; started < workers; ++started) {
            std::thread(work, started).detach();
        }
    } catch (...) {
        // Fewer threads than asked: the ones started and this one do all the pieces.
    }
    Shared& s = *shared;
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) {
        Slot& slot = buffers[i % buffers.size()];
        std::unique_lock lock(s.mutex);
        while (s.made[i % buffers.size()] != i + 1) {
            const std::size_t j = s.next;
            if (j == i || (j < count && s.used + buffers.size() > j)) {
                // Nobody has taken piece j yet, and its slot is free: made here, piece i first
                // of all.
                ++s.next;
                lock.unlock();
                make(j, buffers[j % buffers.size()], own);
                lock.lock();
                s.made[j % buffers.size()] = j + 1;
                s.madeOne.notify_all();
            } else {
                s.madeOne.wait(lock);
            }
        }
        lock.unlock();
        ok = use(i, slot);
        lock.lock();
        s.made[i % buffers.size()] = 0;
        s.used = i + 1;
        s.stop = !ok;
        s.usedOne.notify_all();
        if (!ok) {
            // Threads in the middle of a piece still use the caller's buffers and data.
            s.madeOne.wait(lock, [&] { return s.making == 0; });
        }
    }
    return ok;
}

} // namespace rolvet
