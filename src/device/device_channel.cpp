#include "device/device_channel.h"

#include <cstdio>
#include <string>

#include "device/discovery.h"

namespace kb {

struct DeviceChannel::Impl {
    HidBackend& backend;
    DeviceGate& gate;
    TraceSink* diagnostics;
    TraceSink* trace;
    std::unique_ptr<HidHandle> handle;
    HandleState state = HandleState::None;
    OpenFailure lastOpenFailure = OpenFailure::None;
    std::uint64_t failedExchanges = 0;

    void TraceReport(const char* verb, const Report& report, bool ok) const {
        if (trace == nullptr) {
            return;
        }
        std::string line = verb;
        char byte[4];
        for (const std::uint8_t value : report) {
            std::snprintf(byte, sizeof byte, " %02x", static_cast<unsigned>(value));
            line += byte;
        }
        if (!ok) {
            line += " failed";
        }
        trace->Line(line);
    }
};

DeviceChannel::DeviceChannel(HidBackend& backend, DeviceGate& gate, TraceSink* diagnostics,
                             TraceSink* trace)
    : impl_(std::make_unique<Impl>(Impl{backend, gate, diagnostics, trace, nullptr})) {}

DeviceChannel::~DeviceChannel() = default;

int DeviceChannel::OpenChannel(std::int32_t vid, std::int32_t pid, std::int32_t interfaceNumber,
                               std::int32_t subdevice) {
    Impl& d = *impl_;
    d.gate.Pass();
    const auto found =
        FindKeyboardInterface(d.backend, {vid, pid, interfaceNumber, subdevice}, d.diagnostics);
    if (!found) {
        // A handle from an earlier open stays; exchanges over it fail once the device is gone.
        d.lastOpenFailure = OpenFailure::NotFound;
        return 0;
    }
    d.handle.reset();
    d.state = HandleState::None;
    d.handle = d.backend.Open(found->path);
    d.state = d.handle ? HandleState::Open : HandleState::FailedOpen;
    d.lastOpenFailure = d.handle ? OpenFailure::None : d.backend.WhyOpenFailed(found->path);
    if (d.diagnostics != nullptr) {
        d.diagnostics->Line("open dev: " +
                            FormatHandleValue(d.handle ? d.handle->NativeHandle() : -1));
    }
    return d.handle ? 1 : 0;
}

void DeviceChannel::CloseChannel() {
    impl_->gate.Pass();
    impl_->handle.reset();
    impl_->state = HandleState::None;
}

int DeviceChannel::SendFeature(const Report& report) {
    Impl& d = *impl_;
    bool ok = false;
    if (d.state != HandleState::None) {
        d.gate.Pass();
        // A failed open has no handle to call; the exchange fails as it would on an invalid one.
        ok = d.handle && d.handle->SetFeature(report);
    }
    d.failedExchanges += ok ? 0 : 1;
    d.TraceReport("send", report, ok);
    return ok ? 1 : 0;
}

int DeviceChannel::ReadFeature(Report& report) {
    Impl& d = *impl_;
    bool ok = false;
    if (d.state != HandleState::None) {
        d.gate.Pass();
        // The caller's buffer changes only with a complete reply, whatever the back end does.
        Report reply = report;
        ok = d.handle && d.handle->GetFeature(reply);
        if (ok) {
            report = reply;
        }
    }
    d.failedExchanges += ok ? 0 : 1;
    d.TraceReport("read", report, ok);
    return ok ? 1 : 0;
}

DeviceChannel::HandleState DeviceChannel::State() const {
    return impl_->state;
}

OpenFailure DeviceChannel::LastOpenFailure() const {
    return impl_->lastOpenFailure;
}

std::uint64_t DeviceChannel::FailedExchanges() const {
    return impl_->failedExchanges;
}

}  // namespace kb
