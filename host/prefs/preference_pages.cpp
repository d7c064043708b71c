#include "prefs/preference_pages.h"

#include <algorithm>

namespace vhost {

namespace {

// Keys of a parameter's settings container besides HOST_DESC_DEFAULT.
constexpr std::int32_t kSettingName = 1;
constexpr std::int32_t kSettingKind = 2;

bool IsUsablePageClass(const HostPageClass* klass) {
    return klass != nullptr && klass->size >= sizeof(HostPageClass) && klass->alloc != nullptr &&
           klass->destroy != nullptr && klass->init != nullptr && klass->message != nullptr &&
           klass->get_description != nullptr && klass->get_parameter != nullptr &&
           klass->set_parameter != nullptr && klass->get_enabling != nullptr;
}

// A value slot the host lends a page for one call.
struct ValueSlot {
    Value value;
    HostValueRef ref{reinterpret_cast<HostValue*>(&value)};
};

}  // namespace

HostDescId DescIdOf(std::int32_t id) {
    HostDescId descId{};
    descId.count = 1;
    descId.levels[0] = HostDescLevel{id, 0, 0};
    return descId;
}

DescriptionBuild::DescriptionBuild(std::string language, std::optional<HostDescId> single)
    : language_(std::move(language)), single_(single) {}

bool DescriptionBuild::Load(const Description* source) {
    if (source == nullptr) {
        return false;
    }
    parameters_.clear();
    title_ = std::string(source->Title(language_));
    for (const DescriptionParameter& parameter : source->parameters) {
        if (parameter.kind == ParameterKind::Group || parameter.kind == ParameterKind::Separator) {
            continue;
        }
        Parameter built{parameter.id, parameter.symbol, parameter.kind,
                        std::string(parameter.Label(language_)), Container(parameter.id)};
        built.settings.SetString(kSettingName, built.label);
        built.settings.SetString(kSettingKind, KindKeyword(parameter.kind));
        parameters_.push_back(std::move(built));
    }
    loaded_ = true;
    return true;
}

Container* DescriptionBuild::Settings(std::int32_t id) {
    auto found = std::find_if(parameters_.begin(), parameters_.end(),
                              [id](const Parameter& p) { return p.id == id; });
    return found != parameters_.end() ? &found->settings : nullptr;
}

PreferencePages::~PreferencePages() { DisposeOwnedBy(nullptr, true); }

bool PreferencePages::Register(std::int32_t id, std::string name, const HostPageClass* klass,
                               const Module* owner) {
    if (!IsUsablePageClass(klass) || Find(id) != nullptr) {
        return false;
    }
    auto page = std::make_unique<RegisteredPage>();
    page->id = id;
    page->name = std::move(name);
    page->klass = klass;
    page->owner = owner;
    pages_.push_back(std::move(page));
    return true;
}

RegisteredPage* PreferencePages::Find(std::int32_t id) {
    auto found = std::find_if(pages_.begin(), pages_.end(),
                              [id](const auto& page) { return page->id == id; });
    return found != pages_.end() ? found->get() : nullptr;
}

void PreferencePages::RegisterDescription(std::int32_t /*id*/, const Description& description) {
    descriptions_[description.name] = description;
}

const Description* PreferencePages::FindDescription(std::string_view name) const {
    auto found = descriptions_.find(name);
    return found != descriptions_.end() ? &found->second : nullptr;
}

PageNode* PreferencePages::CreateNode(RegisteredPage& page) {
    const ModuleCalls::Scope call(calls_, page.owner);
    void* instance = page.klass->alloc(page.klass->context);
    if (instance == nullptr) {
        return nullptr;
    }
    auto node = std::make_unique<PageNode>();
    node->page = &page;
    node->instance = instance;
    PageNode* created = node.get();
    page.nodes.push_back(std::move(node));
    page.klass->init(instance, created->Handle());
    return created;
}

PageNode* PreferencePages::NodeOf(std::int32_t pageId) {
    RegisteredPage* page = Find(pageId);
    if (page == nullptr) {
        return nullptr;
    }
    return page->nodes.empty() ? CreateNode(*page) : page->nodes.front().get();
}

std::unique_ptr<DescriptionBuild> PreferencePages::Describe(PageNode& node,
                                                            const std::string& language,
                                                            std::int32_t& flags, bool& answer,
                                                            std::optional<HostDescId> single) {
    auto build = std::make_unique<DescriptionBuild>(language, single);
    const ModuleCalls::Scope call(calls_, node.page->owner);
    answer =
        node.page->klass->get_description(node.instance, node.Handle(), build->Handle(), &flags);
    return build;
}

ParameterAnswer PreferencePages::GetParameter(PageNode& node, const HostDescId& id) {
    ValueSlot slot;
    ParameterAnswer result;
    const ModuleCalls::Scope call(calls_, node.page->owner);
    result.answer = node.page->klass->get_parameter(node.instance, node.Handle(), &id, &slot.ref,
                                                    &result.flags);
    if ((result.flags & HOST_DESCFLAGS_GET_PARAM_GET) != 0) {
        result.value = std::move(slot.value);
    } else if (const Value* own = node.data.Find(id.levels[0].id)) {
        result.value = *own;
    }
    return result;
}

ParameterAnswer PreferencePages::SetParameter(PageNode& node, const HostDescId& id,
                                              const Value& value) {
    ValueSlot slot;
    slot.value = value;
    ParameterAnswer result;
    const ModuleCalls::Scope call(calls_, node.page->owner);
    result.answer = node.page->klass->set_parameter(node.instance, node.Handle(), &id, &slot.ref,
                                                    &result.flags);
    if ((result.flags & HOST_DESCFLAGS_SET_PARAM_SET) == 0) {
        node.data.Set(id.levels[0].id, value);
    }
    result.value = value;
    return result;
}

bool PreferencePages::Click(PageNode& node, const HostDescId& id) {
    HostDescriptionCommand command{id};
    const ModuleCalls::Scope call(calls_, node.page->owner);
    return node.page->klass->message(node.instance, node.Handle(), HOST_MSG_DESCRIPTION_COMMAND,
                                     &command);
}

std::unique_ptr<Bitmap> PreferencePages::RequestBitmap(PageNode& node, const HostDescId& id,
                                                       bool& answer) {
    HostDescriptionGetBitmap request{id, nullptr};
    const ModuleCalls::Scope call(calls_, node.page->owner);
    answer = node.page->klass->message(node.instance, node.Handle(), HOST_MSG_DESCRIPTION_GETBITMAP,
                                       &request);
    return std::unique_ptr<Bitmap>(reinterpret_cast<Bitmap*>(request.bitmap));
}

std::vector<std::int32_t> PreferencePages::DisposeOwnedBy(const Module* owner, bool all) {
    std::vector<std::int32_t> disposed;
    for (auto it = pages_.begin(); it != pages_.end();) {
        RegisteredPage& page = **it;
        if (!all && page.owner != owner) {
            ++it;
            continue;
        }
        const ModuleCalls::Scope call(calls_, page.owner);
        for (auto node = page.nodes.rbegin(); node != page.nodes.rend(); ++node) {
            page.klass->destroy((*node)->instance);
        }
        page.nodes.clear();
        disposed.push_back(page.id);
        it = pages_.erase(it);
    }
    return disposed;
}

}  // namespace vhost
