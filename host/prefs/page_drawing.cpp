#include "prefs/page_drawing.h"

#include "host.h"
#include "prefs/preference_pages.h"
#include "text/ascii.h"

namespace vhost {

namespace {

DrawnParameter DrawParameter(Host& host, PageNode& node,
                             const DescriptionBuild::Parameter& parameter) {
    DrawnParameter drawn{parameter.id, parameter.symbol, parameter.kind, parameter.label, {}, {}};
    const HostDescId descId = DescIdOf(parameter.id);
    switch (parameter.kind) {
        case ParameterKind::Button:
            break;
        case ParameterKind::BitmapButton: {
            bool answer = false;
            const std::unique_ptr<Bitmap> bitmap = host.Pages().RequestBitmap(node, descId, answer);
            if (bitmap != nullptr) drawn.picture = {bitmap->Width(), bitmap->Height()};
            break;
        }
        default:
            drawn.value = host.Pages().GetParameter(node, descId).value;
            break;
    }
    return drawn;
}

}  // namespace

std::optional<DrawnPage> DrawPage(Host& host, std::int32_t pageId, std::string& problem) {
    RegisteredPage* page = host.Pages().Find(pageId);
    if (page == nullptr) {
        problem = "no preferences page " + std::to_string(pageId) + " is registered";
        return std::nullopt;
    }
    PageNode* node = host.Pages().NodeOf(pageId);
    if (node == nullptr) {
        problem = "the page " + std::to_string(pageId) + " could not be created";
        return std::nullopt;
    }
    std::int32_t flags = 0;
    bool answer = false;
    const std::unique_ptr<DescriptionBuild> description =
        host.Pages().Describe(*node, host.LanguageCode(), flags, answer);
    DrawnPage drawn{pageId, page->name, description->Loaded(), description->Title(), {}};
    if (!drawn.described) return drawn;
    for (const DescriptionBuild::Parameter& parameter : description->Parameters()) {
        drawn.parameters.push_back(DrawParameter(host, *node, parameter));
    }
    return drawn;
}

std::string KindName(ParameterKind kind) { return AsciiLower(KindKeyword(kind)); }

}  // namespace vhost
