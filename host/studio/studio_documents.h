// The documents open in the studio (the page shows them as tabs) and the takes of the active one:
// what the studio knows of each open document beyond the host, and the state's `documents` and
// `takes` members. The person's actions on documents and takes are StudioActions' (defined in
// studio_documents.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "actions/perform.h"

namespace vhost {
class Document;
class Host;
}  // namespace vhost

namespace vhost::studio {

// An open document as the studio knows it: where it came from and what it was then.
struct DocumentRecord {
    std::string path;              // empty for a document never opened from or saved to a file
    std::uint64_t editsAtStart{};  // its history's edit count when it was opened or saved
    bool moduleWrote = false;      // a command wrote into it since then
};

// A record for every open document, kept by the document's serial. A document the studio has
// not been told of (a new one) counts as never saved and unchanged from when it was first seen.
class DocumentRecords {
public:
    // `activePath` is where the active document came from (empty: a new document).
    DocumentRecords(Host& host, std::string activePath);

    const DocumentRecord& Of(const Document& document);
    // Changed since it was opened or saved: an edit of its history done, undone or redone, or a
    // write of a command into its scene.
    bool Changed(const Document& document);
    // The document holds what the file at `path` holds: it was just opened or saved.
    void Settled(const Document& document, std::string path);
    // The name of an open document with changes that were not saved, the active one first.
    std::optional<std::string> FirstUnsaved();

    // Around every action of the studio: the scene writes a command made during the action (the
    // host counts them, not where they went) are changes of the document that was active when
    // it began, since a command acts on that one; records of closed documents are dropped.
    void BeforeAction();
    void AfterAction();

    // [{serial, name, path, changed, active}] in the host's order of the documents, as the
    // state's `documents` member.
    nlohmann::json Json();

private:
    Host& host_;
    std::map<std::uint64_t, DocumentRecord> records_;
    std::uint64_t actedOn_ = 0;
    std::uint64_t writesBefore_ = 0;
};

// The takes of `document` as the state's `takes` member: {names: [the main take first, ...],
// current: the current take's index}. A document without take data (some old scene files) has
// no names and current -1; a take added gives it the main take too.
nlohmann::json TakesJson(const Document& document);

// Refuses a request with the sentence of a refused action (actions/perform.h), and the status
// that says what kind of refusal it was: 404 for what is not there, 409 for what the document's
// present state does not allow, 400 for a value that can never be done, 422 for a file.
[[noreturn]] void RefuseAction(const actions::Outcome& refused);

}  // namespace vhost::studio
