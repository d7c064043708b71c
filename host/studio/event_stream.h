// The studio's server-sent events: every open page subscribes, the host thread publishes. A
// subscriber that is no longer read (the browser went away) is simply forgotten.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vhost::studio {

// One page's stream. Events wait here until the server writes them out.
class EventSubscriber {
public:
    // The next event as server-sent-event text ("event: NAME\ndata: JSON\n\n"); none when nothing
    // came within `wait` or the stream closed (see Closed).
    std::optional<std::string> Next(std::chrono::milliseconds wait);
    bool Closed() const;

private:
    friend class EventStream;
    void Push(std::string text);
    void Close();

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> pending_;
    bool closed_ = false;
};

class EventStream {
public:
    // A new subscriber, which first receives `hello` (the event the stream starts with).
    std::shared_ptr<EventSubscriber> Subscribe(const std::string& hello);
    // Sends event `name` with `data` (JSON on one line) to every subscriber still there.
    void Publish(const std::string& name, const std::string& data);
    // Ends every stream; later subscribers are closed at once.
    void Close();
    std::size_t Subscribers();

private:
    std::mutex mutex_;
    std::vector<std::weak_ptr<EventSubscriber>> subscribers_;
    bool closed_ = false;
};

// An event as server-sent-event text.
std::string EventText(const std::string& name, const std::string& data);

}  // namespace vhost::studio
