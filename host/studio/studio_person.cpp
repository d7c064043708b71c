#include "studio/studio_person.h"

#include <chrono>

#include "studio/request_errors.h"

namespace vhost::studio {

namespace {

constexpr std::chrono::milliseconds kStopCheck{100};

DialogAction::Kind KindOf(const std::string& action, const OpenWindow& window) {
    if (window.kind == OpenWindow::Kind::Message) {
        if (action == "ok" || action == "cancel" || action == "close") {
            return DialogAction::Kind::MessageOk;
        }
        Refuse(400, R"(A message box takes "ok", "cancel" or "close", not ")" + action + "\".");
    }
    if (action == "type") return DialogAction::Kind::Type;
    if (action == "ok") return DialogAction::Kind::Ok;
    if (action == "cancel") return DialogAction::Kind::Cancel;
    if (action == "close") return DialogAction::Kind::Close;
    Refuse(400, R"("action" must be "type", "ok", "cancel" or "close".)");
}

}  // namespace

std::optional<DialogAction> WindowActionOf(const std::string& body, const OpenWindow& window,
                                           HttpResponse& error) {
    try {
        const nlohmann::json request = BodyObject(body);
        DialogAction action{KindOf(RequiredString(request, "action"), window), {}, "the studio"};
        if (action.kind == DialogAction::Kind::Type) action.text = RequiredString(request, "text");
        if (const std::optional<std::string> misfit = ActionMisfit(window, action)) {
            Refuse(400, *misfit + ".");
        }
        return action;
    } catch (const Refused& refused) {
        error = refused.response;
        return std::nullopt;
    }
}

StudioPerson::StudioPerson(WorkQueue& queue, StudioSession& session, std::function<bool()> stopping)
    : queue_(queue), session_(session), stopping_(std::move(stopping)) {}

std::optional<DialogAction> StudioPerson::Ask(const OpenWindow& window) {
    session_.ShowWindow(window);
    session_.PublishChanges();
    AnswerTaken();
    while (!stopping_()) {
        std::unique_ptr<Work> work = queue_.Take(kStopCheck);
        if (work == nullptr) continue;
        if (std::optional<DialogAction> action = ServeDuring(std::move(work), window)) {
            return action;
        }
    }
    return std::nullopt;
}

std::optional<DialogAction> StudioPerson::ServeDuring(std::unique_ptr<Work> work,
                                                      const OpenWindow& window) {
    switch (work->Kind()) {
        case WorkKind::Read:
            work->answer(session_.Serve(work->request));
            return std::nullopt;
        case WorkKind::Action:
            work->answer(ErrorResponse(409, "Answer " + session_.WindowName() +
                                                " first: nothing else can be done "
                                                "while it is open."));
            return std::nullopt;
        case WorkKind::WindowAction:
            break;
    }
    HttpResponse error;
    std::optional<DialogAction> action = WindowActionOf(work->request.request.body, window, error);
    if (!action) {
        work->answer(error);
        return std::nullopt;
    }
    taken_ = std::move(work);
    return action;
}

void StudioPerson::AnswerTaken(std::optional<HttpResponse> response) {
    if (taken_ == nullptr) return;
    taken_->answer(response ? *response : JsonResponse(JsonText(session_.VersionAnswer())));
    taken_.reset();
}

}  // namespace vhost::studio
