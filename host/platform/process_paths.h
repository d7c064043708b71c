// Folders and files the host finds relative to itself and the user.
#pragma once

#include <string>

namespace vhost {

// The full path of the running program; empty if the system cannot tell.
std::string ExecutablePath();

// The module built beside the program: plugins/vela2023/vela2023.xdl64 in the program's folder.
std::string DefaultModulePath();

// The user's preferences folder for the host: $XDG_CONFIG_HOME/vela-host, ~/.config/vela-host,
// or %APPDATA%\vela-host on Windows.
std::string DefaultPreferencesFolder();

}  // namespace vhost
