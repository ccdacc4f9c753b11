#include "protocol/pacers.h"

#include <chrono>
#include <numeric>
#include <string>
#include <thread>

namespace kb {

namespace {

void WriteWait(TraceSink* trace, int milliseconds) {
    if (trace != nullptr) {
        trace->Line("wait " + std::to_string(milliseconds));
    }
}

}  // namespace

void SleepingPacer::Wait(int milliseconds) {
    WriteWait(trace_, milliseconds);
    if (milliseconds <= 0) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    // The scheduler tends to oversleep; sleep most of the wait, then finish in short naps so
    // a long transfer does not pile up the excess.
    constexpr auto kFinish = std::chrono::microseconds(600);
    constexpr auto kNap = std::chrono::microseconds(50);
    auto remaining = deadline - Clock::now();
    if (remaining > kFinish) {
        std::this_thread::sleep_for(remaining - kFinish);
    }
    while ((remaining = deadline - Clock::now()) > std::chrono::nanoseconds::zero()) {
        if (remaining > kNap * 2) {
            std::this_thread::sleep_for(kNap);
        } else {
            std::this_thread::yield();
        }
    }
}

void RecordingPacer::Wait(int milliseconds) {
    WriteWait(trace_, milliseconds);
    waits_.push_back(milliseconds);
}

long long RecordingPacer::TotalMilliseconds() const {
    return std::accumulate(waits_.begin(), waits_.end(), 0LL);
}

}  // namespace kb
