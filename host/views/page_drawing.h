// A preference page as the host draws it: the parameters of the page's description in the host's
// language, each with what the page shows for it now. The command line prints it, the studio
// sends it to its page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/bitmap.h"
#include "model/container.h"
#include "resources/resource_loader.h"

namespace vhost {

class Host;
struct PageNode;

struct DrawnParameter {
    std::int32_t id = 0;
    std::string symbol;  // the id's name in the description
    ParameterKind kind = ParameterKind::Bool;
    std::string label;
    Value value;  // what the page holds; nothing for buttons and bitmap buttons
    // Bitmap buttons: the picture's width and height; none when the page supplied no picture.
    std::optional<std::pair<std::int32_t, std::int32_t>> picture;
};

struct DrawnPage {
    std::int32_t id = 0;
    std::string name;
    bool described = false;  // false: the page has no description
    std::string title;
    std::vector<DrawnParameter> parameters;
};

// Draws page `pageId`, asking its instance for every value. None, with `problem` saying why,
// when no such page is registered or its instance could not be made.
std::optional<DrawnPage> DrawPage(Host& host, std::int32_t pageId, std::string& problem);

// The picture page `pageId` supplies for its bitmap button `buttonId`, as the host would draw it
// on the button. None, with `problem` saying why, when the page cannot be drawn, has no such
// bitmap button, or supplies no picture for it.
std::unique_ptr<Bitmap> DrawPicture(Host& host, std::int32_t pageId, std::int32_t buttonId,
                                    std::string& problem);

// The keyword of a kind as the studio names it ("bool", "bitmapbutton", ...).
std::string KindName(ParameterKind kind);

}  // namespace vhost
