// The host side of the shortcut area: the host's shortcut table as modules see it.
#include <algorithm>

#include "host.h"
#include "shortcuts/shortcut_table.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

ShortcutTable& TableOf(const HostTable* host) { return Host::FromTable(host).Shortcuts(); }

std::int32_t HOST_ABI GetCount(const HostTable* host) { return TableOf(host).Count(); }

bool HOST_ABI Get(const HostTable* host, std::int32_t index, HostContainer* record) {
    const Container* entry = TableOf(host).Get(index);
    if (entry == nullptr || record == nullptr) return false;
    *Container::FromHandle(record) = *entry;
    return true;
}

bool HOST_ABI Add(const HostTable* host, const HostContainer* record) {
    return record != nullptr && TableOf(host).Add(*Container::FromHandle(record));
}

bool HOST_ABI Remove(const HostTable* host, std::int32_t index) {
    return TableOf(host).Remove(index);
}

std::int32_t HOST_ABI FindFromId(const HostTable* host, std::int32_t id, std::int32_t* indices,
                                 std::int32_t capacity) {
    if (indices == nullptr || capacity <= 0) return 0;
    const std::vector<std::int32_t> found = TableOf(host).FindFromId(id);
    const std::size_t count = std::min(found.size(), static_cast<std::size_t>(capacity));
    std::copy_n(found.begin(), count, indices);
    return static_cast<std::int32_t>(count);
}

std::size_t HOST_ABI ToString(const HostTable* /*host*/, const HostContainer* record, char* buffer,
                              std::size_t capacity) {
    if (record == nullptr) return WriteText({}, buffer, capacity);
    return WriteText(ShortcutTable::Text(*Container::FromHandle(record)), buffer, capacity);
}

constexpr HostShortcutArea kArea{
    .size = sizeof(HostShortcutArea),
    .get_count = &GetCount,
    .get = &Get,
    .add = &Add,
    .remove = &Remove,
    .find_from_id = &FindFromId,
    .to_string = &ToString,
};

}  // namespace

const HostShortcutArea* ShortcutArea() { return &kArea; }

}  // namespace vhost::table
