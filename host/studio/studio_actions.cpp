#include "studio/studio_actions.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "actions/perform.h"
#include "host.h"
#include "platform/utf8_path.h"
#include "prefs/preference_pages.h"
#include "shortcuts/shortcut_table.h"
#include "studio/request_errors.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"
#include "views/page_drawing.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

Object& ObjectOf(Host& host, std::int64_t id) {
    Object* object = id > 0 ? host.ActiveDocument().FindById(static_cast<ObjectId>(id)) : nullptr;
    if (object == nullptr) Refuse(404, "There is no object " + std::to_string(id) + ".");
    return *object;
}

std::vector<Object*> ObjectsOf(Host& host, const json& body) {
    if (!body.contains("ids")) return {};
    const json& list = body.at("ids");
    if (!list.is_array()) Refuse(400, "\"ids\" must be a list of object ids.");
    std::vector<Object*> objects;
    for (const json& id : list) {
        if (!id.is_number_integer()) Refuse(400, "\"ids\" must be a list of object ids.");
        objects.push_back(&ObjectOf(host, id.get<std::int64_t>()));
    }
    return objects;
}

std::optional<Mode> ModeField(const json& body, const char* name) {
    const std::optional<std::string> word = OptionalString(body, name);
    if (!word) return std::nullopt;
    const std::optional<Mode> mode = ModeFromName(*word);
    if (!mode) {
        Refuse(400, std::string("\"") + name + R"(" must be "default", "on" or "off", not )" +
                        Quoted(*word) + ".");
    }
    return mode;
}

std::int32_t QualifiersOf(const json& body) {
    return (OptionalBool(body, "shift", false) ? HOST_QUALIFIER_SHIFT : 0) |
           (OptionalBool(body, "ctrl", false) ? HOST_QUALIFIER_CTRL : 0) |
           (OptionalBool(body, "alt", false) ? HOST_QUALIFIER_ALT : 0);
}

// The name of the command a shortcut ran: a registered command's, or one of the host's own.
std::string CommandName(Host& host, std::int32_t id) {
    if (const RegisteredCommand* command = host.FindCommand(id)) return command->name;
    if (const BuiltinCommand* builtin = ShortcutTable::FindBuiltin(id)) {
        return std::string(builtin->name);
    }
    return std::to_string(id);
}

PageNode& PreferencePage(Host& host) {
    PageNode* node = host.Pages().NodeOf(ID_VELAPREFS);
    if (node == nullptr) {
        Refuse(404, "The preferences page is not there: the module did not load or start.");
    }
    return *node;
}

// The answer lives in `page`: a page that is about to go cannot be asked.
const DrawnParameter& ParameterOf(DrawnPage&& page, std::int32_t id) = delete;
const DrawnParameter& ParameterOf(const DrawnPage& page, std::int32_t id) {
    const auto found = std::find_if(page.parameters.begin(), page.parameters.end(),
                                    [id](const DrawnParameter& p) { return p.id == id; });
    if (found == page.parameters.end()) {
        Refuse(404, "The preferences page has no parameter " + std::to_string(id) + ".");
    }
    return *found;
}

DrawnPage DrawnPreferences(Host& host) {
    std::string problem;
    std::optional<DrawnPage> page = DrawPage(host, ID_VELAPREFS, problem);
    if (!page) Refuse(404, "The preferences page cannot be shown: " + problem + ".");
    return std::move(*page);
}

Value ParameterValue(const DrawnParameter& parameter, const json& body) {
    if (!body.contains("value")) Refuse(400, "The request needs \"value\".");
    const json& value = body.at("value");
    if (parameter.kind == ParameterKind::Bool) {
        if (!value.is_boolean()) Refuse(400, parameter.label + " takes true or false.");
        return Value::Int32(value.get<bool>() ? 1 : 0);
    }
    if (value.is_number_integer() && parameter.kind == ParameterKind::Long) {
        return Value::Int32(value.get<std::int32_t>());
    }
    if (value.is_number() && parameter.kind == ParameterKind::Real) {
        return Value::Float(value.get<double>());
    }
    if (value.is_string() && parameter.kind == ParameterKind::String) {
        return Value::String(value.get<std::string>());
    }
    Refuse(400, parameter.label + " does not take " + JsonText(value) + ".");
}

// The plain file name a dropped file is kept and opened under.
std::string DroppedName(const std::string& name) {
    if (const std::optional<std::string> problem = FileNameProblem(name)) {
        Refuse(400, "A dropped file needs a plain file name: " + *problem + ".");
    }
    return name;
}

