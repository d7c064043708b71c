#include "ui/dialog_layout.h"

#include "text/quoting.h"
#include "vela_host/host_dialogs.h"

namespace vhost {

namespace {

void AppendSetting(std::string& line, const char* name, std::int32_t value) {
    if (value != 0) line += std::string(" ") + name + "=" + std::to_string(value);
}

void AppendLayout(std::string& out, const Gadget& gadget, int depth) {
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    switch (gadget.kind) {
        case Gadget::Kind::Group:
            line += "group " + std::to_string(gadget.id) +
                    " columns=" + std::to_string(gadget.columns) +
                    " rows=" + std::to_string(gadget.rows);
            if (!gadget.title.empty()) line += " title=" + Quoted(gadget.title);
            AppendSetting(line, "flags", gadget.flags);
            AppendSetting(line, "group-flags", gadget.groupFlags);
            AppendSetting(line, "width", gadget.initWidth);
            AppendSetting(line, "height", gadget.initHeight);
            if (gadget.spacing != std::array<std::int32_t, 2>{}) {
                line += " spacing=" + std::to_string(gadget.spacing[0]) + "," +
                        std::to_string(gadget.spacing[1]);
            }
            if (gadget.border != std::array<std::int32_t, 4>{}) {
                line += " border=" + std::to_string(gadget.border[0]) + "," +
                        std::to_string(gadget.border[1]) + "," + std::to_string(gadget.border[2]) +
                        "," + std::to_string(gadget.border[3]);
            }
            break;
        case Gadget::Kind::StaticText:
        case Gadget::Kind::EditText: {
            const bool edit = gadget.kind == Gadget::Kind::EditText;
            line += (edit ? "edit " : "static ") + std::to_string(gadget.id);
            AppendSetting(line, "flags", gadget.flags);
            AppendSetting(line, "width", gadget.initWidth);
            AppendSetting(line, "height", gadget.initHeight);
            AppendSetting(line, edit ? "edit-flags" : "border-style",
                          edit ? gadget.editFlags : gadget.borderStyle);
            line += " " + Quoted(gadget.text);
            break;
        }
        case Gadget::Kind::ButtonRow:
            line += "buttons";
            if ((gadget.buttons & HOST_DLG_GROUP_OK) != 0) line += " OK";
            if ((gadget.buttons & HOST_DLG_GROUP_CANCEL) != 0) line += " Cancel";
            AppendSetting(line, "other",
                          gadget.buttons & ~(HOST_DLG_GROUP_OK | HOST_DLG_GROUP_CANCEL));
            break;
    }
    out += line + "\n";
    for (const Gadget& child : gadget.children) AppendLayout(out, child, depth + 1);
}

}  // namespace

bool HasTextKind(const Gadget& gadget) {
    return gadget.kind == Gadget::Kind::StaticText || gadget.kind == Gadget::Kind::EditText;
}

bool HasButton(const Gadget& root, std::int32_t button) {
    return FindGadget(root, [button](const Gadget& g) {
               return g.kind == Gadget::Kind::ButtonRow && (g.buttons & button) != 0;
           }) != nullptr;
}

void CollectTexts(const Gadget& gadget, std::vector<std::pair<std::int32_t, std::string>>& texts) {
    if (HasTextKind(gadget)) texts.emplace_back(gadget.id, gadget.text);
    for (const Gadget& child : gadget.children) CollectTexts(child, texts);
}

std::string LayoutText(std::string_view title, const Gadget& root) {
    std::string out = "dialog " + Quoted(title);
    if (root.spacing != std::array<std::int32_t, 2>{}) {
        out +=
            " spacing=" + std::to_string(root.spacing[0]) + "," + std::to_string(root.spacing[1]);
    }
    if (root.border != std::array<std::int32_t, 4>{}) {
        out += " border=" + std::to_string(root.border[0]) + "," + std::to_string(root.border[1]) +
               "," + std::to_string(root.border[2]) + "," + std::to_string(root.border[3]);
    }
    out += "\n";
    for (const Gadget& child : root.children) AppendLayout(out, child, 1);
    return out;
}

}  // namespace vhost
