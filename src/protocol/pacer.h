#pragma once

#include "device/trace_sink.h"

namespace kb {

// Every protocol wait goes through a pacer, so tests can record waits instead of sleeping.
class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void Wait(int milliseconds) = 0;
};

}  // namespace kb
