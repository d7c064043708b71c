// The session commands of preference pages: showing a page as the host draws it, setting its
// parameters, clicking its buttons, and expectations on what it keeps and opens.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>

#include "cli/session.h"
#include "platform/utf8_path.h"
#include "prefs/preference_pages.h"
#include "text/quoting.h"
#include "text/utf8.h"
#include "vela2023/vela_ids.h"
#include "views/page_drawing.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kVelaPrefsId = ID_VELAPREFS;

std::optional<std::int32_t> ParseNumber(std::string_view word) {
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseSwitch(std::string_view word) {
    if (word == "on" || word == "yes" || word == "true" || word == "1") {
        return 1;
    }
    if (word == "off" || word == "no" || word == "false" || word == "0") {
        return 0;
    }
    return std::nullopt;
}

std::string ValueText(const Value& value) {
    switch (value.TypeNumber()) {
        case HOST_TYPE_NONE:
            return "nothing";
        case HOST_TYPE_INT32:
            return std::to_string(value.AsInt32());
        case HOST_TYPE_INT64:
            return std::to_string(value.AsInt64());
        case HOST_TYPE_FLOAT:
            return std::to_string(value.AsFloat());
        case HOST_TYPE_STRING:
            return Quoted(value.AsString());
        default:
            return "a value of type " + std::to_string(value.TypeNumber());
    }
}

// The page a session works on: the first page a module registered.
PageNode* SessionPage(Host& host) {
    const auto& pages = host.Pages().All();
    if (pages.empty()) {
        return nullptr;
    }
    return host.Pages().NodeOf(pages.front()->id);
}

}  // namespace

namespace {

// The page's description in the host's language, to find parameters by name and to draw it.
std::unique_ptr<DescriptionBuild> DescribePage(Host& host, PageNode& node) {
    std::int32_t flags = 0;
    bool answer = false;
    return host.Pages().Describe(node, host.LanguageCode(), flags, answer);
}

}  // namespace

bool Session::Page(const ScriptLine& line) {
    if (line.words.size() > 2) {
        return Usage(line);
    }
    std::int32_t id = kVelaPrefsId;
    if (line.words.size() == 2) {
        const std::optional<std::int32_t> given = ParseNumber(line.words[1]);
        if (!given) {
            return Error(line, Quoted(line.words[1]) + " is not a page id (expected a number)");
        }
        id = *given;
    }
    std::string problem;
    const std::optional<DrawnPage> page = DrawPage(host_, id, problem);
    if (!page) {
        return Error(line, problem);
    }
    out_ << "Preferences: " << (page->name.empty() ? "(untitled)" : page->name) << "  [page " << id
         << "]\n";
    if (!page->described) {
        out_ << "  (the page has no description)\n";
        return true;
    }
    for (const DrawnParameter& parameter : page->parameters) {
        std::string shown;
        switch (parameter.kind) {
            case ParameterKind::Bool:
                shown =
                    std::string(parameter.value.AsInt32() != 0 ? "[x] " : "[ ] ") + parameter.label;
                break;
            case ParameterKind::Button:
                shown = "[ " + parameter.label + " ]";
                break;
            case ParameterKind::BitmapButton:
                shown = parameter.picture
                            ? "[picture " + std::to_string(parameter.picture->first) + "x" +
                                  std::to_string(parameter.picture->second) + "] "
                            : "[no picture] ";
                shown += parameter.label;
                break;
            default:
                shown = parameter.label + ": " + ValueText(parameter.value);
                break;
        }
        // Labels are UTF-8: the column is measured in characters, not bytes.
        const std::size_t width = CharacterCount(shown);
        out_ << "  " << shown << std::string(width < 40 ? 40 - width : 2, ' ') << parameter.symbol
             << " (" << parameter.id << ")\n";
    }
    return true;
}

// Finds a page parameter by its name in the description or by its id.
static std::optional<std::int32_t> FindParameter(Host& host, PageNode& node,
                                                 const std::string& word,
                                                 std::optional<ParameterKind>* kind) {
    const std::unique_ptr<DescriptionBuild> description = DescribePage(host, node);
    const std::optional<std::int32_t> number = ParseNumber(word);
    for (const DescriptionBuild::Parameter& parameter : description->Parameters()) {
        if (parameter.symbol == word || (number && parameter.id == *number)) {
            if (kind != nullptr) {
                *kind = parameter.kind;
            }
            return parameter.id;
        }
    }
    return number;  // an id the description does not list, as a host passes any id on
}

