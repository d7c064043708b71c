// What the fuzz targets share: a failed property stops the run as a crash does, with the reason,
// so that libFuzzer keeps the input that led there.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vfuzz {

// Stops the process with `what` on the error stream when `holds` is false.
inline void Require(bool holds, std::string_view what) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace vfuzz
