// How a module builds the layout of its dialog and reads and writes the values shown in it.
#include <utility>

#include "ui/dialog_record.h"
#include "vela_host/host_dialogs.h"

namespace vhost {

namespace {

// A gadget of `kind` with what the module gives every gadget it adds.
Gadget NewGadget(Gadget::Kind kind, std::int32_t id, std::int32_t flags, std::int32_t initWidth,
                 std::int32_t initHeight) {
    Gadget gadget;
    gadget.kind = kind;
    gadget.id = id;
    gadget.flags = flags;
    gadget.initWidth = initWidth;
    gadget.initHeight = initHeight;
    return gadget;
}

}  // namespace

Gadget* DialogDriver::AddGadget(HostDialog* dialog, Gadget gadget) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return nullptr;
    std::vector<Gadget>& siblings = record->groups.back()->children;
    siblings.push_back(std::move(gadget));
    return &siblings.back();
}

bool DialogDriver::SetTitle(HostDialog* dialog, std::string_view title) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->title = title;
    return true;
}

bool DialogDriver::GroupBegin(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                              std::int32_t columns, std::int32_t rows, std::string_view title,
                              std::int32_t groupFlags, std::int32_t initWidth,
                              std::int32_t initHeight) {
    Gadget group = NewGadget(Gadget::Kind::Group, id, flags, initWidth, initHeight);
    group.columns = columns;
    group.rows = rows;
    group.title = title;
    group.groupFlags = groupFlags;
    Gadget* added = AddGadget(dialog, std::move(group));
    auto* record = Find(dialog);
    if (added == nullptr || record == nullptr) return false;
    // A group stays where it is while it is open: only its own children grow.
    record->groups.push_back(added);
    return true;
}

bool DialogDriver::GroupEnd(HostDialog* dialog) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building ||
        record->groups.size() < 2) {
        return false;
    }
    record->groups.pop_back();
    return true;
}

bool DialogDriver::GroupSpace(HostDialog* dialog, std::int32_t horizontal, std::int32_t vertical) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->groups.back()->spacing = {horizontal, vertical};
    return true;
}

bool DialogDriver::GroupBorderSpace(HostDialog* dialog, std::int32_t left, std::int32_t top,
                                    std::int32_t right, std::int32_t bottom) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->groups.back()->border = {left, top, right, bottom};
    return true;
}

bool DialogDriver::AddStaticText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                                 std::int32_t initWidth, std::int32_t initHeight,
                                 std::string_view text, std::int32_t borderStyle) {
    Gadget gadget = NewGadget(Gadget::Kind::StaticText, id, flags, initWidth, initHeight);
    gadget.text = text;
    gadget.borderStyle = borderStyle;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

bool DialogDriver::AddEditText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                               std::int32_t initWidth, std::int32_t initHeight,
                               std::int32_t editFlags) {
    Gadget gadget = NewGadget(Gadget::Kind::EditText, id, flags, initWidth, initHeight);
    gadget.editFlags = editFlags;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

bool DialogDriver::AddDlgGroup(HostDialog* dialog, std::int32_t buttons) {
    if ((buttons & (HOST_DLG_GROUP_OK | HOST_DLG_GROUP_CANCEL)) == 0) return false;
    Gadget gadget;
    gadget.kind = Gadget::Kind::ButtonRow;
    gadget.buttons = buttons;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

// The texts of static texts and edit fields, set by the module or typed by the person.

bool DialogDriver::SetString(HostDialog* dialog, std::int32_t id, std::string_view text) {
    Record* record = Find(dialog);
    if (record == nullptr) return false;
    Gadget* gadget =
        FindGadget(record->root, [id](const Gadget& g) { return g.id == id && HasTextKind(g); });
    if (gadget == nullptr) return false;
    gadget->text = text;
    return true;
}

std::optional<std::string> DialogDriver::GetString(const HostDialog* dialog,
                                                   std::int32_t id) const {
    const Record* record = Find(dialog);
    if (record == nullptr) return std::nullopt;
    const Gadget* gadget =
        FindGadget(record->root, [id](const Gadget& g) { return g.id == id && HasTextKind(g); });
    if (gadget == nullptr) return std::nullopt;
    return gadget->text;
}

}  // namespace vhost