bool Session::Pref(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    PageNode* node = SessionPage(host_);
    if (node == nullptr) {
        return Error(line, "no preferences page is registered: the module did not load or start");
    }
    std::optional<ParameterKind> kind;
    const std::optional<std::int32_t> id = FindParameter(host_, *node, line.words[1], &kind);
    if (!id) {
        return Error(line, "the page has no parameter " + Quoted(line.words[1]));
    }
    Value value;
    if (kind == ParameterKind::Bool) {
        const std::optional<std::int32_t> on = ParseSwitch(line.words[2]);
        if (!on) {
            return Error(line, Quoted(line.words[2]) + ": expected on or off");
        }
        value = Value::Int32(*on);
    } else if (const std::optional<std::int32_t> number = ParseNumber(line.words[2])) {
        value = Value::Int32(*number);
    } else {
        value = Value::String(line.words[2]);
    }
    host_.Pages().SetParameter(*node, DescIdOf(*id), value);
    return true;
}

bool Session::Click(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    PageNode* node = SessionPage(host_);
    if (node == nullptr) {
        return Error(line, "no preferences page is registered: the module did not load or start");
    }
    const std::optional<std::int32_t> id = FindParameter(host_, *node, line.words[1], nullptr);
    if (!id) {
        return Error(line, "the page has no parameter " + Quoted(line.words[1]));
    }
    host_.Pages().Click(*node, DescIdOf(*id));
    return true;
}

// expect pref PARAM=VALUE | expect opened file=NAME|web=URL | expect world ID/KEY=VALUE|none
bool Session::ExpectPreferences(const ScriptLine& line) {
    const std::string& subject = line.words[1];
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::string& word = line.words[i];
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos) {
            return Error(line, Quoted(word) + " is not KEY=VALUE");
        }
        const std::string key = word.substr(0, equals);
        const std::string wanted = word.substr(equals + 1);
        if (subject == "pref") {
            if (!ExpectPageParameter(line, key, wanted)) {
                return false;
            }
        } else if (subject == "opened" && (key == "file" || key == "web")) {
            ExpectOpened(line, key, wanted);
        } else if (subject == "world") {
            if (!ExpectWorldValue(line, key, wanted)) {
                return false;
            }
        } else {
            return Error(line,
                         "expected: expect pref PARAM=VALUE | expect opened file=NAME | "
                         "expect opened web=URL | expect world CONTAINER/KEY=VALUE|none");
        }
    }
    return true;
}

bool Session::ExpectPageParameter(const ScriptLine& line, const std::string& parameter,
                                  const std::string& wanted) {
    PageNode* node = SessionPage(host_);
    if (node == nullptr) {
        return Error(line, "no preferences page is registered");
    }
    std::optional<ParameterKind> kind;
    const std::optional<std::int32_t> id = FindParameter(host_, *node, parameter, &kind);
    if (!id) {
        return Error(line, "the page has no parameter " + Quoted(parameter));
    }
    const ParameterAnswer answer = host_.Pages().GetParameter(*node, DescIdOf(*id));
    const std::optional<std::int32_t> number =
        kind == ParameterKind::Bool ? ParseSwitch(wanted) : ParseNumber(wanted);
    if (!number) {
        return Error(line, Quoted(wanted) + ": expected on, off or a number");
    }
    if (answer.value.TypeNumber() != HOST_TYPE_INT32 || answer.value.AsInt32() != *number) {
        ExpectFailed(line, "the page shows " + parameter + " as " + ValueText(answer.value) +
                               ", expected " + std::to_string(*number));
    }
    return true;
}

void Session::ExpectOpened(const ScriptLine& line, const std::string& kind,
                           const std::string& wanted) {
    const std::vector<std::string>& opened =
        kind == "file" ? host_.OpenedFiles() : host_.OpenedWebAddresses();
    const bool found = std::any_of(opened.begin(), opened.end(), [&](const auto& o) {
        return kind == "web" ? o == wanted
                             : Utf8FromPath(PathFromUtf8(o).filename()) == wanted || o == wanted;
    });
    if (found) {
        return;
    }
    std::string list;
    for (const std::string& o : opened) {
        if (!list.empty()) {
            list += ", ";
        }
        list += o;
    }
    ExpectFailed(line, "nothing opened " + kind + " " + wanted +
                           (list.empty() ? " (nothing was opened)" : " (opened: " + list + ")"));
}

bool Session::ExpectWorldValue(const ScriptLine& line, const std::string& key,
                               const std::string& wanted) {
    const std::size_t slash = key.find('/');
    const std::optional<std::int32_t> container =
        ParseNumber(std::string_view(key).substr(0, slash));
    const std::optional<std::int32_t> entry =
        slash == std::string::npos ? std::nullopt
                                   : ParseNumber(std::string_view(key).substr(slash + 1));
    if (!container || !entry) {
        return Error(line, Quoted(key) + ": expected CONTAINER/KEY, two numbers");
    }
    const Container* settings = host_.WorldContainer().GetContainerInstance(*container);
    const Value* stored = settings != nullptr ? settings->Find(*entry) : nullptr;
    const std::string is = stored != nullptr ? ValueText(*stored) : "none";
    if (is != wanted) {
        ExpectFailed(line, "the preferences hold " + is + " under " + key + ", expected " + wanted);
    }
    return true;
}

}  // namespace vhost::cli
