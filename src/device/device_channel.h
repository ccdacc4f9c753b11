#pragma once

#include <cstdint>
#include <memory>

#include "device/device_gate.h"
#include "device/hid_backend.h"
#include "device/trace_sink.h"

namespace kb {

// The program's one connection to the keyboard.
class DeviceChannel {
public:
    enum class HandleState { None, Open, FailedOpen };

    // diagnostics: where discovery and open write their diagnostic lines (null: nowhere).
    // trace: receives "send ..." and "read ..." lines (null: nowhere).
    DeviceChannel(HidBackend& backend, DeviceGate& gate, TraceSink* diagnostics = nullptr,
                  TraceSink* trace = nullptr);
    ~DeviceChannel();
    DeviceChannel(const DeviceChannel&) = delete;
    DeviceChannel& operator=(const DeviceChannel&) = delete;

    // 1 when the keyboard interface was found and opened, else 0.
    int OpenChannel(std::int32_t vid, std::int32_t pid, std::int32_t interfaceNumber,
                    std::int32_t subdevice);
    void CloseChannel();
    // Gate, then the HID call; 1 on success, 0 on failure or when no handle was ever opened.
    int SendFeature(const Report& report);
    int ReadFeature(Report& report);

    HandleState State() const;
    // Why the last OpenChannel failed; None after a successful one (and before any).
    OpenFailure LastOpenFailure() const;
    // Exchanges (sends and reads) that failed since the channel was made; callers compare two
    // readings to learn whether an action of theirs reached the keyboard.
    std::uint64_t FailedExchanges() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kb
