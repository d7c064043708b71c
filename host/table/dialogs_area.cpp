// The host side of the dialog area: modules' dialogs and message boxes, driven by the host's
// dialog driver.
#include "host.h"
#include "table/table_support.h"
#include "table_areas.h"
#include "ui/dialog_driver.h"

namespace vhost::table {

namespace {

DialogDriver& DriverOf(const HostTable* host) { return Host::FromTable(host).Dialogs(); }

HostDialog* HOST_ABI Create(const HostTable* host, const HostDialogClass* klass, void* instance) {
    return DriverOf(host).Create(klass, instance);
}

void HOST_ABI Destroy(const HostTable* host, HostDialog* dialog) { DriverOf(host).Destroy(dialog); }

bool HOST_ABI OpenModal(const HostTable* host, HostDialog* dialog, std::int32_t x, std::int32_t y,
                        std::int32_t width, std::int32_t height, bool resizable) {
    return DriverOf(host).OpenModal(dialog, x, y, width, height, resizable);
}

void HOST_ABI Close(const HostTable* host, HostDialog* dialog, bool ask) {
    DriverOf(host).Close(dialog, ask);
}

bool HOST_ABI SetTitle(const HostTable* host, HostDialog* dialog, HostStringView title) {
    return DriverOf(host).SetTitle(dialog, Text(title));
}

bool HOST_ABI GroupBegin(const HostTable* host, HostDialog* dialog, std::int32_t id,
                         std::int32_t flags, std::int32_t columns, std::int32_t rows,
                         HostStringView title, std::int32_t group_flags, std::int32_t init_width,
                         std::int32_t init_height) {
    return DriverOf(host).GroupBegin(dialog, id, flags, columns, rows, Text(title), group_flags,
                                     init_width, init_height);
}

bool HOST_ABI GroupEnd(const HostTable* host, HostDialog* dialog) {
    return DriverOf(host).GroupEnd(dialog);
}

bool HOST_ABI GroupSpace(const HostTable* host, HostDialog* dialog, std::int32_t horizontal,
                         std::int32_t vertical) {
    return DriverOf(host).GroupSpace(dialog, horizontal, vertical);
}

bool HOST_ABI GroupBorderSpace(const HostTable* host, HostDialog* dialog, std::int32_t left,
                               std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return DriverOf(host).GroupBorderSpace(dialog, left, top, right, bottom);
}

bool HOST_ABI AddStaticText(const HostTable* host, HostDialog* dialog, std::int32_t id,
                            std::int32_t flags, std::int32_t init_width, std::int32_t init_height,
                            HostStringView text, std::int32_t border_style) {
    return DriverOf(host).AddStaticText(dialog, id, flags, init_width, init_height, Text(text),
                                        border_style);
}

bool HOST_ABI AddEditText(const HostTable* host, HostDialog* dialog, std::int32_t id,
                          std::int32_t flags, std::int32_t init_width, std::int32_t init_height,
                          std::int32_t edit_flags) {
    return DriverOf(host).AddEditText(dialog, id, flags, init_width, init_height, edit_flags);
}

bool HOST_ABI AddDlgGroup(const HostTable* host, HostDialog* dialog, std::int32_t buttons) {
    return DriverOf(host).AddDlgGroup(dialog, buttons);
}

bool HOST_ABI SetString(const HostTable* host, HostDialog* dialog, std::int32_t id,
                        HostStringView text, std::int32_t /*tristate*/, std::int32_t /*flags*/) {
    return DriverOf(host).SetString(dialog, id, Text(text));
}

bool HOST_ABI GetString(const HostTable* host, const HostDialog* dialog, std::int32_t id,
                        char* buffer, std::size_t capacity, std::size_t* size) {
    const std::optional<std::string> text = DriverOf(host).GetString(dialog, id);
    if (!text) return false;
    const std::size_t full = WriteText(*text, buffer, capacity);
    if (size != nullptr) *size = full;
    return true;
}

void HOST_ABI MessageDialog(const HostTable* host, HostStringView text) {
    DriverOf(host).MessageDialog(Text(text));
}

constexpr HostDialogArea kArea{
    .size = sizeof(HostDialogArea),
    .create = &Create,
    .destroy = &Destroy,
    .open_modal = &OpenModal,
    .close = &Close,
    .set_title = &SetTitle,
    .group_begin = &GroupBegin,
    .group_end = &GroupEnd,
    .group_space = &GroupSpace,
    .group_border_space = &GroupBorderSpace,
    .add_static_text = &AddStaticText,
    .add_edit_text = &AddEditText,
    .add_dlg_group = &AddDlgGroup,
    .set_string = &SetString,
    .get_string = &GetString,
    .message_dialog = &MessageDialog,
};

}  // namespace

const HostDialogArea* DialogArea() { return &kArea; }

}  // namespace vhost::table
