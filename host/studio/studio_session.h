// The studio's side of the host thread: it answers the requests the work queue hands it, does the
// person's actions on the host, and after each change sends every page what changed. Everything
// here runs on the host thread, the one thread that calls the module.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "actions/perform.h"
#include "studio/event_stream.h"
#include "studio/http_message.h"
#include "studio/state_json.h"
#include "studio/upload_folder.h"
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

    // Answers a request for /api/... that passed the access rules. Actions that change something
    // are followed by an event to every page before the answer.
    HttpResponse Serve(const HttpRequest& request);
    // The answer to a window action while no window waits for one. [host thread]
    nlohmann::json VersionAnswer() const;

    // The version of the state last sent; safe from any thread.
    std::uint64_t Version() const { return version_.load(); }
    // The event a new page's stream starts with.
    std::string Hello() const;
    // The name of the active document when it has changes that were not saved. [host thread]
    std::optional<std::string> UnsavedDocument();

    // The modal window the person sees now, set by the person while a window waits for them.
    void ShowWindow(const OpenWindow& window);
    void ShowNoWindow();
    bool WindowShown() const { return !window_.is_null(); }
    // The window's title or the start of its text, to name it in refusals.
    const std::string& WindowName() const { return windowName_; }
    // Sends every page what changed since the last event; nothing when nothing changed.
    void PublishChanges();

private:
    // An action answers its report; the session adds the version after it.
    using Handler = nlohmann::json (StudioSession::*)(const nlohmann::json&);
    HttpResponse Read(const HttpRequest& request);
    HttpResponse Act(const HttpRequest& request);
    // The action the request asks for, done; answers its report.
    nlohmann::json Perform(const HttpRequest& request);
    static Handler ActionFor(const std::string& path);
    StateSources Sources();

    // Reads.
    HttpResponse State();
    HttpResponse Preferences();
    HttpResponse Icon();
    HttpResponse Picture(const std::string& number);
    HttpResponse Mesh(const std::string& number);
    HttpResponse Opened(const std::string& number);
    // Actions; each answers its report (the session adds the version after it).
    nlohmann::json Select(const nlohmann::json& body);
    nlohmann::json SetObject(const nlohmann::json& body);
    nlohmann::json Press(const nlohmann::json& body);
    nlohmann::json Key(const nlohmann::json& body);
    nlohmann::json SetPreference(const nlohmann::json& body);
    nlohmann::json ClickPreference(const nlohmann::json& body);
    nlohmann::json NoWindow(const nlohmann::json& body);
    nlohmann::json Open(const nlohmann::json& body);
    nlohmann::json Save(const nlohmann::json& body);
    // A dropped file's bytes; the query names the file and, for the later files of one drop, the
    // drop.
    nlohmann::json Upload(const HttpRequest& request);
    nlohmann::json OpenDropped(const nlohmann::json& body);
    actions::Outcome ReplaceDocument(const actions::OpenDocument& open, const std::string& path,
                                     bool discardChanges);

    Host& host_;
    EventStream& events_;
    DocumentRecord record_;
    UploadFolder uploads_;
    MeshNumbers meshes_;
    Snapshot sent_;
    std::atomic<std::uint64_t> version_{1};
    nlohmann::json window_;
    std::string windowName_;
};

// The action a window request asks for; none with `error` set when the body asks for none.
std::optional<DialogAction> WindowActionOf(const std::string& body, const OpenWindow& window,
                                           HttpResponse& error);

}  // namespace vhost::studio
