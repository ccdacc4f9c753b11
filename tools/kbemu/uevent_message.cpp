#include "uevent_message.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace kb::emu {
namespace {

constexpr std::uint32_t kUdevMagic = 0xfeedcafe;
constexpr std::uint32_t kUdevGroup = 2;
constexpr std::size_t kHeaderSize = 40;

void PutNative(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

}  // namespace

std::uint32_t SubsystemHash(std::string_view text) {
    constexpr std::uint32_t m = 0x5bd1e995;
    constexpr int r = 24;
    auto length = static_cast<std::uint32_t>(text.size());
    std::uint32_t h = length;  // seed 0
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    while (length >= 4) {
        std::uint32_t k;
        std::memcpy(&k, data, sizeof k);
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
        data += 4;
        length -= 4;
    }
    switch (length) {
        case 3:
            h ^= static_cast<std::uint32_t>(data[2]) << 16;
            [[fallthrough]];
        case 2:
            h ^= static_cast<std::uint32_t>(data[1]) << 8;
            [[fallthrough]];
        case 1:
            h ^= data[0];
            h *= m;
            break;
        default:
            break;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

std::vector<std::uint8_t> UdevMessage(const std::string& action, const SysDevice& device,
                                      std::uint64_t seqnum) {
    std::string properties;
    auto add = [&](const std::string& key, const std::string& value) {
        properties += key + "=" + value;
        properties += '\0';
    };
    add("ACTION", action);
    add("DEVPATH", device.devpath);
    add("SUBSYSTEM", device.subsystem);
    std::string devtype;
    for (const auto& [key, value] : device.uevent) {
        add(key, value);
        if (key == "DEVTYPE") {
            devtype = value;
        }
    }
    add("SEQNUM", std::to_string(seqnum));

    std::vector<std::uint8_t> message(kHeaderSize + properties.size());
    std::memcpy(message.data(), "libudev", 8);
    PutNative(message, 8, htonl(kUdevMagic));
    PutNative(message, 12, static_cast<std::uint32_t>(kHeaderSize));
    PutNative(message, 16, static_cast<std::uint32_t>(kHeaderSize));
    PutNative(message, 20, static_cast<std::uint32_t>(properties.size()));
    PutNative(message, 24, htonl(SubsystemHash(device.subsystem)));
    PutNative(message, 28, devtype.empty() ? 0 : htonl(SubsystemHash(devtype)));
    // No tags, so both halves of the tag bloom filter stay 0.
    std::memcpy(message.data() + kHeaderSize, properties.data(), properties.size());
    return message;
}

UdevEventSender::UdevEventSender()
    : socket_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT)) {}

UdevEventSender::~UdevEventSender() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

bool UdevEventSender::Send(const std::string& action, const SysDevice& device) {
    if (socket_ < 0) {
        return false;
    }
    const std::vector<std::uint8_t> message = UdevMessage(action, device, seqnum_++);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kUdevGroup;
    const ssize_t sent = ::sendto(socket_, message.data(), message.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace kb::emu
