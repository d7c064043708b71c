// vela-host: the stand-in host's command line. It starts a host, loads the Vela Button module
// through its entry point, and runs session scripts or shows scenes.
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "actions/perform.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "cli/tree_view.h"
#include "host.h"
#include "platform/console_output.h"
#include "platform/process_paths.h"
#include "platform/utf8_path.h"
#include "shortcuts/shortcut_table.h"
#include "studio/studio_command.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: vela-host [OPTIONS] run SCRIPT...\n"
    "       vela-host [OPTIONS] show SCENE\n"
    "       vela-host [OPTIONS] studio [--port N] [--open] [--page DIR] [SCENE]\n"
    "       vela-host --help | run --help | show --help | studio --help\n";

constexpr const char* kOptionsHelp =
    "options:\n"
    "  --module PATH     the module to load (default: plugins/vela2023/vela2023.xdl64 beside\n"
    "                    this program)\n"
    "  --prefs DIR       the host's preferences folder (default: $XDG_CONFIG_HOME/vela-host,\n"
    "                    or ~/.config/vela-host; %APPDATA%\\vela-host on Windows)\n"
    "  --startup DIR     the host's start-up folder, with its core modules in DIR/corelibs and\n"
    "                    their resources in DIR/resource/modules (default: this program's folder)\n"
    "  --language CODE   the host's language: US (English) or DE (German)\n"
    "  --color WHEN      colours in tree views: auto (on a terminal), always, never\n"
    "  --help            this text\n";

enum class ColorWhen { Auto, Always, Never };

struct Arguments {
    std::string command;
    std::vector<std::string> operands;
    std::string module;
    std::string prefs;
    std::string startup;
    std::string language;
    ColorWhen color = ColorWhen::Auto;
    bool help = false;
    vhost::StudioOptions studio;
};

int UsageError(const std::string& message) {
    std::cerr << "vela-host: " << message << '\n' << kUsage;
    return kExitUsage;
}

void PrintHelp(const std::string& command) {
    if (command == "run") {
        std::cout << "usage: vela-host [OPTIONS] run SCRIPT...\n\n"
                     "Runs session scripts, one command a line ('#' starts a comment). The exit\n"
                     "status is 1 when a line errs or an expectation fails.\n\ncommands:\n"
                  << vhost::cli::Session::CommandSummary() << '\n'
                  << kOptionsHelp;
        return;
    }
    if (command == "show") {
        std::cout << "usage: vela-host [OPTIONS] show SCENE\n\n"
                     "Prints the object tree of a scene file as the object manager shows it,\n"
                     "with the Vela Button's state for the document. SCENE is the host's own\n"
                     ".json scene file or a 3D file of another application (glTF, FBX, OBJ,\n"
                     "Collada, 3DS, PLY, STL, ...), which is imported.\n\n"
                  << kOptionsHelp;
        return;
    }
    if (command == "studio") {
        std::cout
            << "usage: vela-host [OPTIONS] studio [--port N] [--open] [--page DIR] [SCENE]\n\n"
               "Serves the host to the browser on 127.0.0.1: the object manager, a viewport,\n"
               "the Vela Button, the preferences and the module's dialogs. The first line\n"
               "printed is the address to open. Runs until Ctrl+C or SIGTERM. SCENE is any\n"
               "file show takes.\n\n"
               "  --port N    the port to listen on (default 0: a free one)\n"
               "  --open      also open the address in the system's browser (xdg-open)\n"
               "  --page DIR  the built page's folder (default: studio/ beside this program)\n\n"
            << kOptionsHelp;
        return;
    }
    std::cout << kUsage
              << "\nThe stand-in host of the Vela Button: runs the plug-in on scenes.\n\n"
                 "  run    run session scripts (see vela-host run --help)\n"
                 "  show   print a scene's object tree\n"
                 "  studio serve the host to the browser (see vela-host studio --help)\n\n"
              << kOptionsHelp;
}

