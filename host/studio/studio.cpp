#include "studio/studio.h"

#include <chrono>

#include "host.h"

namespace vhost::studio {

namespace {

constexpr std::chrono::milliseconds kStopCheck{100};

}  // namespace

Studio::Studio(Host& host, const StudioSettings& settings)
    : host_(host),
      session_(host, events_, settings.scenePath, settings.uploadParent),
      person_(queue_, session_, [this] { return stopping_.load(); }),
      handler_(
          settings.access, settings.pageFolder,
          [this](RoutedRequest request, Reply reply) {
              queue_.Submit(std::move(request), std::move(reply));
          },
          events_, [this] { return session_.Hello(); },
          [this](std::string& problem) { return session_.Uploads().NewIncoming(problem); },
          [this] { return session_.WorkInProgress().Cancel(); }) {
    host_.Dialogs().SetPerson([this](const OpenWindow& window) { return person_.Ask(window); });
}

Studio::~Studio() {
    host_.Dialogs().SetPerson(nullptr);
    Stop();
}

void Studio::Run() {
    while (!stopping_.load()) {
        std::unique_ptr<Work> work = queue_.Take(kStopCheck);
        if (work == nullptr) continue;
        HttpResponse response = session_.Serve(work->request);
        person_.AnswerTaken();
        work->answer(std::move(response));
    }
    person_.AnswerTaken(StoppingResponse());
    queue_.Close();
    events_.Close();
}

void Studio::Stop() {
    stopping_.store(true);
    queue_.Close();
    events_.Close();
}

}  // namespace vhost::studio