// The drop a request names, as a number of this studio run.
std::int32_t DropOf(const UploadFolder& uploads, std::int64_t drop) {
    if (drop < 1 || drop > std::numeric_limits<std::int32_t>::max() ||
        !uploads.HasDrop(static_cast<std::int32_t>(drop))) {
        Refuse(404, "There is no drop " + std::to_string(drop) + " in this studio.");
    }
    return static_cast<std::int32_t>(drop);
}

// The upload's "drop" in the query: the drop a later file of the same drop joins; none for the
// first file, which begins a new drop.
std::optional<std::int32_t> JoinedDrop(const UploadFolder& uploads,
                                       const std::map<std::string, std::string>& query) {
    const auto found = query.find("drop");
    if (found == query.end()) return std::nullopt;
    const std::string& text = found->second;
    std::int64_t drop = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), drop);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        Refuse(400, "\"drop\" must be the number of a drop, not " + Quoted(text) + ".");
    }
    return DropOf(uploads, drop);
}

// A message of the host's actions (a clause) as a sentence of its own.
std::string Sentence(std::string clause) {
    if (!clause.empty() && clause.front() >= 'a' && clause.front() <= 'z') {
        clause.front() = static_cast<char>(clause.front() - 'a' + 'A');
    }
    return clause + ".";
}

}  // namespace

StudioActions::StudioActions(Host& host, StudioProgress& progress, std::string scenePath,
                             std::filesystem::path uploadParent)
    : host_(host), progress_(progress), uploads_(std::move(uploadParent)) {
    record_.path = std::move(scenePath);
    record_.changesAtStart = host_.GetActivity().sceneChanges;
}

json StudioActions::Select(const json& body) {
    const std::string mode = OptionalString(body, "mode").value_or("replace");
    if (mode != "replace" && mode != "add" && mode != "toggle") {
        Refuse(400, R"("mode" must be "replace", "add" or "toggle", not )" + Quoted(mode) + ".");
    }
    actions::SelectObjects select;
    select.how = mode == "add"      ? actions::SelectHow::Add
                 : mode == "toggle" ? actions::SelectHow::Toggle
                                    : actions::SelectHow::Replace;
    select.children = OptionalBool(body, "children", false);
    for (const Object* object : ObjectsOf(host_, body)) select.objects.push_back(object->Id());
    actions::Perform(host_, select);
    return json::object();
}

json StudioActions::SetObject(const json& body) {
    const actions::SetStates set{ObjectOf(host_, RequiredInt(body, "id")).Id(),
                                 ModeField(body, "editor"), ModeField(body, "render"),
                                 body.contains("enabled")
                                     ? std::optional(OptionalBool(body, "enabled", true))
                                     : std::nullopt};
    actions::Perform(host_, set);
    record_.editedByHand = record_.editedByHand || set.editor || set.render || set.enabled;
    return json::object();
}

json StudioActions::Press(const json& body) {
    const actions::Outcome pressed =
        actions::Perform(host_, actions::PressCommand{ID_VELA, QualifiersOf(body)});
    if (!pressed.Done()) {
        Refuse(404, "The Vela Button is not registered: the module did not load or start.");
    }
    return {{"result", pressed.commandResult}};
}

json StudioActions::Key(const json& body) {
    const std::string name = RequiredString(body, "key");
    const std::int32_t qualifiers = QualifiersOf(body);
    const std::int32_t key = ShortcutTable::KeyFromName(name);
    if (key == 0) {
        Refuse(400, Quoted(name) +
                        " is no key: give one character or a key name (Space, Tab, Enter, "
                        "Backspace, Esc, Delete).");
    }
    actions::Perform(host_, actions::StrokeKey{qualifiers, key});
    const KeyMatch& match = host_.Shortcuts().LastMatch();
    const json ran = match.kind == KeyMatch::Kind::Complete
                         ? json(CommandName(host_, match.command))
                         : json(nullptr);
    return {{"ran", ran}};
}

json StudioActions::SetPreference(const json& body) {
    const std::int32_t id = RequiredInt(body, "id");
    PageNode& node = PreferencePage(host_);
    const DrawnPage page = DrawnPreferences(host_);
    const Value value = ParameterValue(ParameterOf(page, id), body);
    host_.Pages().SetParameter(node, DescIdOf(id), value);
    return json::object();
}

json StudioActions::ClickPreference(const json& body) {
    const std::int32_t id = RequiredInt(body, "id");
    PageNode& node = PreferencePage(host_);
    const DrawnPage page = DrawnPreferences(host_);
    const DrawnParameter& parameter = ParameterOf(page, id);
    if (parameter.kind != ParameterKind::Button && parameter.kind != ParameterKind::BitmapButton) {
        Refuse(400, parameter.label + " is not a button.");
    }
    host_.Pages().Click(node, DescIdOf(id));
    return json::object();
}

