#include "cli/tree_view.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "text/utf8.h"
#include "vela2023/vela_ids.h"
#include "vela_host/host_objects.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kRecordKey = ID_VELA;  // the isolation command's records
constexpr std::size_t kMaxNameColumn = 48;
constexpr std::size_t kMaxIndentLevels = 24;

constexpr std::string_view kReset = "\033[0m";
constexpr std::string_view kGreen = "\033[32m";
constexpr std::string_view kRed = "\033[31m";
constexpr std::string_view kDim = "\033[2m";
constexpr std::string_view kYellow = "\033[33m";
constexpr std::string_view kCyan = "\033[36m";
constexpr std::string_view kBold = "\033[1m";

class Painter {
public:
    explicit Painter(bool color) : color_(color) {}
    std::string operator()(std::string_view text, std::string_view colour) const {
        if (!color_ || colour.empty()) {
            return std::string(text);
        }
        return std::string(colour) + std::string(text) + std::string(kReset);
    }

private:
    bool color_;
};

std::string_view ModeColour(Mode mode) {
    switch (mode) {
        case Mode::On:
            return kGreen;
        case Mode::Off:
            return kRed;
        case Mode::Default:
            break;
    }
    return kDim;
}

std::string Pad(std::string text, std::size_t width) {
    const std::size_t characters = CharacterCount(text);
    if (characters < width) {
        text.append(width - characters, ' ');
    }
    return text;
}

// Where an instance's link leads: "→ @ID" ("→ none" when unset).
std::string LinkText(const Object& object) {
    if (object.Type() != HOST_OBJECT_INSTANCE) return {};
    const ObjectId target = object.Data().GetLink(HOST_INSTANCE_LINK);
    return target != 0 ? "→ @" + std::to_string(target) : "→ none";
}

struct Row {
    std::string prefix;  // tree glyphs
    const Object* object;
};

// Rows in tree order with their glyph prefixes, without recursion.
std::vector<Row> CollectRows(const Document& document) {
    std::vector<Row> rows;
    struct Frame {
        const Object* object;
        std::size_t depth;
        std::string prefix;  // for the object's own line
        std::string childPrefix;
    };
    std::vector<Frame> stack;
    auto pushChain = [&stack](const Object* first, const std::string& base, std::size_t depth) {
        std::vector<const Object*> chain;
        for (const Object* o = first; o != nullptr; o = o->Next()) {
            chain.push_back(o);
        }
        // Past a readable depth the indentation stops growing and the line names its level.
        const bool deep = depth >= kMaxIndentLevels;
        for (std::size_t i = chain.size(); i-- > 0;) {
            const bool last = i + 1 == chain.size();
            std::string prefix = base + (last ? "└─ " : "├─ ");
            if (deep) {
                prefix = base + "┄ level " + std::to_string(depth) + " ";
            }
            stack.push_back(
                {chain[i], depth, std::move(prefix), deep ? base : base + (last ? "   " : "│  ")});
        }
    };
    pushChain(document.FirstObject(), "", 0);
    while (!stack.empty()) {
        Frame frame = std::move(stack.back());
        stack.pop_back();
        rows.push_back({std::move(frame.prefix), frame.object});
        pushChain(frame.object->Down(), frame.childPrefix, frame.depth + 1);
    }
    return rows;
}

}  // namespace

void PrintTree(std::ostream& out, const Document& document, const ObjectTypes& types,
               const std::string& commandState, const TreeStyle& style) {
    const Painter paint(style.color);
    out << paint(document.Name(), kBold);
    if (!commandState.empty()) {
        out << "  — Vela Button: "
            << paint(commandState, commandState == "isolated" ? kYellow : std::string_view{});
    }
    out << '\n';
    const std::vector<Row> rows = CollectRows(document);
    if (rows.empty()) {
        out << "  (no objects)\n";
        return;
    }
    std::size_t nameWidth = 0;
    for (const Row& row : rows) {
        nameWidth =
            std::max(nameWidth, std::min(kMaxNameColumn, CharacterCount(row.prefix) +
                                                             CharacterCount(row.object->Name())));
    }
    for (const Row& row : rows) {
        const Object& o = *row.object;
        const ObjectType* type = types.Find(o.Type());
        const std::string typeName = type != nullptr ? type->token : std::to_string(o.Type());
        const std::size_t prefixColumns = CharacterCount(row.prefix);
        std::string text =
            "  " + paint(row.prefix, kDim) +
            Pad(o.Name(), nameWidth > prefixColumns ? nameWidth - prefixColumns : 0) + "  " +
            Pad("@" + std::to_string(o.Id()), 7) + Pad(typeName, 13) + "editor " +
            paint(Pad(ModeName(o.EditorMode()), 8), ModeColour(o.EditorMode())) + "render " +
            paint(Pad(ModeName(o.RenderMode()), 8), ModeColour(o.RenderMode())) +
            (o.Enabled() ? Pad("enabled", 10) : paint(Pad("disabled", 10), kRed)) +
            (o.Selected() ? paint(Pad("selected", 10), kYellow) : Pad("", 10)) +
            (o.Data().GetContainerInstance(kRecordKey) != nullptr ? paint("record  ", kCyan) : "") +
            LinkText(o);
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out << text << '\n';
    }
}

}  // namespace vhost::cli
