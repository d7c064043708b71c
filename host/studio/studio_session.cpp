#include "studio/studio_session.h"

#include <charconv>
#include <limits>
#include <memory>
#include <utility>
#include <variant>

#include "host.h"
#include "media/bmp_writer.h"
#include "platform/utf8_path.h"
#include "studio/page_files.h"
#include "studio/request_errors.h"
#include "studio/state_binary.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"
#include "views/page_drawing.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

// Where a bitmap button's picture is read (the route of Picture).
constexpr std::string_view kPictureAddress = "/api/preferences/picture/";

json GadgetJson(const Gadget& gadget) {
    static constexpr const char* kKinds[] = {"group", "static", "edit", "buttons"};
    json out = {{"kind", kKinds[static_cast<int>(gadget.kind)]}};
    switch (gadget.kind) {
        case Gadget::Kind::Group:
            out["id"] = gadget.id;
            out["columns"] = gadget.columns;
            if (!gadget.title.empty()) out["text"] = gadget.title;
            break;
        case Gadget::Kind::StaticText:
        case Gadget::Kind::EditText:
            out["id"] = gadget.id;
            out["text"] = gadget.text;
            break;
        case Gadget::Kind::ButtonRow:
            out["buttons"] = json::array();
            if ((gadget.buttons & HOST_DLG_GROUP_OK) != 0) out["buttons"].push_back("OK");
            if ((gadget.buttons & HOST_DLG_GROUP_CANCEL) != 0) out["buttons"].push_back("Cancel");
            break;
    }
    if (!gadget.children.empty()) {
        out["children"] = json::array();
        for (const Gadget& child : gadget.children) out["children"].push_back(GadgetJson(child));
    }
    return out;
}

// The whole of `text` as a decimal number; none for anything else.
std::optional<std::int64_t> NumberOf(std::string_view text) {
    std::int64_t number = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return number;
}

HttpResponse BmpResponse(const Bitmap& bitmap) {
    HttpResponse response;
    response.contentType = "image/bmp";
    response.body = EncodeBmp(bitmap);
    return response;
}

json ValueJson(const DrawnParameter& parameter) {
    const Value& value = parameter.value;
    switch (value.TypeNumber()) {
        case HOST_TYPE_INT32:
            if (parameter.kind == ParameterKind::Bool) return value.AsInt32() != 0;
            return value.AsInt32();
        case HOST_TYPE_INT64:
            return value.AsInt64();
        case HOST_TYPE_FLOAT:
            return value.AsFloat();
        case HOST_TYPE_STRING:
            return value.AsString();
        default:
            return nullptr;
    }
}

}  // namespace

StudioSession::StudioSession(Host& host, EventStream& events, std::string scenePath,
                             std::filesystem::path uploadParent)
    : host_(host),
      events_(events),
      progress_(events),
      actions_(host, progress_, std::move(scenePath), std::move(uploadParent)),
      window_(nullptr) {
    host_.RefreshCommandStates();
    sent_ = TakeSnapshot(Sources());
}

StateSources StudioSession::Sources() {
    return StateSources{host_, actions_.Documents(), meshes_, window_};
}

std::optional<std::string> StudioSession::UnsavedDocument() {
    return actions_.Documents().FirstUnsaved();
}

std::string StudioSession::Hello() const {
    return EventText("hello",
                     JsonText(json{{"version", Version()}, {"progress", progress_.Shown()}}));
}

HttpResponse StudioSession::Serve(const RoutedRequest& request) {
    if (const auto* read = std::get_if<Read>(&request.route->handler)) {
        return (this->*read->answer)(request.parameter);
    }
    return DoAction(request);
}

json StudioSession::VersionAnswer() const { return {{"version", Version()}}; }

// Reads -------------------------------------------------------------------------------------------

HttpResponse StudioSession::State(std::string_view /*parameter*/) {
    HttpResponse response;
    response.contentType = kStateContentType;
    response.body = WholeStateBody(Sources(), Version());
    return response;
}

HttpResponse StudioSession::Preferences(std::string_view /*parameter*/) {
    std::string problem;
    const std::optional<DrawnPage> page = DrawPage(host_, ID_VELAPREFS, problem);
    if (!page) return ErrorResponse(404, "The preferences page cannot be shown: " + problem + ".");
    json parameters = json::array();
    for (const DrawnParameter& parameter : page->parameters) {
        json entry = {{"id", parameter.id},
                      {"name", parameter.symbol},
                      {"kind", KindName(parameter.kind)},
                      {"label", parameter.label},
                      {"value", ValueJson(parameter)}};
        if (parameter.picture) {
            entry["picture"] = {
                {"url", std::string(kPictureAddress) + std::to_string(parameter.id)},
                {"width", parameter.picture->first},
                {"height", parameter.picture->second}};
        }
        parameters.push_back(std::move(entry));
    }
    return JsonResponse(JsonText(json{{"title", page->title.empty() ? page->name : page->title},
                                      {"parameters", parameters}}));
}

HttpResponse StudioSession::Icon(std::string_view /*parameter*/) {
    const RegisteredCommand* command = host_.FindCommand(ID_VELA);
    if (command == nullptr || command->icon == nullptr) {
        return ErrorResponse(404, "The Vela Button has no icon.");
    }
    return BmpResponse(*command->icon);
}

