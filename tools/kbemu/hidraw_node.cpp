#define FUSE_USE_VERSION 35
#include "hidraw_node.h"

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kb::emu {
namespace {

constexpr unsigned kHidrawType = 'H';
constexpr unsigned kGetRawName = 0x04;
constexpr unsigned kGetRawPhys = 0x05;
constexpr unsigned kSetFeature = 0x06;
constexpr unsigned kGetFeature = 0x07;

HidrawNode& NodeOf(fuse_req_t request) {
    return *static_cast<HidrawNode*>(fuse_req_userdata(request));
}

void Getattr(fuse_req_t request, fuse_ino_t, fuse_file_info*) {
    NodeOf(request).OnGetattr(request);
}

void Open(fuse_req_t request, fuse_ino_t, fuse_file_info* info) {
    NodeOf(request).OnOpen(request, info);
}

void Release(fuse_req_t request, fuse_ino_t, fuse_file_info* info) {
    NodeOf(request).OnRelease(request, info);
}

// Input reports are never produced; a reader sees an empty queue.
void Read(fuse_req_t request, fuse_ino_t, std::size_t, off_t, fuse_file_info*) {
    fuse_reply_err(request, EAGAIN);
}

// Output reports are accepted and dropped.
void Write(fuse_req_t request, fuse_ino_t, const char*, std::size_t size, off_t, fuse_file_info*) {
    fuse_reply_write(request, size);
}

void Ioctl(fuse_req_t request, fuse_ino_t, unsigned command, void*, fuse_file_info* info,
           unsigned flags, const void* input, std::size_t inputSize, std::size_t outputSize) {
    NodeOf(request).OnIoctl(request, command, info, flags, input, inputSize, outputSize);
}

fuse_lowlevel_ops MakeOperations() {
    fuse_lowlevel_ops operations{};
    operations.getattr = Getattr;
    operations.open = Open;
    operations.release = Release;
    operations.read = Read;
    operations.write = Write;
    operations.ioctl = Ioctl;
    return operations;
}

const fuse_lowlevel_ops kOperations = MakeOperations();

std::string TraceLine(const char* verb, const Report& report, bool ok) {
    std::string line = verb;
    char byte[4];
    for (const std::uint8_t value : report) {
        std::snprintf(byte, sizeof byte, " %02x", static_cast<unsigned>(value));
        line += byte;
    }
    if (!ok) {
        line += " failed";
    }
    return line;
}

void ReplyText(fuse_req_t request, const std::string& text, std::size_t outputSize) {
    // As the kernel does: the text with its terminator, cut to the caller's buffer.
    const std::size_t length = std::min(text.size() + 1, outputSize);
    fuse_reply_ioctl(request, static_cast<int>(length), text.c_str(), length);
}

}  // namespace

HidrawNode::HidrawNode(std::string path, std::string name, std::string phys, std::uint16_t vendorId,
                       std::uint16_t productId, const EmulatedInterface& interface, NodeHost& host)
    : path_(std::move(path)),
      name_(std::move(name)),
      phys_(std::move(phys)),
      vendorId_(vendorId),
      productId_(productId),
      descriptor_(interface.descriptor),
      answersProtocol_(interface.answersProtocol),
      host_(host) {}

HidrawNode::~HidrawNode() {
    Unmount();
}

bool HidrawNode::Mount(std::string& error) {
    const int fd = ::open(path_.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot create " + path_ + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    char program[] = "kbemu";
    char option[] = "-o";
    char fsname[] = "fsname=kbemu";
    char* argv[] = {program, option, fsname, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    session_ = fuse_session_new(&args, &kOperations, sizeof kOperations, this);
    fuse_opt_free_args(&args);
    if (session_ == nullptr) {
        error = "cannot start a FUSE session for " + path_;
        return false;
    }
    if (fuse_session_mount(session_, path_.c_str()) != 0) {
        fuse_session_destroy(session_);
        session_ = nullptr;
        error = "cannot mount FUSE on " + path_;
        return false;
    }
    return true;
}

void HidrawNode::Unmount() {
    if (session_ != nullptr) {
        // Closing the session's descriptor aborts the connection: open files fail from now on.
        fuse_session_unmount(session_);
        fuse_session_destroy(session_);
        session_ = nullptr;
        ::unlink(path_.c_str());
    }
    handles_.clear();
}

int HidrawNode::RequestFd() const {
    return session_ != nullptr ? fuse_session_fd(session_) : -1;
}

bool HidrawNode::ServeRequest() {
    if (session_ == nullptr) {
        return false;
    }
    fuse_buf buffer{};
    const int received = fuse_session_receive_buf(session_, &buffer);
    if (received > 0) {
        fuse_session_process_buf(session_, &buffer);
    }
    std::free(buffer.mem);
    if (received == -EINTR || received == -EAGAIN) {
        return true;
    }
    return received > 0 && fuse_session_exited(session_) == 0;
}

void HidrawNode::OnGetattr(void* request) {
    struct stat attributes {};
    attributes.st_ino = FUSE_ROOT_ID;
    attributes.st_mode = S_IFREG | 0600;
    attributes.st_nlink = 1;
    fuse_reply_attr(static_cast<fuse_req_t>(request), &attributes, 0.0);
}

void HidrawNode::OnOpen(void* request, void* fileInfo) {
    auto* req = static_cast<fuse_req_t>(request);
    auto* info = static_cast<fuse_file_info*>(fileInfo);
    if (host_.DenyOpen()) {
        fuse_reply_err(req, EACCES);
        return;
    }
    std::unique_ptr<HidHandle> handle;
    if (answersProtocol_) {
        handle = host_.OpenProtocol();
        if (!handle) {
            fuse_reply_err(req, ENODEV);
            return;
        }
    }
    info->fh = nextHandle_++;
    info->direct_io = 1;
    info->nonseekable = 1;
    handles_[info->fh] = std::move(handle);
    fuse_reply_open(req, info);
}

void HidrawNode::OnRelease(void* request, void* fileInfo) {
    handles_.erase(static_cast<fuse_file_info*>(fileInfo)->fh);
    fuse_reply_err(static_cast<fuse_req_t>(request), 0);
}

void HidrawNode::OnIoctl(void* request, unsigned command, void* fileInfo, unsigned flags,
                         const void* input, std::size_t inputSize, std::size_t outputSize) {
    auto* req = static_cast<fuse_req_t>(request);
    if ((flags & FUSE_IOCTL_COMPAT) != 0 || _IOC_TYPE(command) != kHidrawType) {
        fuse_reply_err(req, ENOTTY);
        return;
    }
    if (command == HIDIOCGRDESCSIZE) {
        const int size = static_cast<int>(descriptor_.size());
        fuse_reply_ioctl(req, 0, &size, sizeof size);
        return;
    }
    if (command == HIDIOCGRDESC) {
        hidraw_report_descriptor reply{};
        reply.size = static_cast<std::uint32_t>(std::min(descriptor_.size(), sizeof reply.value));
        std::copy_n(descriptor_.begin(), reply.size, reply.value);
        fuse_reply_ioctl(req, 0, &reply, sizeof reply);
        return;
    }
    if (command == HIDIOCGRAWINFO) {
        hidraw_devinfo reply{};
        reply.bustype = BUS_USB;
        reply.vendor = static_cast<std::int16_t>(vendorId_);
        reply.product = static_cast<std::int16_t>(productId_);
        fuse_reply_ioctl(req, 0, &reply, sizeof reply);
        return;
    }
    const unsigned number = _IOC_NR(command);
    if (number == kGetRawName || number == kGetRawPhys) {
        ReplyText(req, number == kGetRawName ? name_ : phys_, outputSize);
        return;
    }
    if (number != kSetFeature && number != kGetFeature) {
        fuse_reply_err(req, ENOTTY);
        return;
    }
    const auto found = handles_.find(static_cast<fuse_file_info*>(fileInfo)->fh);
    HidHandle* handle = found != handles_.end() ? found->second.get() : nullptr;
    Report report{};
    // Report 7 is eight bytes with its id; any other length or interface has no such report.
    if (handle == nullptr || inputSize != report.size() || outputSize < report.size()) {
        fuse_reply_err(req, EPIPE);
        return;
    }
    std::memcpy(report.data(), input, report.size());
    bool ok;
    if (number == kSetFeature) {
        ok = handle->SetFeature(report);
        host_.Trace(TraceLine("send", report, ok));
    } else {
        ok = handle->GetFeature(report);
        host_.Trace(TraceLine("read", report, ok));
    }
    if (!ok) {
        fuse_reply_err(req, EPIPE);
        return;
    }
    fuse_reply_ioctl(req, static_cast<int>(report.size()), report.data(), report.size());
}

}  // namespace kb::emu
