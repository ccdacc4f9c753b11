#pragma once

#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

namespace kb::platform {

// The rendezvous of the single instance: a Unix stream socket in the user's private runtime
// folder. The running instance listens; a later start connects and asks it to come forward.
// Plain sockets with the event loop's notifiers, so the program needs no network library.
class InstanceSocketServer : public QObject {
public:
    explicit InstanceSocketServer(std::function<void()> onActivateRequest);
    ~InstanceSocketServer() override;
    InstanceSocketServer(const InstanceSocketServer&) = delete;
    InstanceSocketServer& operator=(const InstanceSocketServer&) = delete;

    // Replaces whatever is at `path` (callers hold the instance lock, so it is a dead
    // instance's socket) and listens there, reachable by this user only.
    bool Listen(const std::string& path);
    // Stops listening and removes the socket.
    void Close();

private:
    void AcceptClients();

    std::function<void()> onActivateRequest_;
    std::string path_;
    int listenFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

// Connects to a listening instance and sends the request; false when nobody listens there.
bool SendActivateRequest(const std::string& path);

}  // namespace kb::platform