// A member like every action, so that the route table can name it.
// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
json StudioActions::NoWindow(const json& /*body*/) { Refuse(409, "No window is open."); }

json StudioActions::Open(const json& body) {
    if (body.contains("drop")) return OpenDropped(body);
    const std::string path = RequiredString(body, "path");
    const bool discardChanges = OptionalBool(body, "discardChanges", false);
    const actions::Outcome opened = ReplaceDocument(
        actions::OpenDocument{.path = path, .closeActive = true}, path, discardChanges);
    if (!opened.Done()) Refuse(422, opened.message);
    return json::object();
}

// A dropped file opens like any file, but as a document that was never saved: its record has no
// path, so nothing is ever written back into the upload folder unless the person names it.
json StudioActions::OpenDropped(const json& body) {
    if (body.contains("path")) Refuse(400, R"(Give "path" or "drop", not both.)");
    const std::int32_t drop = DropOf(uploads_, RequiredInt(body, "drop"));
    const std::string name = DroppedName(RequiredString(body, "name"));
    const bool discardChanges = OptionalBool(body, "discardChanges", false);
    const std::filesystem::path file = uploads_.FileOf(drop, name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error))) {
        Refuse(404, "Drop " + std::to_string(drop) + " has no file " + Quoted(name) + ".");
    }
    const actions::Outcome opened =
        ReplaceDocument(actions::OpenDocument{Utf8FromPath(file), name, true}, "", discardChanges);
    if (!opened.Done()) Refuse(422, uploads_.WithoutFolder(drop, opened.message));
    return json::object();
}

// The open document gives way to the one `open` opens. Its changes that were never saved would be
// lost with it, so unless the request says to discard them it is refused (409, with "unsaved"
// naming the document) after the file was read, so that a file that cannot be opened says so first.
// A file that cannot be opened is answered, for the caller to word.
actions::Outcome StudioActions::ReplaceDocument(const actions::OpenDocument& open,
                                                const std::string& path, bool discardChanges) {
    actions::Outcome opened = PerformShowingProgress(
        open, [&](const Document&) { return discardChanges || !record_.Changed(host_); });
    if (opened.refusal == actions::Refusal::KeptDocument) {
        const std::string name = host_.ActiveDocument().Name();
        Refuse(409,
               Quoted(name) +
                   " has changes that are not saved. Save it first, or open again "
                   "and say to discard them (\"discardChanges\": true).",
               json{{"unsaved", name}});
    }
    if (opened.Done()) record_ = DocumentRecord{path, host_.GetActivity().sceneChanges, false};
    return opened;
}

actions::Outcome StudioActions::PerformShowingProgress(const actions::Action& action,
                                                       const actions::MayClose& mayClose) {
    actions::Outcome outcome;
    {
        StudioProgress::Work work(progress_);
        outcome = actions::Perform(host_, action, mayClose, &work.ItsProgress());
    }
    // Called off by the person: said as what they did, not as a fault.
    if (outcome.refusal == actions::Refusal::Cancelled) {
        Refuse(409, Sentence(outcome.message), json{{"cancelled", true}});
    }
    return outcome;
}

json StudioActions::Upload(const HttpRequest& request) {
    const auto named = request.query.find("name");
    if (named == request.query.end()) {
        Refuse(400, "An upload needs the file's name in the address (?name=NAME).");
    }
    const std::string name = DroppedName(named->second);
    const std::optional<std::int32_t> joined = JoinedDrop(uploads_, request.query);
    std::error_code error;
    if (joined && std::filesystem::exists(uploads_.FileOf(*joined, name), error)) {
        Refuse(400,
               "Drop " + std::to_string(*joined) + " has a file " + Quoted(name) + " already.");
    }
    std::string problem;
    const std::optional<std::int32_t> drop = joined ? joined : uploads_.NewDrop(problem);
    if (drop) {
        problem = request.bodyFile.empty() ? uploads_.Keep(*drop, name, request.body)
                                           : uploads_.KeepIncoming(*drop, name, request.bodyFile);
    }
    if (!drop || !problem.empty()) {
        Refuse(422, "The dropped file " + Quoted(name) + " cannot be kept: " + problem + ".");
    }
    return {{"drop", *drop}, {"name", name}};
}

json StudioActions::Save(const json& body) {
    const std::string path = OptionalString(body, "path").value_or(record_.path);
    if (path.empty()) {
        Refuse(400, "The document was never saved: give a \"path\" to save it to.");
    }
    const actions::Outcome saved =
        PerformShowingProgress(actions::SaveDocument{path, path != record_.path});
    if (!saved.Done()) Refuse(422, saved.message);
    record_ = DocumentRecord{path, host_.GetActivity().sceneChanges, false};
    return json::object();
}

}  // namespace vhost::studio
