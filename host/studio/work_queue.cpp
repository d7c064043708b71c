#include "studio/work_queue.h"

#include <utility>

#include "studio/request_errors.h"

namespace vhost::studio {

HttpResponse StoppingResponse() { return ErrorResponse(503, "The studio is stopping."); }

void WorkQueue::Submit(RoutedRequest request, Reply reply) {
    auto work = std::make_unique<Work>();
    work->request = std::move(request);
    work->answer = std::move(reply);
    {
        const std::lock_guard lock(mutex_);
        if (!closed_) {
            queue_.push_back(std::move(work));
            work = nullptr;
        }
    }
    if (work != nullptr) {
        work->answer(StoppingResponse());
        return;
    }
    arrived_.notify_one();
}

std::unique_ptr<Work> WorkQueue::Take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return !queue_.empty() || closed_; });
    if (closed_ || queue_.empty()) return nullptr;
    std::unique_ptr<Work> work = std::move(queue_.front());
    queue_.pop_front();
    return work;
}

void WorkQueue::Close() {
    std::deque<std::unique_ptr<Work>> refused;
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        refused.swap(queue_);
    }
    for (const auto& work : refused) work->answer(StoppingResponse());
    arrived_.notify_all();
}

}  // namespace vhost::studio
