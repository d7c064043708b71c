#include "views/page_drawing.h"

#include <algorithm>

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

struct ReachedPage {
    RegisteredPage* page;
    PageNode* node;
};

// The page and its instance; none, with `problem` saying why.
std::optional<ReachedPage> ReachPage(Host& host, std::int32_t pageId, std::string& problem) {
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
    return ReachedPage{page, node};
}

std::unique_ptr<DescriptionBuild> DescribeInHostLanguage(Host& host, PageNode& node) {
    std::int32_t flags = 0;
    bool answer = false;
    return host.Pages().Describe(node, host.LanguageCode(), flags, answer);
}

}  // namespace

std::optional<DrawnPage> DrawPage(Host& host, std::int32_t pageId, std::string& problem) {
    const std::optional<ReachedPage> reached = ReachPage(host, pageId, problem);
    if (!reached) return std::nullopt;
    const std::unique_ptr<DescriptionBuild> description =
        DescribeInHostLanguage(host, *reached->node);
    DrawnPage drawn{pageId, reached->page->name, description->Loaded(), description->Title(), {}};
    if (!drawn.described) return drawn;
    for (const DescriptionBuild::Parameter& parameter : description->Parameters()) {
        drawn.parameters.push_back(DrawParameter(host, *reached->node, parameter));
    }
    return drawn;
}

std::unique_ptr<Bitmap> DrawPicture(Host& host, std::int32_t pageId, std::int32_t buttonId,
                                    std::string& problem) {
    const std::optional<ReachedPage> reached = ReachPage(host, pageId, problem);
    if (!reached) return nullptr;
    const std::unique_ptr<DescriptionBuild> description =
        DescribeInHostLanguage(host, *reached->node);
    const std::vector<DescriptionBuild::Parameter>& parameters = description->Parameters();
    const bool isBitmapButton =
        std::any_of(parameters.begin(), parameters.end(), [buttonId](const auto& parameter) {
            return parameter.id == buttonId && parameter.kind == ParameterKind::BitmapButton;
        });
    if (!isBitmapButton) {
        problem = "the page has no bitmap button " + std::to_string(buttonId);
        return nullptr;
    }
    bool answer = false;
    std::unique_ptr<Bitmap> picture =
        host.Pages().RequestBitmap(*reached->node, DescIdOf(buttonId), answer);
    if (picture == nullptr) {
        problem = "the page supplies no picture for its button " + std::to_string(buttonId);
    }
    return picture;
}

std::string KindName(ParameterKind kind) { return AsciiLower(KindKeyword(kind)); }

}  // namespace vhost
