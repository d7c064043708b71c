// The studio on the network: Boost.Beast on Boost.Asio, listening on 127.0.0.1. One I/O thread
// serves every connection, none is given a thread: a request is read, turned into the request
// handler's terms and handed over, and its answer written when the handler gives it (a request
// for the host thread is answered when the host thread has done it). A page's events come over a
// WebSocket on the same port (GET /api/events with Upgrade: websocket, under the same access
// rules as every request).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "studio/event_stream.h"

namespace vhost::studio {

class RequestHandler;

struct ServerLimits {
    // A request (its header, and every part of its body) must arrive within this, and so must the
    // next request on a connection kept open: slow and idle connections are closed.
    std::chrono::milliseconds requestTime{10000};
    // An answer must be written within this.
    std::chrono::milliseconds answerTime{60000};
    // A page's WebSocket is closed when nothing came from it for this long; it is pinged halfway.
    std::chrono::milliseconds pageSilence{60000};
    // The most bytes of events a page may leave unread before its WebSocket is closed.
    std::size_t pendingEvents = kDefaultPendingLimit;
};

class StudioServer {
public:
    explicit StudioServer(ServerLimits limits = {});
    ~StudioServer();  // stops
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Binds to 127.0.0.1 at `port` (0: a free port); answers the port, or -1 when it cannot.
    int Bind(int port);
    // Starts answering with `handler` on the server's I/O thread; the handler must outlive Stop.
    void Start(const RequestHandler& handler);
    // Closes every connection and waits for the I/O thread. Answers the host thread gives later
    // are dropped.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vhost::studio
