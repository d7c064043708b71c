// The studio on the network: cpp-httplib listening on 127.0.0.1, each request turned into the
// request handler's terms and its answer sent back; event streams are written as they come.
#pragma once

#include <memory>

namespace vhost::studio {

class RequestHandler;

class StudioServer {
public:
    StudioServer();
    ~StudioServer();  // stops listening
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Binds to 127.0.0.1 at `port` (0: a free port); answers the port, or -1 when it cannot.
    int Bind(int port);
    // Starts answering with `handler` on the server's own threads; the handler must outlive Stop.
    void Start(const RequestHandler& handler);
    // Stops listening and waits for the server's threads (event streams must be closed first).
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vhost::studio
