// Requests waiting for the host thread. Any thread submits a request with what to do with its
// answer, without waiting; the host thread takes them one at a time, in arrival order, and hands
// each answer over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "studio/http_message.h"
#include "studio/studio_routes.h"

namespace vhost::studio {

// Takes a request's answer; called once, on the host thread (or on the submitting thread when
// the queue is closed), and must not wait for the host thread.
using Reply = std::function<void(HttpResponse)>;

struct Work {
    RoutedRequest request;
    Reply answer;
    WorkKind Kind() const { return KindOf(*request.route); }
};

class WorkQueue {
public:
    // Queues the request for the host thread, which hands its answer to `reply`. Once the queue
    // is closed the answer is 503 at once.
    void Submit(RoutedRequest request, Reply reply);
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
