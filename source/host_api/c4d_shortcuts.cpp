#include "c4d_shortcuts.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostShortcutArea& Area() { return *Host()->shortcuts; }
}  // namespace

Int32 GetShortcutCount() { return Area().get_count(Host()); }

BaseContainer GetShortcut(Int32 index) {
    BaseContainer record;
    Area().get(Host(), index, record.Handle());
    return record;
}

Bool AddShortcut(const BaseContainer& bc) { return Area().add(Host(), bc.Handle()); }

Bool RemoveShortcut(Int32 index) { return Area().remove(Host(), index); }

Int32 FindShortcutsFromID(Int32 pluginid, Int32* indexarray, Int32 maxarrayelements) {
    if (indexarray == nullptr || maxarrayelements <= 0) {
        return 0;
    }
    return Area().find_from_id(Host(), pluginid, indexarray, maxarrayelements);
}

String Shortcut2String(const BaseContainer& sc) {
    return String(hostapi::ReadText([&](char* buffer, std::size_t capacity) {
        return Area().to_string(Host(), sc.Handle(), buffer, capacity);
    }));
}
