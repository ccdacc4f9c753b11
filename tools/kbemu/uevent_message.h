#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emulated_devices.h"

namespace kb::emu {

// MurmurHash2 with seed 0 over the bytes of text, as libudev hashes subsystem names for the
// socket filters of its monitors.
std::uint32_t SubsystemHash(std::string_view text);

// The message udevd sends to netlink group 2 for one device event ("add", "remove"): a
// 40-byte "libudev" header (magic 0xfeedcafe and the hashes in network byte order) and the
// event's properties as NUL-terminated KEY=value strings.
std::vector<std::uint8_t> UdevMessage(const std::string& action, const SysDevice& device,
                                      std::uint64_t seqnum);

// Sends udev events to the current network namespace's netlink udev group.
class UdevEventSender {
public:
    UdevEventSender();
    ~UdevEventSender();
    UdevEventSender(const UdevEventSender&) = delete;
    UdevEventSender& operator=(const UdevEventSender&) = delete;

    bool Send(const std::string& action, const SysDevice& device);

private:
    int socket_ = -1;
    std::uint64_t seqnum_ = 1000;
};

}  // namespace kb::emu
