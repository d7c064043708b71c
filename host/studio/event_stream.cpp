#include "studio/event_stream.h"

#include <algorithm>

namespace vhost::studio {

std::string EventText(const std::string& name, const std::string& data) {
    return "event: " + name + "\ndata: " + data + "\n\n";
}

std::optional<std::string> EventSubscriber::Next(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return !pending_.empty() || closed_; });
    if (pending_.empty()) return std::nullopt;
    std::string text = std::move(pending_.front());
    pending_.pop_front();
    return text;
}

bool EventSubscriber::Closed() const {
    const std::lock_guard lock(mutex_);
    return closed_ && pending_.empty();
}

void EventSubscriber::Push(std::string text) {
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(std::move(text));
    }
    arrived_.notify_all();
}

void EventSubscriber::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    arrived_.notify_all();
}

std::shared_ptr<EventSubscriber> EventStream::Subscribe(const std::string& hello) {
    auto subscriber = std::make_shared<EventSubscriber>();
    subscriber->Push(hello);
    const std::lock_guard lock(mutex_);
    if (closed_) {
        subscriber->Close();
    } else {
        subscribers_.push_back(subscriber);
    }
    return subscriber;
}

void EventStream::Publish(const std::string& name, const std::string& data) {
    const std::string text = EventText(name, data);
    const std::lock_guard lock(mutex_);
    std::erase_if(subscribers_, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : subscribers_) {
        if (const auto subscriber = weak.lock()) subscriber->Push(text);
    }
}

void EventStream::Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    for (const auto& weak : subscribers_) {
        if (const auto subscriber = weak.lock()) subscriber->Close();
    }
    subscribers_.clear();
}

std::size_t EventStream::Subscribers() {
    const std::lock_guard lock(mutex_);
    std::erase_if(subscribers_, [](const auto& weak) { return weak.expired(); });
    return subscribers_.size();
}

}  // namespace vhost::studio
