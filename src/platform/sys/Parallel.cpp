#include "platform/sys/Parallel.h"

#include <algorithm>

namespace ketra::sys {

std::size_t WorkerCount() {
    static const std::size_t count = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    return count;
}

void BothAtOnce(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr firstFailure, secondFailure;
    auto runFirst = [&]() noexcept {
        try {
            first();
        } catch (...) {
            firstFailure = std::current_exception();
        }
    };
    std::thread thread;
    try {
        thread = std::thread(runFirst);
    } catch (const std::system_error&) {
        runFirst();
    }
    try {
        second();
    } catch (...) {
        secondFailure = std::current_exception();
    }
    if (thread.joinable()) thread.join();
    if (firstFailure) std::rethrow_exception(firstFailure);
    if (secondFailure) std::rethrow_exception(secondFailure);
}

} // namespace ketra::sys
