#include "studio/state_members.h"

#include <string>
#include <vector>

#include "actions/history.h"
#include "host.h"
#include "platform/utf8_path.h"
#include "vela2023/vela_ids.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

constexpr std::int32_t kVelaCommand = ID_VELA;

}  // namespace

json DocumentJson(const StateSources& sources) {
    const Document& active = sources.host.ActiveDocument();
    return {{"name", active.Name()},
            {"path", sources.documents.Of(active).path},
            {"changed", sources.documents.Changed(active)}};
}

json ButtonJson(Host& host) {
    const RegisteredCommand* command = host.FindCommand(kVelaCommand);
    if (command == nullptr) {
        return {{"name", "Vela Button"}, {"pressed", false}, {"enabled", false}, {"icon", nullptr}};
    }
    return {{"name", command->name},
            {"pressed", (command->lastState & HOST_COMMAND_CHECKED) != 0},
            {"enabled", (command->lastState & HOST_COMMAND_ENABLED) != 0},
            {"icon", command->icon != nullptr ? json("/api/icon") : json(nullptr)}};
}

json OpenedJson(Host& host) {
    json opened = json::array();
    const std::vector<std::string>& files = host.OpenedFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        opened.push_back({{"kind", "file"},
                          {"name", Utf8FromPath(PathFromUtf8(files[i]).filename())},
                          {"url", "/api/opened/" + std::to_string(i)}});
    }
    for (const std::string& url : host.OpenedWebAddresses()) {
        opened.push_back({{"kind", "web"}, {"url", url}});
    }
    return opened;
}

json HistoryJson(Host& host) {
    const actions::History& history = actions::HistoryOf(host, host.ActiveDocument());
    const auto name = [](const std::string& step) { return step.empty() ? json() : json(step); };
    return {{"undo", name(history.UndoName())}, {"redo", name(history.RedoName())}};
}

json ConsoleLineJson(const ConsoleLine& line) {
    json out = {{"text", line.text}};
    if (!line.file.empty()) {
        out["file"] = line.file;
        out["line"] = line.line;
    }
    return out;
}

}  // namespace vhost::studio
