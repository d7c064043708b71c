#include "studio/request_errors.h"

#include <cctype>
#include <limits>

namespace vhost::studio {

namespace {

int StatusOf(actions::Refusal refusal) {
    using actions::Refusal;
    switch (refusal) {
        case Refusal::NoSuchObject:
        case Refusal::NoSuchCommand:
        case Refusal::NoSuchType:
        case Refusal::NoSuchTake:
        case Refusal::NoSuchDocument:
            return 404;
        case Refusal::NotAChild:
        case Refusal::OwnHierarchy:
        case Refusal::NotAnInstance:
        case Refusal::LinkLoop:
        case Refusal::BadName:
        case Refusal::NotFinite:
        case Refusal::NothingToCopy:
            return 400;
        case Refusal::IdTaken:
        case Refusal::TakeTaken:
        case Refusal::KeptDocument:
        case Refusal::EmptyClipboard:
        case Refusal::NothingToUndo:
        case Refusal::NothingToRedo:
        case Refusal::OutOfStep:
        case Refusal::Cancelled:
            return 409;
        case Refusal::FileProblem:
            return 422;
        case Refusal::None:
            break;
    }
    return 500;  // a done action is never refused
}

}  // namespace

std::string Sentence(std::string clause) {
    if (!clause.empty()) {
        clause.front() =
            static_cast<char>(std::toupper(static_cast<unsigned char>(clause.front())));
    }
    return clause + ".";
}

void RefuseAction(const actions::Outcome& refused) {
    Refuse(StatusOf(refused.refusal), Sentence(refused.message));
}

using nlohmann::json;

namespace {

// An answer of `status` whose body is the JSON object `members` with "error" set to `text`.
HttpResponse ErrorWith(int status, const std::string& text, json members) {
    members["error"] = text;
    HttpResponse response;
    response.status = status;
    response.body = JsonText(members);
    return response;
}

}  // namespace

HttpResponse ErrorResponse(int status, const std::string& text) {
    return ErrorWith(status, text, json::object());
}

HttpResponse JsonResponse(std::string text) {
    HttpResponse response;
    response.body = std::move(text);
    return response;
}

std::string JsonText(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

void Refuse(int status, const std::string& text) { throw Refused{ErrorResponse(status, text)}; }

void Refuse(int status, const std::string& text, const json& details) {
    throw Refused{ErrorWith(status, text, details)};
}

json BodyObject(const std::string& body) {
    if (body.empty()) return json::object();
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded()) Refuse(400, "The request's body is not valid JSON.");
    if (!parsed.is_object()) Refuse(400, "The request's body must be a JSON object.");
    return parsed;
}

bool OptionalBool(const json& body, const char* name, bool otherwise) {
    if (!body.contains(name)) return otherwise;
    const json& value = body.at(name);
    if (!value.is_boolean()) Refuse(400, std::string("\"") + name + "\" must be true or false.");
    return value.get<bool>();
}

std::optional<std::string> OptionalString(const json& body, const char* name) {
    if (!body.contains(name)) return std::nullopt;
    const json& value = body.at(name);
    if (!value.is_string()) Refuse(400, std::string("\"") + name + "\" must be a string.");
    return value.get<std::string>();
}

std::string RequiredString(const json& body, const char* name) {
    std::optional<std::string> value = OptionalString(body, name);
    if (!value) Refuse(400, std::string("The request needs \"") + name + "\", a string.");
    return *value;
}

std::int32_t RequiredInt(const json& body, const char* name) {
    const json* found = body.contains(name) ? &body.at(name) : nullptr;
    if (found == nullptr || !found->is_number_integer() ||
        found->get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
        found->get<std::int64_t>() > std::numeric_limits<std::int32_t>::max()) {
        Refuse(400, std::string("The request needs \"") + name + "\", a whole number.");
    }
    return found->get<std::int32_t>();
}

}  // namespace vhost::studio