std::optional<int> PortNumber(const std::string& word) {
    int port = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), port);
    if (error != std::errc() || end != word.data() + word.size() || port < 0 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Takes the value of an option that has one; answers an exit status when the value is wrong.
std::optional<int> SetOption(const std::string& option, const std::string& given, Arguments& args) {
    if (option == "--module") {
        args.module = given;
    } else if (option == "--prefs") {
        args.prefs = given;
    } else if (option == "--startup") {
        args.startup = given;
    } else if (option == "--language") {
        args.language = given;
    } else if (option == "--page") {
        args.studio.page = given;
    } else if (option == "--port") {
        const std::optional<int> port = PortNumber(given);
        if (!port)
            return UsageError("--port takes a number from 0 to 65535, not " + vhost::Quoted(given));
        args.studio.port = *port;
    } else if (given == "auto" || given == "always" || given == "never") {
        args.color = given == "auto"     ? ColorWhen::Auto
                     : given == "always" ? ColorWhen::Always
                                         : ColorWhen::Never;
    } else {
        return UsageError("--color takes auto, always or never, not " + vhost::Quoted(given));
    }
    return std::nullopt;
}

// Parses the command line; answers an exit status when the program should stop right away.
std::optional<int> Parse(const std::vector<std::string>& words, Arguments& args) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            const std::string prefix = std::string(option) + "=";
            if (word.rfind(prefix, 0) == 0) {
                return word.substr(prefix.size());
            }
            if (i + 1 >= words.size()) {
                return std::nullopt;
            }
            return words[++i];
        };
        auto takes = [&](const char* option) {
            return word == option || word.rfind(std::string(option) + "=", 0) == 0;
        };
        if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "--open") {
            args.studio.openBrowser = true;
        } else if (takes("--module") || takes("--prefs") || takes("--language") ||
                   takes("--color") || takes("--startup") || takes("--port") || takes("--page")) {
            const std::string option = word.substr(0, word.find('='));
            const std::optional<std::string> given = value(option.c_str());
            if (!given) {
                return UsageError(option + " needs a value");
            }
            if (const std::optional<int> status = SetOption(option, *given, args)) {
                return status;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            return UsageError("unknown option " + word);
        } else if (args.command.empty()) {
            args.command = word;
        } else {
            args.operands.push_back(word);
        }
    }
    if (args.help) {
        PrintHelp(args.command);
        return kExitOk;
    }
    if (args.command.empty()) {
        return UsageError("no command given");
    }
    if (args.command != "run" && args.command != "show" && args.command != "studio") {
        return UsageError("unknown command " + vhost::Quoted(args.command));
    }
    if (args.command == "studio") {
        if (args.operands.size() > 1) return UsageError("studio takes at most one scene file");
        if (!args.operands.empty()) args.studio.scene = args.operands.front();
    } else if (args.operands.empty()) {
        return UsageError(args.command == "run" ? "run needs at least one script"
                                                : "show needs a scene file");
    }
    if (args.command == "show" && args.operands.size() != 1) {
        return UsageError("show takes one scene file");
    }
    if (!args.language.empty() && args.language != "US" && args.language != "DE") {
        return UsageError("--language takes US or DE, not " + vhost::Quoted(args.language));
    }
    return std::nullopt;
}

bool UseColor(ColorWhen when) {
    if (when != ColorWhen::Auto) {
        return when == ColorWhen::Always;
    }
    const char* noColor = std::getenv("NO_COLOR");
    return (noColor == nullptr || *noColor == '\0') && vhost::StandardOutputIsTerminal();
}

// Starts the host with the module; module problems are reported and the host goes on without it.
void StartHost(vhost::Host& host, const Arguments& args) {
    vhost::HostSettings settings;
    settings.preferencesFolder =
        args.prefs.empty() ? vhost::DefaultPreferencesFolder() : args.prefs;
    if (!args.language.empty()) {
        for (vhost::Language& language : settings.languages) {
            language.isDefault = language.code == args.language;
        }
    }
    for (const std::string& report : host.Configure(settings)) {
        std::cerr << "vela-host: " << report << '\n';
    }
    if (!args.startup.empty()) host.SetStartupFolder(args.startup);
    const std::string module = args.module.empty() ? vhost::DefaultModulePath() : args.module;
    for (const std::string& report : host.LoadModule(module).messages) {
        std::cerr << "vela-host: " << report << '\n';
    }
    host.FinishStartup();
}

int Show(vhost::Host& host, const Arguments& args) {
    const vhost::actions::Outcome opened = vhost::cli::PerformShowingProgress(
        host, vhost::actions::OpenDocument{.path = args.operands.front()});
    if (!opened.Done()) {
        std::cerr << opened.message << '\n';
        return kExitFailed;
    }
    for (const std::string& report : opened.leftOut) {
        std::cerr << "vela-host: warning: " << report << '\n';
    }
    vhost::Document& document = host.ActiveDocument();
    std::string state;
    if (host.FindCommand(ID_VELA) != nullptr) {
        state = (host.QueryCommandState(ID_VELA) & HOST_COMMAND_CHECKED) != 0 ? "isolated"
                                                                              : "not isolated";
    }
    vhost::cli::PrintTree(std::cout, document, host.Types(), state,
                          vhost::cli::TreeStyle{UseColor(args.color)});
    return kExitOk;
}

int Run(vhost::Host& host, const Arguments& args) {
    vhost::cli::Session session(host, std::cout, std::cerr,
                                vhost::cli::SessionOptions{UseColor(args.color)});
    for (const std::string& script : args.operands) {
        if (!session.RunScriptFile(script)) {
            return kExitFailed;
        }
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (const std::optional<int> status = Parse(vhost::CommandLineArguments(argc, argv), args)) {
        return *status;
    }
    vhost::PrepareConsoleOutput(UseColor(args.color));
    if (args.command == "studio" && !vhost::StudioAvailable()) {
        vhost::Host host;
        return vhost::RunStudio(host, args.studio, std::cout, std::cerr);
    }
    vhost::Host host;
    StartHost(host, args);
    int status = args.command == "run" ? Run(host, args)
                 : args.command == "show"
                     ? Show(host, args)
                     : vhost::RunStudio(host, args.studio, std::cout, std::cerr);
    std::cout.flush();
    for (const std::string& report : host.Shutdown()) {
        std::cerr << "vela-host: " << report << '\n';
        status = kExitFailed;
    }
    return status;
}
