#pragma once

#include <vector>

#include "device/trace_sink.h"
#include "protocol/pacer.h"

namespace kb {

// Blocks the calling thread for each wait, as the keyboard needs its pacing.
class SleepingPacer : public Pacer {
public:
    explicit SleepingPacer(TraceSink* trace = nullptr) : trace_(trace) {}
    void Wait(int milliseconds) override;

private:
    TraceSink* trace_;
};

// Records the waits without sleeping, so tests run fast and can check the pacing.
class RecordingPacer : public Pacer {
public:
    explicit RecordingPacer(TraceSink* trace = nullptr) : trace_(trace) {}
    void Wait(int milliseconds) override;

    const std::vector<int>& Waits() const { return waits_; }
    long long TotalMilliseconds() const;

private:
    TraceSink* trace_;
    std::vector<int> waits_;
};

}  // namespace kb
