// `vela-host studio`: the host served to the browser on 127.0.0.1 until Ctrl+C or SIGTERM.
#pragma once

#include <ostream>
#include <string>

namespace vhost {

class Host;

struct StudioOptions {
    std::string scene;  // a file to open first; empty: a new document
    std::string page;   // the built page's folder; empty: studio/ beside the program
    int port = 0;       // 0: a free port
    bool openBrowser = false;
};

// False on hosts built without the studio (no HTTP library, or Windows).
bool StudioAvailable();

// Opens the scene, serves the studio and prints its address as the first line of `out`, then
// runs until the process is told to stop. Answers the exit status (1 when the scene cannot be
// opened or the port cannot be had). The host is left running: the caller shuts it down.
int RunStudio(Host& host, const StudioOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vhost
