// The studio's events: every open page subscribes, the host thread publishes. Each event is one
// JSON text, {"event": NAME, "data": DATA}, which the server sends a page as one WebSocket message.
// A subscriber that is no longer held (its page went away) is forgotten; one that lets more than
// its limit of events pile up unread is dropped, and its page resynchronises from the whole state
// when it connects again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vhost::studio {

// The most bytes of events a page may leave unread before it is dropped.
inline constexpr std::size_t kDefaultPendingLimit = std::size_t{64} << 20;

// One page's events. They wait here until the server sends them.
class EventSubscriber {
public:
    using Text = std::shared_ptr<const std::string>;

    // The next event's text, waiting up to `wait` for one; none when nothing came or the
    // subscriber closed (see Closed).
    std::optional<std::string> Next(std::chrono::milliseconds wait);
    // The next event's text without waiting; null when none waits.
    Text Take();
    // Closed and nothing left to take: the stream ended, or the subscriber was dropped.
    bool Closed() const;
    // Dropped for leaving more than its limit unread.
    bool Dropped() const;

    // `wake` is called (on the publishing thread, without the subscriber's lock) whenever an
    // event arrives or the subscriber closes; it must not block. Called once at once when something
    // already waits.
    void OnArrival(std::function<void()> wake);
    // Drops the subscriber once more than `bytes` of events wait unread.
    void SetPendingLimit(std::size_t bytes);

private:
    friend class EventStream;
    void Push(const Text& text);
    void Close();
    void Wake();

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Text> pending_;
    std::size_t pendingBytes_ = 0;
    std::size_t pendingLimit_ = kDefaultPendingLimit;
    std::function<void()> wake_;
    bool closed_ = false;
    bool dropped_ = false;
};

class EventStream {
public:
    // A new subscriber, which first receives `hello` (the event every page's stream starts with).
    std::shared_ptr<EventSubscriber> Subscribe(const std::string& hello);
    // Sends event `name` with `data` (JSON) to every subscriber still there.
    void Publish(const std::string& name, const std::string& data);
    // Ends every stream; later subscribers are closed at once.
    void Close();
    std::size_t Subscribers();

private:
    std::mutex mutex_;
    std::vector<std::weak_ptr<EventSubscriber>> subscribers_;
    bool closed_ = false;
};

// An event as the text a page receives.
std::string EventText(const std::string& name, const std::string& data);

}  // namespace vhost::studio
