// The person's actions in the studio, done on the host thread; the route table
// (studio_routes.cpp) names them. Each checks the whole request before it changes anything, so a
// refused request (see request_errors.h) changes nothing, and answers its report, to which the
// session adds the version.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "actions/perform.h"
#include "studio/http_message.h"
#include "studio/state_json.h"
#include "studio/studio_progress.h"
#include "studio/upload_folder.h"

namespace vhost {
class Host;
}

namespace vhost::studio {

class StudioActions {
public:
    // `scenePath` is where the active document came from (empty: a new document). Dropped files
    // are kept in a folder made in `uploadParent` (the system's temporary folder when empty) and
    // removed with the actions. Opening and saving show their progress through `progress`, and
    // stop when a page cancels them.
    StudioActions(Host& host, StudioProgress& progress, std::string scenePath,
                  std::filesystem::path uploadParent);

    // The document as the studio knows it: where it came from, whether it changed since.
    const DocumentRecord& Record() const { return record_; }

    nlohmann::json Select(const nlohmann::json& body);
    nlohmann::json SetObject(const nlohmann::json& body);
    nlohmann::json Press(const nlohmann::json& body);
    nlohmann::json Key(const nlohmann::json& body);
    nlohmann::json SetPreference(const nlohmann::json& body);
    nlohmann::json ClickPreference(const nlohmann::json& body);
    // A window action while no window is open: refused.
    nlohmann::json NoWindow(const nlohmann::json& body);
    nlohmann::json Open(const nlohmann::json& body);
    nlohmann::json Save(const nlohmann::json& body);
    // A dropped file's bytes; the query names the file and, for the later files of one drop, the
    // drop.
    nlohmann::json Upload(const HttpRequest& request);
    // Where dropped files are kept; its NewIncoming is safe from any thread.
    UploadFolder& Uploads() { return uploads_; }

    // Edits of the active document's objects, and undo and redo (studio_edits.cpp). Each answers
    // "step", the name of the step of the history it did or took back.
    nlohmann::json Rename(const nlohmann::json& body);
    nlohmann::json Transform(const nlohmann::json& body);
    // Also answers "ids", the new object's.
    nlohmann::json Create(const nlohmann::json& body);
    // Each object given with its subtree, as one step each.
    nlohmann::json Delete(const nlohmann::json& body);
    nlohmann::json Move(const nlohmann::json& body);
    nlohmann::json Copy(const nlohmann::json& body);
    nlohmann::json Cut(const nlohmann::json& body);
    // Also answers "ids", the copies'.
    nlohmann::json Paste(const nlohmann::json& body);
    nlohmann::json Undo(const nlohmann::json& body);
    nlohmann::json Redo(const nlohmann::json& body);

private:
    nlohmann::json OpenDropped(const nlohmann::json& body);
    actions::Outcome ReplaceDocument(const actions::OpenDocument& open, const std::string& path,
                                     bool discardChanges);

    // An open or a save done as the work in progress.
    actions::Outcome PerformShowingProgress(const actions::Action& action,
                                            const actions::MayClose& mayClose = {});

    Host& host_;
    StudioProgress& progress_;
    DocumentRecord record_;
    UploadFolder uploads_;
};

}  // namespace vhost::studio
