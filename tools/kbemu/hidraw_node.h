#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "emulated_devices.h"

struct fuse_session;

namespace kb::emu {

// What a node needs from the emulator while it serves requests.
class NodeHost {
public:
    virtual ~NodeHost() = default;
    // The keyboard's protocol interface; null while it is unplugged.
    virtual std::unique_ptr<HidHandle> OpenProtocol() = 0;
    virtual bool DenyOpen() const = 0;
    // One line of the firmware's view of the traffic ("send 07 ..."), when traced.
    virtual void Trace(const std::string& line) = 0;
};

// One /dev/hidrawN: a regular file with a FUSE 3 file system mounted on it, answering the hidraw
// ioctls (descriptor, raw info, name, feature reports) the way the kernel's hidraw driver does.
// Feature reports on the protocol interface go to the simulated firmware; other interfaces
// refuse them as a device without that report does.
class HidrawNode {
public:
    HidrawNode(std::string path, std::string name, std::string phys, std::uint16_t vendorId,
               std::uint16_t productId, const EmulatedInterface& interface, NodeHost& host);
    ~HidrawNode();
    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    // Creates the file and mounts the file system on it. False with error set on failure.
    bool Mount(std::string& error);
    // Unmounts and removes the file; open descriptors fail from then on.
    void Unmount();
    bool Mounted() const { return session_ != nullptr; }
    // The descriptor to watch for requests, -1 while unmounted.
    int RequestFd() const;
    // Serves the requests that are waiting. False when the file system went away.
    bool ServeRequest();

    // Request handlers, called from the FUSE callbacks.
    void OnGetattr(void* request);
    void OnOpen(void* request, void* fileInfo);
    void OnRelease(void* request, void* fileInfo);
    void OnIoctl(void* request, unsigned command, void* fileInfo, unsigned flags, const void* input,
                 std::size_t inputSize, std::size_t outputSize);

private:
    std::string path_;
    std::string name_;
    std::string phys_;
    std::uint16_t vendorId_;
    std::uint16_t productId_;
    std::vector<std::uint8_t> descriptor_;
    bool answersProtocol_;
    NodeHost& host_;
    fuse_session* session_ = nullptr;
    std::uint64_t nextHandle_ = 1;
    std::map<std::uint64_t, std::unique_ptr<HidHandle>> handles_;
};

}  // namespace kb::emu
