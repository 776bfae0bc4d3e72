// Splitting one large piece of work (a shell of a million faces, the pick index over them)
// across the machine's cores.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace ketra::sys {

// Threads worth running at once: the hardware's, at most 8.
std::size_t WorkerCount();

// How many ranges ParallelParts splits `count` items into for `grain` (see below).
inline std::size_t PartsFor(std::size_t count, std::size_t grain) {
    std::size_t parts = grain == 0 ? WorkerCount() : count / grain;
    if (parts > WorkerCount()) parts = WorkerCount();
    return parts < 1 ? 1 : parts;
}

// Calls body(part, begin, end) for PartsFor(count, grain) contiguous ranges that together
// cover [0, count) in order (part 0 first), at most one range per worker and none shorter
// than `grain` (below 2 * grain everything runs here, in one call). The calling thread takes
// part 0; the calls may run at once, so each must touch only its own range's output. Returns
// when every range is done. The first exception of any range is thrown again here once all
// have finished. A thread that cannot be started leaves its range to the calling thread.
template <class Body>
void ParallelParts(std::size_t count, std::size_t grain, Body&& body) {
    const std::size_t parts = PartsFor(count, grain);
    if (parts < 2) {
        if (count > 0) body(std::size_t{0}, std::size_t{0}, count);
        return;
    }
    auto bound = [&](std::size_t k) { return count * k / parts; };
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto run = [&](std::size_t k) noexcept {
        try {
            body(k, bound(k), bound(k + 1));
        } catch (...) {
            std::lock_guard guard(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    std::vector<std::size_t> leftOver;
    threads.reserve(parts - 1);
    for (std::size_t k = 1; k < parts; ++k) {
        try {
            threads.emplace_back(run, k);
        } catch (const std::system_error&) {
            leftOver.push_back(k);
        }
    }
    run(0);
    for (std::size_t k : leftOver) run(k);
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
}

// The same without the part number: body(begin, end).
template <class Body>
void ParallelRanges(std::size_t count, std::size_t grain, Body&& body) {
    ParallelParts(count, grain, [&](std::size_t, std::size_t begin, std::size_t end) { body(begin, end); });
}

// Runs `first` on another thread and `second` on this one, and returns when both are done;
// rethrows the first failure (first's before second's). Runs both here if no thread starts.
void BothAtOnce(const std::function<void()>& first, const std::function<void()>& second);

} // namespace ketra::sys
