#include "c4d_general.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
}  // namespace

BaseContainer GetWorldContainer() { return *GetWorldContainerInstance(); }

BaseContainer* GetWorldContainerInstance() {
    return BaseContainer::FromRef(Host()->preferences->get_world_container_instance(Host()));
}

BaseDocument* GetActiveDocument() {
    return BaseDocument::FromHandle(Host()->documents->get_active_document(Host()));
}

Bool GetInputState(Int32 askdevice, Int32 askchannel, BaseContainer& res) {
    return Host()->documents->get_input_state(Host(), askdevice, askchannel, res.Handle());
}

void StopAllThreads() { Host()->documents->stop_all_threads(Host()); }

void EventAdd(EVENT eventflag) {
    Host()->documents->event_add(Host(), static_cast<Int32>(eventflag));
}

String GeLoadString(Int32 id) {
    const HostResource* resource = HostInterface::Resource();
    return String(hostapi::ReadText([&](char* buffer, std::size_t capacity) {
        return Host()->registry->load_string(Host(), resource, id, buffer, capacity);
    }));
}

Bool GeGetLanguage(Int32 index, String* extension, String* name, Bool* default_language) {
    HostLanguage language{};
    if (!Host()->files->get_language(Host(), index, &language)) {
        return false;
    }
    // The host terminates both texts; a damaged entry must not run past its field.
    language.code[sizeof(language.code) - 1] = '\0';
    language.name[sizeof(language.name) - 1] = '\0';
    if (extension != nullptr) {
        *extension = String(language.code);
    }
    if (name != nullptr) {
        *name = String(language.name);
    }
    if (default_language != nullptr) {
        *default_language = language.is_default;
    }
    return true;
}

Filename GeGetPluginPath() {
    const std::string path = HostInterface::ModulePath();
    if (path.empty()) {
        return Filename();
    }
    return Filename(String(path)).GetDirectory();
}

Bool GeExecuteFile(const Filename& path) {
    return Host()->files->open_file(Host(), hostapi::View(path.GetString().View()));
}

Bool GeOpenHTML(const String& webaddress) {
    return Host()->files->open_web_address(Host(), hostapi::View(webaddress.View()));
}

void GeUpdateUI() { Host()->preferences->update_interface(Host()); }

Int32 GeStringCompare(const String& a, const String& b) {
    return Host()->files->string_compare(Host(), hostapi::View(a.View()), hostapi::View(b.View()));
}
