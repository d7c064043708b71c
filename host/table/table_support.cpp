#include "table/table_support.h"

#include <algorithm>
#include <cstring>

#include "host.h"

namespace vhost::table {

std::size_t WriteText(std::string_view text, char* buffer, std::size_t capacity) {
    std::size_t count = std::min(capacity, text.size());
    // The empty text may have no data at all, which memcpy must not be given.
    if (buffer != nullptr && count > 0) std::memcpy(buffer, text.data(), count);
    return text.size();
}

void NoteWrite(const HostTable* host, const Container* container) {
    if (container != nullptr && container->IsSceneData()) {
        Host::FromTable(host).GetActivity().SceneChanged();
    }
}

}  // namespace vhost::table
