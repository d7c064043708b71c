// Requests waiting for the host thread. Any thread submits a request and waits for its answer;
// the host thread takes them one at a time, in arrival order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>

#include "studio/http_message.h"
#include "studio/studio_routes.h"

namespace vhost::studio {

struct Work {
    RoutedRequest request;
    std::promise<HttpResponse> answer;
    WorkKind Kind() const { return KindOf(*request.route); }
};

class WorkQueue {
public:
    // Queues the request for the host thread and waits for its answer. Once the queue is closed
    // the answer is 503 at once.
    HttpResponse Submit(RoutedRequest request);
    // The next request, taken off the queue; null when none came within `wait` or the queue is
    // closed. [host thread]
    std::unique_ptr<Work> Take(std::chrono::milliseconds wait);
    // Refuses every request still queued and all later ones with 503.
    void Close();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::unique_ptr<Work>> queue_;
    bool closed_ = false;
};

// The answer to a request the host thread will not do: the studio is stopping.
HttpResponse StoppingResponse();

}  // namespace vhost::studio
