#include "support/plugin_session.h"

#include "actions/perform.h"
#include "vela_host/host_entry.h"

namespace velatest {

PluginSession::PluginSession() : PluginSession(Options{}) {}

// The module file is loaded and started by the host, as the host loads modules: its own symbols
// stay its own and the host unloads it when it shuts down, so every session starts from a freshly
// loaded module. The host then settles its preferences, which creates the settings the page keeps.
PluginSession::PluginSession(Options options) : host_(std::make_unique<vhost::Host>()) {
    const vhost::ModuleLoadReport report = host_->LoadModule(VELA_MODULE_FILE);
    initAnswer_ = report.initAnswer;
    resourceAnswer_ = report.resourceAnswer;
    startAnswer_ = report.startAnswer;
    if (!report.started) {
        loadError_ = report.messages.empty() ? "the module did not start" : report.messages.front();
        return;
    }
    host_->FinishStartup();
    if (options.createSettings) {
        SetKeepOption(options.keepOption);
    } else {
        RemoveSettings();
    }
}

// The host ends the module, disposes of what it registered and unloads it.
PluginSession::~PluginSession() { host_.reset(); }
bool PluginSession::Press(std::int32_t qualifiers) {
    return vhost::actions::Perform(*host_, vhost::actions::PressCommand{kCommandId, qualifiers})
        .commandResult;
}

bool PluginSession::StrokeKey(std::int32_t qualifiers, std::int32_t key) {
    return vhost::actions::Perform(*host_, vhost::actions::StrokeKey{qualifiers, key}).keyTaken;
}

std::int32_t PluginSession::State() { return host_->QueryCommandState(kCommandId); }

void PluginSession::SetKeepOption(bool on) {
    vhost::Container* settings = host_->WorldContainer().GetContainerInstance(kSettingsId);
    if (settings == nullptr) {
        host_->WorldContainer().SetContainer(kSettingsId, vhost::Container(kSettingsId));
        settings = host_->WorldContainer().GetContainerInstance(kSettingsId);
    }
    settings->SetInt32(kKeepOptionKey, on ? 1 : 0);
}

void PluginSession::RemoveSettings() { host_->WorldContainer().Remove(kSettingsId); }

}  // namespace velatest
