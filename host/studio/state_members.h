// The members of the studio's state besides the objects, as JSON: the document, the button, the
// files and addresses the module opened, the history and the console's lines.
#pragma once

#include <nlohmann/json.hpp>

#include "studio/state_json.h"

namespace vhost {
class Host;
struct ConsoleLine;
}  // namespace vhost

namespace vhost::studio {

nlohmann::json DocumentJson(const StateSources& sources);
// The button as the host last drew it: the state the command answered at the last refresh.
nlohmann::json ButtonJson(Host& host);
nlohmann::json OpenedJson(Host& host);
// The names of the steps an undo and a redo of the active document would take; null for none.
nlohmann::json HistoryJson(Host& host);
nlohmann::json ConsoleLineJson(const ConsoleLine& line);

}  // namespace vhost::studio
