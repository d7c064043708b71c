// The studio's JSON answers, and refusing a request: the body and its fields checked, with a
// sentence a person can read for each thing that is wrong. A refusal is thrown before anything
// changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "actions/perform.h"
#include "studio/http_message.h"

namespace vhost::studio {

// A JSON answer {"error": TEXT} with `status`.
HttpResponse ErrorResponse(int status, const std::string& text);
// A JSON answer with status 200.
HttpResponse JsonResponse(std::string text);

struct Refused {
    HttpResponse response;
};

[[noreturn]] void Refuse(int status, const std::string& text);
// The same, with more members beside "error" for the page to act on.
[[noreturn]] void Refuse(int status, const std::string& text, const nlohmann::json& details);

// A clause of the host's messages (lower-case, no full stop) as a sentence of its own.
std::string Sentence(std::string clause);

// Refuses a request with the sentence of a refused action, and the status that says what kind of
// refusal it was: 404 for what is not there (it may have just gone), 409 for what the document's
// present state does not allow, 400 for a value that can never be done, 422 for a file.
[[noreturn]] void RefuseAction(const actions::Outcome& refused);

// JSON text of a value. Texts that came from outside (a request's path, an imported file's names)
// may hold bytes that are not UTF-8; they are written as U+FFFD instead of failing the answer.
std::string JsonText(const nlohmann::json& value);

// The request's body as a JSON object; an empty body is an empty object.
nlohmann::json BodyObject(const std::string& body);

// Fields of a body. A missing optional field gives its default (or none); a field of the wrong
// kind is refused with 400, as is a missing required one.
bool OptionalBool(const nlohmann::json& body, const char* name, bool otherwise);
std::optional<std::string> OptionalString(const nlohmann::json& body, const char* name);
std::string RequiredString(const nlohmann::json& body, const char* name);
std::int32_t RequiredInt(const nlohmann::json& body, const char* name);

}  // namespace vhost::studio
