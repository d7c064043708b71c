// One module session inside a fresh stand-in host: the module file is loaded and started as the
// host starts it (initialisation, resource, start), the command is pressed through the host, and
// the module is ended, the host closed and the module file unloaded at the end. How the module is
// loaded is known only to this file's implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "host.h"
#include "vela2023/vela_ids.h"

namespace velatest {

// The command and what it keeps in the host.
inline constexpr std::int32_t kCommandId = ID_VELA;  // also the id of every record it stores
inline constexpr std::int32_t kSettingsId = ID_VELASETTINGS;  // the plug-in's sub-container
inline constexpr std::int32_t kKeepOptionKey = VELASETTINGS_KEEP_VISIBILITY;  // Int32 0/1 in it

// Qualifier keys as the host's keyboard reports them.
inline constexpr std::int32_t kShift = HOST_QUALIFIER_SHIFT;
inline constexpr std::int32_t kCtrl = HOST_QUALIFIER_CTRL;
inline constexpr std::int32_t kAlt = HOST_QUALIFIER_ALT;

// The command's state as the host draws its button.
inline constexpr std::int32_t kNotIsolated = HOST_COMMAND_ENABLED;
inline constexpr std::int32_t kIsolated = HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED;

class PluginSession {
public:
    struct Options {
        bool createSettings = true;  // the settings the preferences page would create
        bool keepOption = false;     // the option in them
    };

    PluginSession();
    explicit PluginSession(Options options);
    ~PluginSession();  // ends the module, then the host goes
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Why the module file could not be loaded; empty when it was.
    const std::string& LoadError() const { return loadError_; }
    // What the module answered to initialisation, to the request to load its resource, and to
    // start (1 each when all went well).
    std::int32_t InitAnswer() const { return initAnswer_; }
    std::int32_t ResourceAnswer() const { return resourceAnswer_; }
    std::int32_t StartAnswer() const { return startAnswer_; }

    vhost::Host& Host() { return *host_; }
    vhost::Document& Doc() { return host_->ActiveDocument(); }

    // Presses the command with `qualifiers` held, as a click does; answers the command's result.
    // The keys are let go afterwards.
    bool Press(std::int32_t qualifiers = 0);
    // A key stroke through the host's shortcut table; answers whether a shortcut took it.
    bool StrokeKey(std::int32_t qualifiers, std::int32_t key);
    // The command's state in the active document, as the host asks for it.
    std::int32_t State();

    void SetKeepOption(bool on);
    void RemoveSettings();

private:
    std::unique_ptr<vhost::Host> host_;
    std::string loadError_;
    std::int32_t initAnswer_ = 0;
    std::int32_t resourceAnswer_ = 0;
    std::int32_t startAnswer_ = 0;
};

// A test with one started session per case.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override { StartSession({}); }
    void TearDown() override { session_.reset(); }

    // Replaces the session with a new one started with `options`.
    void StartSession(PluginSession::Options options) {
        session_.reset();
        session_.emplace(options);
        ASSERT_EQ(session_->LoadError(), "");
        ASSERT_EQ(session_->InitAnswer(), 1);
        ASSERT_EQ(session_->ResourceAnswer(), 1);
        ASSERT_EQ(session_->StartAnswer(), 1);
    }

    PluginSession& Session() { return *session_; }
    vhost::Host& Host() { return session_->Host(); }
    vhost::Document& Doc() { return session_->Doc(); }
    bool Press(std::int32_t qualifiers = 0) { return session_->Press(qualifiers); }
    bool StrokeKey(std::int32_t qualifiers, std::int32_t key) {
        return session_->StrokeKey(qualifiers, key);
    }
    std::int32_t State() { return session_->State(); }

private:
    std::optional<PluginSession> session_;
};

}  // namespace velatest
