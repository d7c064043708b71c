#include "studio/event_stream.h"

#include <algorithm>
#include <utility>

namespace vhost::studio {

std::string EventText(const std::string& name, const std::string& data) {
    return R"({"event":")" + name + R"(","data":)" + data + "}";
}

std::optional<std::string> EventSubscriber::Next(std::chrono::milliseconds wait) {
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, wait, [this] { return !pending_.empty() || closed_; });
    }
    const Text text = Take();
    if (text == nullptr) return std::nullopt;
    return *text;
}

EventSubscriber::Text EventSubscriber::Take() {
    const std::lock_guard lock(mutex_);
    if (pending_.empty()) return nullptr;
    Text text = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= text->size();
    return text;
}

bool EventSubscriber::Closed() const {
    const std::lock_guard lock(mutex_);
    return closed_ && pending_.empty();
}

bool EventSubscriber::Dropped() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

void EventSubscriber::OnArrival(std::function<void()> wake) {
    bool waiting = false;
    {
        const std::lock_guard lock(mutex_);
        wake_ = std::move(wake);
        waiting = !pending_.empty() || closed_;
    }
    if (waiting) Wake();
}

void EventSubscriber::SetPendingLimit(std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    pendingLimit_ = bytes;
}

void EventSubscriber::Wake() {
    std::function<void()> wake;
    {
        const std::lock_guard lock(mutex_);
        wake = wake_;
    }
    arrived_.notify_all();
    if (wake) wake();
}

void EventSubscriber::Push(const Text& text) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) return;
        if (pendingBytes_ + text->size() > pendingLimit_) {
            // What it did not read is freed now; the page starts over from the whole state.
            pending_.clear();
            pendingBytes_ = 0;
            dropped_ = true;
            closed_ = true;
        } else {
            pending_.push_back(text);
            pendingBytes_ += text->size();
        }
    }
    Wake();
}

void EventSubscriber::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    Wake();
}

std::shared_ptr<EventSubscriber> EventStream::Subscribe(const std::string& hello) {
    auto subscriber = std::make_shared<EventSubscriber>();
    subscriber->Push(std::make_shared<const std::string>(hello));
    const std::lock_guard lock(mutex_);
    if (closed_) {
        subscriber->Close();
    } else {
        subscribers_.push_back(subscriber);
    }
    return subscriber;
}

void EventStream::Publish(const std::string& name, const std::string& data) {
    const auto text = std::make_shared<const std::string>(EventText(name, data));
    std::vector<std::shared_ptr<EventSubscriber>> live;
    {
        const std::lock_guard lock(mutex_);
        std::erase_if(subscribers_, [](const auto& weak) { return weak.expired(); });
        for (const auto& weak : subscribers_) {
            if (auto subscriber = weak.lock()) live.push_back(std::move(subscriber));
        }
    }
    for (const auto& subscriber : live) subscriber->Push(text);
}

void EventStream::Close() {
    std::vector<std::shared_ptr<EventSubscriber>> live;
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        for (const auto& weak : subscribers_) {
            if (auto subscriber = weak.lock()) live.push_back(std::move(subscriber));
        }
        subscribers_.clear();
    }
    for (const auto& subscriber : live) subscriber->Close();
}

std::size_t EventStream::Subscribers() {
    const std::lock_guard lock(mutex_);
    std::erase_if(subscribers_, [](const auto& weak) { return weak.expired(); });
    return subscribers_.size();
}

}  // namespace vhost::studio
