// The person at the studio, as the dialog driver asks them: a window the module opens is shown on
// every page, and the host thread keeps serving requests until the window's own action comes.
// Reads are answered meanwhile; every other action is refused with 409, naming the window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "studio/studio_session.h"
#include "studio/work_queue.h"
#include "ui/dialog_driver.h"

namespace vhost::studio {

// The action a window request's body asks for; none with `error` set when the body asks for none
// or for one the window does not take.
std::optional<DialogAction> WindowActionOf(const std::string& body, const OpenWindow& window,
                                           HttpResponse& error);

class StudioPerson {
public:
    StudioPerson(WorkQueue& queue, StudioSession& session, std::function<bool()> stopping);

    // The person's next action in `window`; none when the studio stops first. [host thread]
    std::optional<DialogAction> Ask(const OpenWindow& window);
    // Answers the window action last taken, once it has been done: with the version now, or
    // with `response` when given.
    void AnswerTaken(std::optional<HttpResponse> response = std::nullopt);

private:
    // Serves one request while `window` is open; answers the window action it asks for.
    std::optional<DialogAction> ServeDuring(std::unique_ptr<Work> work, const OpenWindow& window);

    WorkQueue& queue_;
    StudioSession& session_;
    std::function<bool()> stopping_;
    std::unique_ptr<Work> taken_;  // the window action being done; answered when it is done
};

}  // namespace vhost::studio
