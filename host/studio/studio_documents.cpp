#include "studio/studio_documents.h"

#include <cctype>
#include <utility>

#include "actions/history.h"
#include "host.h"
#include "studio/request_errors.h"
#include "studio/studio_actions.h"
#include "text/quoting.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

// The serial the request's `document` gives; a missing one names the active document.
std::uint64_t SerialOf(Host& host, const json& body) {
    if (!body.contains("document")) return host.ActiveDocument().Serial();
    const json& serial = body.at("document");
    if (!serial.is_number_unsigned()) {
        Refuse(400, "\"document\" must be the serial of an open document.");
    }
    return serial.get<std::uint64_t>();
}

int StatusOf(actions::Refusal refusal) {
    using actions::Refusal;
    switch (refusal) {
        case Refusal::NoSuchObject:
        case Refusal::NoSuchCommand:
        case Refusal::NoSuchType:
        case Refusal::NoSuchTake:
        case Refusal::NoSuchDocument:
            return 404;
        case Refusal::BadName:
        case Refusal::NotFinite:
        case Refusal::NothingToCopy:
        case Refusal::NotAnInstance:
            return 400;
        case Refusal::FileProblem:
            return 422;
        default:
            return 409;
    }
}

// A clause of the host's messages as a sentence of its own.
std::string Sentence(std::string clause) {
    if (!clause.empty()) {
        clause[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(clause[0])));
    }
    return clause + ".";
}

}  // namespace

void RefuseAction(const actions::Outcome& refused) {
    Refuse(StatusOf(refused.refusal), Sentence(refused.message));
}

// Records ----------------------------------------------------------------------------------------

DocumentRecords::DocumentRecords(Host& host, std::string activePath)
    : host_(host), writesBefore_(host.GetActivity().sceneChanges) {
    Settled(host_.ActiveDocument(), std::move(activePath));
}

const DocumentRecord& DocumentRecords::Of(const Document& document) {
    const auto [found, added] = records_.try_emplace(document.Serial());
    if (added) found->second.editsAtStart = actions::HistoryOf(host_, document).Edits();
    return found->second;
}

bool DocumentRecords::Changed(const Document& document) {
    const DocumentRecord& record = Of(document);
    return record.moduleWrote || actions::HistoryOf(host_, document).Edits() != record.editsAtStart;
}

void DocumentRecords::Settled(const Document& document, std::string path) {
    records_[document.Serial()] =
        DocumentRecord{std::move(path), actions::HistoryOf(host_, document).Edits(), false};
}

std::optional<std::string> DocumentRecords::FirstUnsaved() {
    if (Changed(host_.ActiveDocument())) return host_.ActiveDocument().Name();
    for (const auto& document : host_.Documents()) {
        if (Changed(*document)) return document->Name();
    }
    return std::nullopt;
}

void DocumentRecords::BeforeAction() {
    actedOn_ = host_.ActiveDocument().Serial();
    writesBefore_ = host_.GetActivity().sceneChanges;
}

void DocumentRecords::AfterAction() {
    const std::uint64_t writes = host_.GetActivity().sceneChanges;
    if (writes != writesBefore_) {
        if (const Document* acted = host_.FindDocument(actedOn_)) {
            Of(*acted);
            records_[actedOn_].moduleWrote = true;
        }
    }
    writesBefore_ = writes;
    std::erase_if(records_,
                  [this](const auto& entry) { return host_.FindDocument(entry.first) == nullptr; });
}

json DocumentRecords::Json() {
    json documents = json::array();
    const Document& active = host_.ActiveDocument();
    for (const auto& document : host_.Documents()) {
        documents.push_back({{"serial", document->Serial()},
                             {"name", document->Name()},
                             {"path", Of(*document).path},
                             {"changed", Changed(*document)},
                             {"active", document.get() == &active}});
    }
    return documents;
}

json TakesJson(const Document& document) {
    json names = json::array();
    int current = -1;
    if (const TakeData* takes = document.Takes()) {
        for (const auto& take : takes->Takes()) {
            if (take.get() == takes->CurrentTake()) current = static_cast<int>(names.size());
            names.push_back(take->Name());
        }
    }
    return {{"names", std::move(names)}, {"current", current}};
}

// Actions ----------------------------------------------------------------------------------------

json StudioActions::NewDocument(const json& body) {
    const std::string name = OptionalString(body, "name").value_or("Untitled");
    if (name.empty()) Refuse(400, "A document needs a name.");
    actions::Perform(host_, actions::NewDocument{name});
    documents_.Settled(host_.ActiveDocument(), "");
    return {{"document", host_.ActiveDocument().Serial()}};
}

json StudioActions::SwitchDocument(const json& body) {
    const actions::Outcome switched =
        actions::Perform(host_, actions::SwitchDocument{SerialOf(host_, body)});
    if (!switched.Done()) RefuseAction(switched);
    return json::object();
}

// Closing a document with changes that were not saved is refused as an open over it is (409,
// with "unsaved" naming it) unless the request says to discard them.
json StudioActions::CloseDocument(const json& body) {
    const std::uint64_t serial = SerialOf(host_, body);
    const bool discardChanges = OptionalBool(body, "discardChanges", false);
    const actions::Outcome closed = actions::Perform(
        host_, actions::CloseDocument{serial},
        [&](const Document& closing) { return discardChanges || !documents_.Changed(closing); });
    if (closed.refusal == actions::Refusal::KeptDocument) {
        const std::string name = host_.FindDocument(serial)->Name();
        Refuse(409,
               Quoted(name) +
                   " has changes that are not saved. Save it first, or close it again and say to "
                   "discard them (\"discardChanges\": true).",
               json{{"unsaved", name}});
    }
    if (!closed.Done()) RefuseAction(closed);
    return {{"document", host_.ActiveDocument().Serial()}};
}

json StudioActions::NewTake(const json& body) {
    const std::string name = RequiredString(body, "name");
    if (name.empty()) Refuse(400, "A take needs a name.");
    const actions::Outcome made = actions::Perform(host_, actions::NewTake{name});
    if (!made.Done()) RefuseAction(made);
    return json::object();
}

json StudioActions::UseTake(const json& body) {
    const actions::Outcome used =
        actions::Perform(host_, actions::UseTake{RequiredString(body, "name")});
    if (!used.Done()) RefuseAction(used);
    return json::object();
}

}  // namespace vhost::studio
