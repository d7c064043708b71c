#include "studio/host_thread.h"

#include <chrono>

#include "host.h"

namespace vhost::studio {

namespace {

constexpr std::chrono::milliseconds kStopCheck{100};

}  // namespace

HostThread::HostThread(Host& host, const StudioSettings& settings)
    : host_(host),
      session_(host, events_, settings.scenePath, settings.uploadParent),
      person_(queue_, session_, [this] { return stopping_.load(); }),
      handler_(
          settings.access, settings.pageFolder,
          [this](WorkKind kind, HttpRequest request) {
              return queue_.Submit(kind, std::move(request));
          },
          events_, [this] { return session_.Hello(); }) {
    host_.Dialogs().SetPerson([this](const OpenWindow& window) { return person_.Ask(window); });
}

HostThread::~HostThread() {
    host_.Dialogs().SetPerson(nullptr);
    Stop();
}

void HostThread::Run() {
    while (!stopping_.load()) {
        std::unique_ptr<Work> work = queue_.Take(kStopCheck);
        if (work == nullptr) continue;
        HttpResponse response = session_.Serve(work->request);
        person_.AnswerTaken();
        work->answer.set_value(std::move(response));
    }
    person_.AnswerTaken(StoppingResponse());
    queue_.Close();
    events_.Close();
}

void HostThread::Stop() {
    stopping_.store(true);
    queue_.Close();
    events_.Close();
}

}  // namespace vhost::studio
