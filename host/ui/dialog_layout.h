// A dialog's layout as the module builds it: a tree of gadgets with their values, the walks over
// it, and the layout as text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vhost {

// One gadget of a dialog's layout, with its value.
struct Gadget {
    enum class Kind { Group, StaticText, EditText, ButtonRow };
    Kind kind = Kind::Group;
    std::int32_t id = 0;
    std::int32_t flags = 0;
    std::int32_t initWidth = 0;
    std::int32_t initHeight = 0;
    // Groups.
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::string title;
    std::int32_t groupFlags = 0;
    std::array<std::int32_t, 2> spacing{};  // horizontal, vertical
    std::array<std::int32_t, 4> border{};   // left, top, right, bottom
    std::vector<Gadget> children;
    // Static texts and edit fields: the text shown.
    std::string text;
    std::int32_t borderStyle = 0;  // static texts
    std::int32_t editFlags = 0;    // edit fields
    std::int32_t buttons = 0;      // button rows: HOST_DLG_GROUP_* bits
};

// The layout as text, one gadget a line, indented by nesting, e.g.
//   dialog "Title"
//     group 100010 columns=1 rows=0 spacing=4,4 border=4,4,4,4
//       static 100011 "Prompt"
//       edit 100012 width=17 "typed text"
//     buttons OK Cancel
// Values that are 0 or empty are left out, except a group's columns and rows and an edit
// field's text.
std::string LayoutText(std::string_view title, const Gadget& root);

// Walks the layout in order; stops when `visit` answers true and answers that gadget.
template <typename GadgetType, typename Visit>
GadgetType* FindGadget(GadgetType& gadget, const Visit& visit) {
    if (visit(gadget)) return &gadget;
    for (auto& child : gadget.children) {
        if (GadgetType* found = FindGadget(child, visit)) return found;
    }
    return nullptr;
}

// Whether the gadget shows a text: a static text or an edit field.
bool HasTextKind(const Gadget& gadget);
// Whether a button row of the layout holds `button` (HOST_DLG_GROUP_OK, HOST_DLG_GROUP_CANCEL).
bool HasButton(const Gadget& root, std::int32_t button);
// The texts of the static texts and edit fields, by gadget id, in layout order.
void CollectTexts(const Gadget& gadget, std::vector<std::pair<std::int32_t, std::string>>& texts);

}  // namespace vhost
