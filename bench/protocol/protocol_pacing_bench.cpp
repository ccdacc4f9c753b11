// Wall time of real protocol sequences against the simulated keyboard, relative to the waits
// they are made of. The pacing must not stretch: wall time / sum of waits stays <= 1.03.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "device/device_channel.h"
#include "device/device_gate.h"
#include "device/trace_sink.h"
#include "protocol/keyboard_protocol.h"
#include "protocol/pacers.h"
#include "sim/simulated_hid_backend.h"
#include "sim/simulated_keyboard.h"

namespace kb {
namespace {

class NullView : public KeyboardView {
public:
    void ClearKeyMarks() override {}
    void MarkKey(int) override {}
    void ShowWarning(const std::string&) override {}
};

// Sums the waits the pacer announces, without keeping lines.
class WaitSum : public TraceSink {
public:
    void Line(const std::string& line) override {
        if (line.starts_with("wait ")) {
            milliseconds_ += std::stoll(line.substr(5));
        }
    }
    long long Milliseconds() const { return milliseconds_; }

private:
    long long milliseconds_ = 0;
};

struct Rig {
    SimulatedKeyboard keyboard{0, 0, -1, -1};
    SimulatedHidBackend backend{keyboard};
    OpenGate gate;
    DeviceChannel channel{backend, gate};
    WaitSum waits;
    SleepingPacer pacer{&waits};
    NullView view;
    KeyboardProtocol protocol{channel, pacer, view};

    Rig() {
        channel.OpenChannel(keyboard.VendorId(), keyboard.ProductId(), keyboard.InterfaceNumber(),
                            keyboard.Collection());
    }
};

template <typename Operation>
void MeasurePacing(benchmark::State& state, Rig& rig, Operation operation) {
    using Clock = std::chrono::steady_clock;
    Clock::duration wall{};
    const long long waitsBefore = rig.waits.Milliseconds();
    for (auto _ : state) {
        const auto start = Clock::now();
        operation();
        wall += Clock::now() - start;
    }
    const double waited = static_cast<double>(rig.waits.Milliseconds() - waitsBefore);
    const double wallMs = std::chrono::duration<double, std::milli>(wall).count();
    state.counters["wall_per_wait"] = waited > 0 ? wallMs / waited : 0.0;
}

void BM_ReadSlotTables(benchmark::State& state) {
    Rig rig;
    MeasurePacing(state, rig, [&] { rig.protocol.ReadSlotTables(); });
}
BENCHMARK(BM_ReadSlotTables)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MacroTransfer(benchmark::State& state) {
    Rig rig;
    AssignmentRecord record{};
    record[0] = 1;
    record[1] = 1;
    record[2] = 0x3A;
    record[3] = 1;
    for (std::size_t offset = kRecordStepOffset; offset < record.size(); offset += 2) {
        record[offset] = 0x04;
        record[offset + 1] = static_cast<std::uint8_t>((offset / 2) % 2 == 0 ? 0x01 : 0x81);
    }
    MeasurePacing(state, rig, [&] { rig.protocol.SendAssignmentRecord(record, true); });
}
BENCHMARK(BM_MacroTransfer)->Iterations(8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kb

BENCHMARK_MAIN();
