// Preference pages that modules register: their descriptions, their instances, and what the
// host does with them while it draws a page and the user works on it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/bitmap.h"
#include "model/container.h"
#include "modules/module_calls.h"
#include "resources/resource_loader.h"
#include "vela_host/host_table.h"

namespace vhost {

class Module;
struct RegisteredPage;

// A description as the host builds it for one request: the parameters of a registered
// description with their settings, optionally restricted to one parameter. The module fills it
// through the table while the host holds it.
class DescriptionBuild {
public:
    struct Parameter {
        std::int32_t id;
        std::string symbol;  // the id's name in the description, e.g. "VELAPREFS_MANUAL"
        ParameterKind kind;
        std::string label;
        Container settings;  // the parameter's settings; HOST_DESC_DEFAULT holds its default
    };

    explicit DescriptionBuild(std::string language, std::optional<HostDescId> single = {});

    // Fills the build from a registered description; false when `source` is null.
    bool Load(const Description* source);
    bool Loaded() const { return loaded_; }
    const std::string& Title() const { return title_; }
    const std::vector<Parameter>& Parameters() const { return parameters_; }
    // The settings of parameter `id` (its first level); null when there is none.
    Container* Settings(std::int32_t id);
    const std::optional<HostDescId>& Single() const { return single_; }

    HostDescription* Handle() { return reinterpret_cast<HostDescription*>(this); }
    static DescriptionBuild* FromHandle(HostDescription* handle) {
        return reinterpret_cast<DescriptionBuild*>(handle);
    }
    static const DescriptionBuild* FromHandle(const HostDescription* handle) {
        return reinterpret_cast<const DescriptionBuild*>(handle);
    }

private:
    std::string language_;
    std::optional<HostDescId> single_;
    bool loaded_ = false;
    std::string title_;
    std::vector<Parameter> parameters_;
};

// One instance of a page, made through the page class's allocator.
struct PageNode {
    RegisteredPage* page = nullptr;
    void* instance = nullptr;
    Container data;  // the node's own parameters, for those the page leaves to the host

    HostNode* Handle() { return reinterpret_cast<HostNode*>(this); }
    static PageNode* FromHandle(HostNode* handle) { return reinterpret_cast<PageNode*>(handle); }
};

struct RegisteredPage {
    std::int32_t id = 0;
    std::string name;
    const HostPageClass* klass = nullptr;
    const Module* owner = nullptr;
    std::vector<std::unique_ptr<PageNode>> nodes;
};

// What a page answered when the host asked for a parameter.
struct ParameterAnswer {
    bool answer = false;  // the callback's result
    std::int32_t flags = 0;
    Value value;  // what the page (or, when it supplied nothing, the host) holds
};

// Every call to a page's class table is a call into the module that registered the page, and is
// marked so in `calls` (see ModuleCalls).
class PreferencePages {
public:
    explicit PreferencePages(ModuleCalls& calls) : calls_(calls) {}
    ~PreferencePages();
    PreferencePages(const PreferencePages&) = delete;
    PreferencePages& operator=(const PreferencePages&) = delete;

    // Registers a page class; false for a taken id or a class table without the callbacks the
    // host needs. The class table stays the module's.
    bool Register(std::int32_t id, std::string name, const HostPageClass* klass,
                  const Module* owner);
    RegisteredPage* Find(std::int32_t id);
    const std::vector<std::unique_ptr<RegisteredPage>>& All() const { return pages_; }

    // Makes a description of the module's resource known under `name` for plug-in `id`.
    void RegisterDescription(std::int32_t id, const Description& description);
    const Description* FindDescription(std::string_view name) const;

    // A new instance of the page, initialised; null when the page's allocator gave none.
    PageNode* CreateNode(RegisteredPage& page);
    // The page's first instance, made when there is none yet.
    PageNode* NodeOf(std::int32_t pageId);

    // Calls to an instance of a page, each a call into the module that registered the page.
    // Whoever drives a page (the command line, the tests) reaches it through the host's
    // registry, Host::Pages().
    //
    // The host asks the page for its description, in `language`. `flags` in and out.
    std::unique_ptr<DescriptionBuild> Describe(PageNode& node, const std::string& language,
                                               std::int32_t& flags, bool& answer,
                                               std::optional<HostDescId> single = {});
    ParameterAnswer GetParameter(PageNode& node, const HostDescId& id);
    // The user set a parameter; answers the page's flags (the host stores what it left alone).
    ParameterAnswer SetParameter(PageNode& node, const HostDescId& id, const Value& value);
    // A button of the page was clicked.
    bool Click(PageNode& node, const HostDescId& id);
    // The bitmap a bitmap button shows; null when the page supplied none. The host owns it.
    std::unique_ptr<Bitmap> RequestBitmap(PageNode& node, const HostDescId& id, bool& answer);

    // Destroys the instances of pages registered by `owner` (of all pages with `all`), then
    // forgets those pages. Answers their ids.
    std::vector<std::int32_t> DisposeOwnedBy(const Module* owner, bool all = false);

private:
    ModuleCalls& calls_;
    std::vector<std::unique_ptr<RegisteredPage>> pages_;
    std::map<std::string, Description, std::less<>> descriptions_;
};

// A parameter id of one level.
HostDescId DescIdOf(std::int32_t id);

}  // namespace vhost
