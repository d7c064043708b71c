// What the studio server's connections share (studio_server.cpp, page_socket.cpp). Everything
// here but Mailbox::Post is used on the server's I/O thread only.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "studio/studio_server.h"

namespace vhost::studio {

class RequestHandler;

// Hands work to the I/O thread from any thread (the host thread's answers, a page's new events)
// until the server stops; after that the work is dropped.
class Mailbox {
public:
    explicit Mailbox(boost::asio::io_context& io) : io_(&io) {}

    template <typename Work>
    void Post(Work work) {
        const std::lock_guard lock(mutex_);
        if (io_ != nullptr) boost::asio::post(*io_, std::move(work));
    }
    void Close() {
        const std::lock_guard lock(mutex_);
        io_ = nullptr;
    }

private:
    std::mutex mutex_;
    boost::asio::io_context* io_;
};

// An open connection, closed at once when the server stops.
class Connection {
public:
    Connection() = default;
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    virtual void Close() = 0;
};

struct ServerContext {
    const RequestHandler* handler = nullptr;
    ServerLimits limits;
    std::shared_ptr<Mailbox> mailbox;
    // Every connection still open, to close them when the server stops.
    std::vector<std::weak_ptr<Connection>> open;
    // The connections that wait for the host thread's answer, which is all that holds them.
    std::vector<std::shared_ptr<Connection>> waiting;

    void Opened(const std::shared_ptr<Connection>& connection) {
        std::erase_if(open, [](const auto& weak) { return weak.expired(); });
        open.push_back(connection);
    }
    void Wait(const std::shared_ptr<Connection>& connection) { waiting.push_back(connection); }
    void Answered(const Connection* connection) {
        std::erase_if(waiting, [connection](const auto& held) { return held.get() == connection; });
    }
};

}  // namespace vhost::studio
