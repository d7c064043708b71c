// Folders and files the host finds relative to itself and the user.
#pragma once

#include <string>
#include <vector>

namespace vhost {

// The program's arguments after its name, in UTF-8. On Windows they are read from the system's
// UTF-16 command line, since `argv` there holds them in the ANSI code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The full path of the running program; empty if the system cannot tell.
std::string ExecutablePath();

// The host's start-up folder: the program's own folder, where an installed host keeps its
// resource/ folder and its core modules (corelibs/).
std::string DefaultStartupFolder();

// The module built beside the program: plugins/vela2023/vela2023.xdl64 in the program's folder.
std::string DefaultModulePath();

// The user's preferences folder for the host: $XDG_CONFIG_HOME/vela-host, ~/.config/vela-host,
// or %APPDATA%\vela-host on Windows.
std::string DefaultPreferencesFolder();

}  // namespace vhost
