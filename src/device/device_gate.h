#pragma once

namespace kb {

// The "HidDevice" gate: waited for and released before every exchange, open and close,
// never held during one.
class DeviceGate {
public:
    virtual ~DeviceGate() = default;
    virtual void Pass() = 0;
};

// A gate that never waits, for tests that do not exercise the gate.
class OpenGate : public DeviceGate {
public:
    void Pass() override {}
};

}  // namespace kb