HttpResponse StudioSession::Picture(std::string_view number) {
    const std::optional<std::int64_t> id = NumberOf(number);
    std::string problem = "there is no button " + Quoted(number);
    std::unique_ptr<Bitmap> picture;
    if (id && *id >= std::numeric_limits<std::int32_t>::min() &&
        *id <= std::numeric_limits<std::int32_t>::max()) {
        picture = DrawPicture(host_, ID_VELAPREFS, static_cast<std::int32_t>(*id), problem);
    }
    if (picture == nullptr) {
        return ErrorResponse(404, "The preferences show no picture: " + problem + ".");
    }
    return BmpResponse(*picture);
}

HttpResponse StudioSession::Mesh(std::string_view number) {
    const std::optional<std::int64_t> n = NumberOf(number);
    const vhost::Mesh* mesh = n ? meshes_.Find(*n) : nullptr;
    if (mesh == nullptr) return ErrorResponse(404, "There is no mesh " + Quoted(number) + ".");
    return JsonResponse(JsonText(MeshJson(*mesh, textures_)));
}

HttpResponse StudioSession::TextureImage(std::string_view number) {
    const std::optional<std::int64_t> n = NumberOf(number);
    const Texture* texture = n ? textures_.Find(*n) : nullptr;
    if (texture == nullptr) {
        return ErrorResponse(404, "There is no texture " + Quoted(number) + ".");
    }
    HttpResponse response;
    response.contentType = ImageContentType(texture->format);
    response.body = texture->bytes;
    return response;
}

HttpResponse StudioSession::Look(std::string_view id) {
    const std::optional<std::int64_t> n = NumberOf(id);
    const Object* object =
        n && *n > 0 ? host_.ActiveDocument().FindById(static_cast<ObjectId>(*n)) : nullptr;
    if (object == nullptr) return ErrorResponse(404, "There is no object " + Quoted(id) + ".");
    return JsonResponse(JsonText(LookJson(*object)));
}

HttpResponse StudioSession::Opened(std::string_view number) {
    const std::optional<std::int64_t> n = NumberOf(number);
    const std::vector<std::string>& files = host_.OpenedFiles();
    if (!n || *n < 0 || *n >= static_cast<std::int64_t>(files.size())) {
        return ErrorResponse(404, "The module opened no file " + Quoted(number) + ".");
    }
    return FileResponse(PathFromUtf8(files[static_cast<std::size_t>(*n)]));
}

// Actions -----------------------------------------------------------------------------------------

json StudioSession::Perform(const RoutedRequest& request) {
    const RouteHandler& handler = request.route->handler;
    const HttpRequest& http = request.request;
    if (const auto* act = std::get_if<Act>(&handler)) {
        return (actions_.*act->act)(BodyObject(http.body));
    }
    if (const auto* inWindow = std::get_if<ActInWindow>(&handler)) {
        return (actions_.*inWindow->act)(BodyObject(http.body));
    }
    if (const auto* bytes = std::get_if<ActOnBytes>(&handler)) return (actions_.*bytes->act)(http);
    // The page's files and the event stream are answered before the host thread.
    Refuse(404, "There is nothing to do at " + http.path + ".");
}

HttpResponse StudioSession::DoAction(const RoutedRequest& request) {
    actions_.Documents().BeforeAction();
    try {
        json report = Perform(request);
        actions_.Documents().AfterAction();
        // The action has returned, so every window it opened has closed.
        ShowNoWindow();
        host_.RefreshCommandStates();
        PublishChanges();
        report["version"] = Version();
        return JsonResponse(JsonText(report));
    } catch (const Refused& refused) {
        actions_.Documents().AfterAction();
        return refused.response;
    }
}

// Events ------------------------------------------------------------------------------------------

void StudioSession::ShowWindow(const OpenWindow& window) {
    if (window.kind == OpenWindow::Kind::Message) {
        window_ = {{"kind", "message"}, {"text", window.text}};
        windowName_ = "the message box " + Quoted(window.text.substr(0, window.text.find('\n')));
    } else {
        window_ = {{"kind", "dialog"},
                   {"title", window.title},
                   {"layout", window.layout != nullptr ? GadgetJson(*window.layout) : json()}};
        windowName_ = "the dialog " + Quoted(window.title);
    }
}

void StudioSession::ShowNoWindow() {
    window_ = nullptr;
    windowName_.clear();
}

void StudioSession::PublishChanges() {
    Snapshot now = TakeSnapshot(Sources(), std::move(spare_));
    const std::vector<json> lines = now.consoleLines > sent_.consoleLines
                                        ? ConsoleLinesFrom(host_, sent_.consoleLines)
                                        : std::vector<json>{};
    const Changes changes = ChangesBetween(sent_, now, lines);
    spare_ = std::move(sent_);
    sent_ = std::move(now);
    if (changes.tree) {
        events_.Publish("reload", JsonText(json{{"version", ++version_}}));
    } else if (!changes.Empty()) {
        events_.Publish("change", changes.EventText(++version_));
    }
}

}  // namespace vhost::studio
