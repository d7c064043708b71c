// The child of the crash tests: a program that saves one of the host's files the way the host
// does and dies by SIGKILL at a chosen step of the save.
//
//   crash_writer KIND FOLDER STOP CHUNK
//
// KIND is what is saved in FOLDER: "scene" (scene.json is read, changed and saved again),
// "preferences" (a host on FOLDER changes an option and shuts down, which writes
// preferences.json) or "shortcuts" (a host on FOLDER adds a shortcut, which writes
// shortcuts.json). The steps are the calls of write, fsync and rename on files (writes are cut to
// at most CHUNK bytes each, so a file takes many); each call is two steps, one just before it and
// one just after it returns. The process kills itself with SIGKILL at step STOP; with STOP 0 it
// runs to the end and prints "steps N", the number of steps the save took.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host.h"
#include "model/container.h"
#include "scene_file/scene_file.h"
#include "shortcuts/shortcut_table.h"
#include "vela2023/vela_ids.h"

namespace {

long g_stopAt = -1;  // -1: not armed yet
long g_steps = 0;
std::size_t g_chunk = 1 << 20;

void Step() {
    if (g_stopAt < 0) return;
    ++g_steps;
    if (g_steps == g_stopAt) ::kill(::getpid(), SIGKILL);
}

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

int SaveScene(const std::string& folder) {
    const std::string path = folder + "/scene.json";
    vhost::SceneLoadResult loaded = vhost::LoadScene(path);
    if (!loaded.Ok()) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 2;
    }
    vhost::Document& document = *loaded.document;
    document.SetName("Saved again");
    vhost::Object* added = document.CreateObject(5159, "Added after the crash test began");
    added->Data().SetString(7, std::string(3000, 'x'));
    const vhost::SceneSaveResult saved = vhost::SaveScene(document, path);
    if (!saved.Ok()) {
        std::fprintf(stderr, "%s\n", saved.error.c_str());
        return 2;
    }
    return 0;
}

int SavePreferences(const std::string& folder) {
    vhost::Host host;
    if (!host.Configure({folder, {{"US", "English", true}}}).empty()) return 2;
    vhost::Container settings(ID_VELASETTINGS);
    settings.SetInt32(VELASETTINGS_KEEP_VISIBILITY, 1);
    settings.SetString(1001, std::string(600, 'p'));
    host.WorldContainer().SetContainer(ID_VELASETTINGS, settings);
    return host.Shutdown().empty() ? 0 : 2;
}

int SaveShortcuts(const std::string& folder) {
    vhost::Host host;
    if (!host.Configure({folder, {{"US", "English", true}}}).empty()) return 2;
    // A second key for the first command of the table.
    vhost::ShortcutTable& table = host.Shortcuts();
    const vhost::Container* first = table.Get(0);
    if (first == nullptr) return 2;
    vhost::Container record = *first;
    record.SetInt32(1, 'V');
    if (!table.Add(record)) return 2;
    return table.TakeReports().empty() ? 0 : 2;
}

}  // namespace

// The calls a save goes through, counted as steps. Other descriptors (the standard streams) pass.
// (The C library's declarations name their parameters with reserved names.)
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    static const auto real = Real<ssize_t (*)(int, const void*, std::size_t)>("write");
    if (fd <= STDERR_FILENO || g_stopAt < 0) return real(fd, data, size);
    Step();
    const ssize_t written = real(fd, data, std::min(size, g_chunk));
    Step();
    return written;
}

extern "C" int fsync(int fd) {
    static const auto real = Real<int (*)(int)>("fsync");
    Step();
    const int answer = real(fd);
    Step();
    return answer;
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int rename(const char* from, const char* to) noexcept {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    Step();
    const int answer = real(from, to);
    Step();
    return answer;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: crash_writer scene|preferences|shortcuts FOLDER STOP CHUNK\n");
        return 2;
    }
    const std::string kind = argv[1];
    const std::string folder = argv[2];
    g_chunk = static_cast<std::size_t>(std::strtoul(argv[4], nullptr, 10));
    const long stopAt = std::strtol(argv[3], nullptr, 10);
    if (g_chunk == 0 || stopAt < 0) return 2;

    g_stopAt = stopAt;
    int status = 2;
    if (kind == "scene") {
        status = SaveScene(folder);
    } else if (kind == "preferences") {
        status = SavePreferences(folder);
    } else if (kind == "shortcuts") {
        status = SaveShortcuts(folder);
    }
    g_stopAt = -1;
    if (status == 0) std::printf("steps %ld\n", g_steps);
    return status;
}
