#include "platform/linux/instance_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <memory>

namespace kb::platform {

namespace {

constexpr char kActivateRequest[] = "activate\n";
constexpr int kBacklog = 8;
// Clients send a few bytes; anything longer is not one of ours.
constexpr qsizetype kMaxRequestBytes = 64;

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// One connected client: reads until the request or the end, then goes.
class InstanceClient : public QObject {
public:
    InstanceClient(int fd, const std::function<void()>& onActivateRequest, QObject* parent)
        : QObject(parent),
          fd_(fd),
          onActivateRequest_(onActivateRequest),
          notifier_(fd, QSocketNotifier::Read, this) {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { Read(); });
    }
    ~InstanceClient() override { ::close(fd_); }
    InstanceClient(const InstanceClient&) = delete;
    InstanceClient& operator=(const InstanceClient&) = delete;

private:
    void Read() {
        char chunk[32];
        const ssize_t got = ::read(fd_, chunk, sizeof chunk);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (got > 0) {
            received_.append(chunk, static_cast<qsizetype>(got));
            if (received_.contains(kActivateRequest) && !answered_) {
                answered_ = true;
                if (onActivateRequest_) {
                    onActivateRequest_();
                }
            }
            if (received_.size() <= kMaxRequestBytes && !answered_) {
                return;
            }
        }
        notifier_.setEnabled(false);
        deleteLater();
    }

    int fd_;
    std::function<void()> onActivateRequest_;
    QSocketNotifier notifier_;
    QByteArray received_;
    bool answered_ = false;
};

}  // namespace

InstanceSocketServer::InstanceSocketServer(std::function<void()> onActivateRequest)
    : onActivateRequest_(std::move(onActivateRequest)) {}

InstanceSocketServer::~InstanceSocketServer() {
    Close();
}

bool InstanceSocketServer::Listen(const std::string& path) {
    Close();
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    ::unlink(path.c_str());
    // Created without access for others; the folder is private as well.
    const mode_t previousMask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(previousMask);
    if (!bound || ::listen(fd, kBacklog) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    path_ = path;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { AcceptClients(); });
    return true;
}

void InstanceSocketServer::Close() {
    if (listenFd_ < 0) {
        return;
    }
    delete notifier_;
    notifier_ = nullptr;
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(path_.c_str());
    path_.clear();
}

void InstanceSocketServer::AcceptClients() {
    for (;;) {
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            return;  // EAGAIN: all taken; anything else: try again at the next notification
        }
        new InstanceClient(client, onActivateRequest_, this);
    }
}

bool SendActivateRequest(const std::string& path) {
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    bool sent = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::size_t length = sizeof kActivateRequest - 1;
        sent = ::send(fd, kActivateRequest, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
    }
    ::close(fd);
    return sent;
}

}  // namespace kb::platform
