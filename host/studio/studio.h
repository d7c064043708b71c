// The studio, put together around one Host: the event stream, the work queue, the session, the
// person and the request handler. The thread that calls Run is the host thread (the one that calls
// the module); the handler may be called from any other thread. A server (studio_server.h) only
// listens and hands requests to the handler.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "studio/event_stream.h"
#include "studio/request_handler.h"
#include "studio/studio_person.h"
#include "studio/studio_session.h"
#include "studio/work_queue.h"

namespace vhost {
class Host;
}

namespace vhost::studio {

struct StudioSettings {
    AccessRules access;
    std::filesystem::path pageFolder;
    std::string scenePath;  // where the active document came from
    // Where the folder of dropped files is made; the system's temporary folder when empty.
    std::filesystem::path uploadParent;
};

class Studio {
public:
    // Made on the host thread; the host's dialogs ask the studio's person from now on.
    Studio(Host& host, const StudioSettings& settings);
    ~Studio();  // the dialogs go back to cancelling windows nobody attends
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    const RequestHandler& Handler() const { return handler_; }
    EventStream& Events() { return events_; }

    // Serves requests, one at a time in arrival order, until Stop. [host thread]
    void Run();
    // Ends Run soon (an open window is cancelled) and refuses requests from now on; ends every
    // event stream. Safe from any thread and from a signal's flag check.
    void Stop();
    // The name of an open document with changes that were not saved, the active one first.
    // [host thread, after Run]
    std::optional<std::string> UnsavedDocument() { return session_.UnsavedDocument(); }

private:
    Host& host_;
    std::atomic<bool> stopping_{false};
    EventStream events_;
    WorkQueue queue_;
    StudioSession session_;
    StudioPerson person_;
    RequestHandler handler_;
};

}  // namespace vhost::studio
