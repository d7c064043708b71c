// The resource as loaded: the host's languages and the fallback between them, and the look-ups
// of a loaded resource.
#include <array>

#include "resources/resource_loader.h"
#include "text/text_position.h"

namespace vhost {

// Languages -------------------------------------------------------------------------------------

namespace {

constexpr std::array<ResourceLanguage, 2> kLanguages{{
    {"US", "en-US", "English"},
    {"DE", "de-DE", "German"},
}};

constexpr std::string_view kEnglish = "US";

}  // namespace

std::span<const ResourceLanguage> ResourceLanguages() { return kLanguages; }

const ResourceLanguage* FindLanguageByCode(std::string_view code) {
    for (const ResourceLanguage& language : kLanguages) {
        if (language.code == code) return &language;
    }
    return nullptr;
}

const ResourceLanguage* FindLanguageByFolder(std::string_view folderSuffix) {
    for (const ResourceLanguage& language : kLanguages) {
        if (language.folderSuffix == folderSuffix) return &language;
    }
    return nullptr;
}

namespace {

// The fallback rule, for any map from language code to something.
template <typename Map, typename Has>
auto PickLanguage(const Map& byLanguage, std::string_view language, Has has)
    -> decltype(byLanguage.begin()) {
    auto tryCode = [&](std::string_view code) {
        auto found = byLanguage.find(code);
        return found != byLanguage.end() && has(found->second) ? found : byLanguage.end();
    };
    if (auto found = tryCode(language); found != byLanguage.end()) return found;
    if (auto found = tryCode(kEnglish); found != byLanguage.end()) return found;
    for (const ResourceLanguage& other : kLanguages) {
        if (auto found = tryCode(other.code); found != byLanguage.end()) return found;
    }
    return byLanguage.end();
}

}  // namespace

std::string_view PickLabel(const LabelsByLanguage& labels, std::string_view language) {
    auto found = PickLanguage(labels, language, [](const std::string&) { return true; });
    return found == labels.end() ? std::string_view{} : std::string_view{found->second};
}

// Model -----------------------------------------------------------------------------------------

const DescriptionParameter* Description::Find(std::int32_t parameterId) const {
    if (parameterId == 0) return nullptr;
    for (const DescriptionParameter& parameter : parameters) {
        if (parameter.id == parameterId) return &parameter;
    }
    return nullptr;
}

std::string_view Resource::LoadString(std::int32_t id, std::string_view language) const {
    auto found = PickLanguage(strings, language,
                              [id](const auto& table) { return table.find(id) != table.end(); });
    return found == strings.end() ? std::string_view{} : std::string_view{found->second.at(id)};
}

const Description* Resource::FindDescription(std::string_view name) const {
    auto found = descriptions.find(name);
    return found == descriptions.end() ? nullptr : &found->second;
}

std::optional<std::int32_t> Resource::FindSymbol(std::string_view name) const {
    auto found = symbols.find(name);
    if (found == symbols.end()) return std::nullopt;
    return found->second;
}

std::string ResourceError::Text() const {
    if (line <= 0) return file + ": " + message;
    return PlaceText(file, {static_cast<std::size_t>(line), static_cast<std::size_t>(column)}) +
           ": " + message;
}

}  // namespace vhost
