#include "studio/studio_command.h"

#include <spawn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include <sys/wait.h>

#include "actions/perform.h"
#include "host.h"
#include "platform/process_paths.h"
#include "platform/utf8_path.h"
#include "studio/studio.h"
#include "studio/studio_server.h"
#include "text/quoting.h"

namespace vhost {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void NoteStopSignal(int /*signal*/) { stopSignal = 1; }

// Stops the studio once a stop signal came or `done` is set.
void WatchSignals(const std::atomic<bool>& done, studio::Studio& studio) {
    while (!done.load() && stopSignal == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    studio.Stop();
}

// Asks the system to show `url` in the browser; false with `problem` set when it cannot.
bool OpenInBrowser(const std::string& url, std::string& problem) {
    std::string program = "xdg-open";
    std::string address = url;
    char* const arguments[] = {program.data(), address.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ);
    if (error != 0) {
        problem = "xdg-open could not be started: " + std::string(std::strerror(error));
        return false;
    }
    // xdg-open hands the address to the browser and ends; the browser runs on its own.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
}

std::filesystem::path PageFolder(const StudioOptions& options) {
    if (!options.page.empty()) return PathFromUtf8(options.page);
    return PathFromUtf8(ExecutablePath()).parent_path() / "studio";
}

bool OpenFirstScene(Host& host, const std::string& scene, std::ostream& err) {
    if (scene.empty()) return true;
    // The scene takes the place of the empty document the host starts with, so the studio's
    // first tab is the scene.
    const actions::Outcome opened =
        actions::Perform(host, actions::OpenDocument{.path = scene, .closeActive = true});
    if (!opened.Done()) err << opened.message << '\n';
    return opened.Done();
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
    return error ? path : Utf8FromPath(absolute);
}

}  // namespace

bool StudioAvailable() { return true; }

int RunStudio(Host& host, const StudioOptions& options, std::ostream& out, std::ostream& err) {
    if (!OpenFirstScene(host, options.scene, err)) return 1;
    studio::StudioServer server;
    const int port = server.Bind(options.port);
    if (port < 0) {
        err << "vela-host: the studio cannot listen on 127.0.0.1 port " << options.port << '\n';
        return 1;
    }
    studio::StudioSettings settings{
        {studio::NewToken(), port}, PageFolder(options), AbsolutePath(options.scene), {}};
    const std::string url =
        "http://127.0.0.1:" + std::to_string(port) + "/?token=" + settings.access.token;
    studio::Studio studio(host, settings);
    server.Start(studio.Handler());
    out << "studio: " << url << std::endl;
    std::string problem;
    if (options.openBrowser && !OpenInBrowser(url, problem)) {
        err << "vela-host: " << problem << '\n';
    }
    std::signal(SIGINT, NoteStopSignal);
    std::signal(SIGTERM, NoteStopSignal);
    std::atomic<bool> done{false};
    std::thread watcher([&] { WatchSignals(done, studio); });
    studio.Run();
    done.store(true);
    watcher.join();
    server.Stop();
    if (const std::optional<std::string> unsaved = studio.UnsavedDocument()) {
        err << "vela-host: the studio stopped with changes to " << Quoted(*unsaved)
            << " that were not saved\n";
    }
    return 0;
}

}  // namespace vhost
