// The studio's side of the host thread: it does the requests the work queue hands it (the reads
// here, the actions by StudioActions), and after each change sends every page what changed.
// Everything here runs on the host thread, the one thread that calls the module.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "studio/event_stream.h"
#include "studio/http_message.h"
#include "studio/state_json.h"
#include "studio/studio_actions.h"
#include "studio/studio_progress.h"
#include "studio/studio_routes.h"
#include "ui/dialog_driver.h"

namespace vhost {
class Host;
}

namespace vhost::studio {

class StudioSession {
public:
    // `scenePath` is where the active document came from (empty: a new document). Dropped files
    // are kept in a folder made in `uploadParent` (the system's temporary folder when empty) and
    // removed with the session.
    StudioSession(Host& host, EventStream& events, std::string scenePath,
                  std::filesystem::path uploadParent = {});

    // Does a request of the host thread that passed the access rules. Actions that change
    // something are followed by an event to every page before the answer.
    HttpResponse Serve(const RoutedRequest& request);
    // The answer to a window action while no window waits for one. [host thread]
    nlohmann::json VersionAnswer() const;

    // The version of the state last sent; safe from any thread.
    std::uint64_t Version() const { return version_.load(); }
    // The event a new page's stream starts with: the version, and the work in progress. Safe from
    // any thread.
    std::string Hello() const;
    // The long work the host thread is busy with; its Cancel is safe from any thread.
    StudioProgress& WorkInProgress() { return progress_; }
    // The name of an open document with changes that were not saved, the active one first. [host
    // thread]
    std::optional<std::string> UnsavedDocument();

    // The modal window the person sees now, set by the person while a window waits for them.
    void ShowWindow(const OpenWindow& window);
    void ShowNoWindow();
    bool WindowShown() const { return !window_.is_null(); }
    // The window's title or the start of its text, to name it in refusals.
    const std::string& WindowName() const { return windowName_; }
    // Sends every page what changed since the last event; nothing when nothing changed.
    void PublishChanges();

    // Where dropped files are kept; its NewIncoming is safe from any thread.
    UploadFolder& Uploads() { return actions_.Uploads(); }

    // The reads the route table names; a parameter is the rest of the request's path.
    HttpResponse State(std::string_view parameter = {});
    HttpResponse Preferences(std::string_view parameter);
    HttpResponse Icon(std::string_view parameter);
    HttpResponse Picture(std::string_view number);
    HttpResponse Mesh(std::string_view number);
    HttpResponse Opened(std::string_view number);
    // How things look (studio/looks_json.h): a texture the page was told of, an object's look.
    HttpResponse TextureImage(std::string_view number);
    HttpResponse Look(std::string_view id);

private:
    // Does an action and publishes what it changed; answers its report with the version.
    HttpResponse DoAction(const RoutedRequest& request);
    nlohmann::json Perform(const RoutedRequest& request);
    StateSources Sources();

    Host& host_;
    EventStream& events_;
    StudioProgress progress_;
    StudioActions actions_;
    MeshNumbers meshes_;
    TextureNumbers textures_;
    Snapshot sent_;
    Snapshot spare_;  // the snapshot sent before, whose memory the next one reuses
    std::atomic<std::uint64_t> version_{1};
    nlohmann::json window_;
    std::string windowName_;
};

}  // namespace vhost::studio
